#pragma once
// The class of the do-nothing handler library (do_nothing_handler.dll), the
// baseline of the right-click benchmark.

#include <windows.h>

// {6E0C3F1A-58D2-4B7E-9A41-2C7F0D3B8E15}
static const CLSID CLSID_DoNothingHandler = {0x6e0c3f1a, 0x58d2, 0x4b7e, {0x9a, 0x41, 0x2c, 0x7f, 0x0d, 0x3b, 0x8e, 0x15}};
