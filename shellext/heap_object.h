#pragma once
// Objects on the C runtime heap without the C++ runtime's operator new, whose
// nothrow form drags exception support into the library. Allocation failure
// gives null; a test build can make a named allocation fail.

#include "fault_injection.h"

#include <cstdlib>
#include <new>
#include <utility>

template <class T, class... Args>
T* HeapNew(const char* pszFaultPoint, Args&&... args)
{
    if (IsFaultInjected(pszFaultPoint))
        return nullptr;
    void* pv = std::malloc(sizeof(T));
    return pv == nullptr ? nullptr : new (pv) T(std::forward<Args>(args)...);
}

template <class T>
void HeapDelete(T* p)
{
    if (p != nullptr) {
        p->~T();
        std::free(p);
    }
}
