#pragma once
// One reference on a COM interface, released on every path.

#include <windows.h>

template <class T>
class CInterfacePtr
{
public:
    CInterfacePtr() : m_p(NULL) {}
    ~CInterfacePtr() { Reset(); }
    CInterfacePtr(const CInterfacePtr&) = delete;
    CInterfacePtr& operator=(const CInterfacePtr&) = delete;

    void Reset()
    {
        if (m_p != NULL) {
            m_p->Release();
            m_p = NULL;
        }
    }
    // For the out-parameter of a call that hands over a reference.
    T** Receive()
    {
        Reset();
        return &m_p;
    }
    void** ReceiveVoid() { return reinterpret_cast<void**>(Receive()); }
    T* Get() const { return m_p; }
    T* operator->() const { return m_p; }

private:
    T* m_p;
};
