#pragma once
// What a click hands its boot worker: 264 bytes, the download address then
// the image path, zero-filled after its characters.

#include "path_buffer.h"

#include <cstddef>
#include <cstdint>

struct BOOTJOB
{
    std::uint32_t dwDownloadAddress;   // little-endian, offset 0
    PATHBUFFER szImagePath;            // offset 4
};

static_assert(sizeof(BOOTJOB) == 264, "a boot job block is 264 bytes");
static_assert(offsetof(BOOTJOB, szImagePath) == 4, "the image path follows the address");
