#pragma once
// The extension's module as the process loader would set it up around a
// test: attached on construction, detached (termination list run) after.

#include "com_module.h"
#include "module_lifetime.h"

class CModuleSession
{
public:
    CModuleSession() { AttachModule(GetModuleHandleA(NULL)); }
    ~CModuleSession() { DetachModule(); }
    // Leaves and enters the process again, as an unload and a reload would.
    void Restart()
    {
        DetachModule();
        AttachModule(GetModuleHandleA(NULL));
    }
    CModuleSession(const CModuleSession&) = delete;
    CModuleSession& operator=(const CModuleSession&) = delete;
};
