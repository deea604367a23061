#pragma once
// Answers each message box this thread shows with OK as soon as it is
// activated, and keeps its text: loops that run a failure path hundreds of
// times check that the path reports itself without waiting for anyone.
// (Refusing the box at creation instead would be faster, but the platform
// leaks memory for every dialog whose creation is refused.)

#include <windows.h>

#include <map>
#include <string>

class CBoxCloser
{
public:
    CBoxCloser();
    ~CBoxCloser();
    CBoxCloser(const CBoxCloser&) = delete;
    CBoxCloser& operator=(const CBoxCloser&) = delete;

    // How many boxes with each text were closed so far (kept by text, so a
    // long loop adds nothing to the heap it measures).
    const std::map<std::string, unsigned>& Texts() const;

private:
    HHOOK m_hHook;
};
