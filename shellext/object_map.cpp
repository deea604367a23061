// The one class this library serves.

#include "object_map.h"

#include "Kestrun_Tool_i.h"
#include "class_factory.h"
#include "quorvex_kestrun.h"
#include "registration.h"

namespace {

HRESULT WINAPI UpdateRegistry(BOOL bRegister)
{
    return UpdateRegistryFromResource(IDR_QUORVEX_KESTRUN, bRegister);
}

void WINAPI ObjectMain(bool)
{
}

} // namespace

OBJECT_MAP_ENTRY ObjectMap[] = {
    {&CLSID_Quorvex_Kestrun, UpdateRegistry, CreateClassFactory, CreateQuorvex_Kestrun, NULL, 0, NULL, NULL,
     ObjectMain},
    {NULL, NULL, NULL, NULL, NULL, 0, NULL, NULL, NULL},
};
