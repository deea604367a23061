#include "launcher_module.h"

#include "boot_image_name.h"
#include "boot_request.h"

#include <type_traits>

static_assert(std::is_trivially_default_constructible<CLauncherModule>::value
              && std::is_trivially_destructible<CLauncherModule>::value,
              "the launcher module object must need no start-up or exit code");

CLauncherModule _Module;

BOOL CLauncherModule::IsBootImageName(LPCWSTR pszImagePath) const
{
    return ::IsBootImageName(pszImagePath) ? TRUE : FALSE;
}

BOOL CLauncherModule::RunBootRequest(LPCSTR pszImagePath)
{
    return ::RunBootRequest(pszImagePath, &m_dwDownloadAddress);
}
