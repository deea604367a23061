// The classes this library serves: the classic context-menu handler, and in
// Kestrun_Tool64.dll also the packaged File Explorer verb.

#include "object_map.h"

#include "Kestrun_Tool_i.h"
#include "class_factory.h"
#include "quorvex_kestrun.h"
#include "registration.h"
#ifdef KESTRUN_EXPLORER_COMMAND
#include "quorvex_kestrun_command.h"
#endif

namespace {

HRESULT WINAPI UpdateRegistry(BOOL bRegister)
{
    return UpdateRegistryFromResource(IDR_QUORVEX_KESTRUN, bRegister);
}

#ifdef KESTRUN_EXPLORER_COMMAND
// The package's manifest declares the verb's class to Windows' package COM
// catalog, which finds the library in the package's external location:
// self-registration writes nothing for it.
HRESULT WINAPI DeclaredByThePackage(BOOL)
{
    return S_OK;
}
#endif

void WINAPI ObjectMain(bool)
{
}

} // namespace

OBJECT_MAP_ENTRY ObjectMap[] = {
    {&CLSID_Quorvex_Kestrun, UpdateRegistry, CreateClassFactory, CreateQuorvex_Kestrun, NULL, 0, NULL, NULL,
     ObjectMain},
#ifdef KESTRUN_EXPLORER_COMMAND
    {&CLSID_Quorvex_KestrunCommand, DeclaredByThePackage, CreateClassFactory, CreateQuorvex_KestrunCommand, NULL, 0,
     NULL, NULL, ObjectMain},
#endif
    {NULL, NULL, NULL, NULL, NULL, 0, NULL, NULL, NULL},
};
