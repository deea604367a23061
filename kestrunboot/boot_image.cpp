#include "boot_image.h"

#include "ansi_name.h"
#include "boot_image_name.h"
#include "boot_message.h"
#include "console_messages.h"

bool CheckBootImage(LPCWSTR pszArgument, BOOT_IMAGE* pImage, const COutputStream& errors)
{
    // Resolving a path drops the trailing dots and blanks of its name: the
    // rule holds for the name as given and for the file that is booted.
    const DWORD cchFull = GetFullPathNameW(pszArgument, PATH_BUFFER_SIZE, pImage->szPath, NULL);
    const bool bFits = cchFull > 0 && cchFull < PATH_BUFFER_SIZE;
    if (!bFits)
        pImage->szPath[0] = L'\0';
    if (!IsBootImageName(pszArgument) || (bFits && !IsBootImageName(pImage->szPath))) {
        CLine(errors).Text(ERROR_PREFIX).Text(pszArgument).Text(" is not a boot image: its name must end in .bin or .BIN.");
        return false;
    }
    if (!bFits) {
        CLine(errors).Text(ERROR_PREFIX).Text("the image's full path is longer than 259 characters, more than the "
                                              "boot library takes: ").Text(pszArgument);
        return false;
    }

    pImage->facts = ReadFileFacts(pImage->szPath);
    if (!pImage->facts.bFound) {
        CLine(errors).Text(ERROR_PREFIX).Text("image ").Text(pImage->szPath).Text(" not found (error ")
            .Decimal(pImage->facts.dwError).Text(").");
        return false;
    }
    if (pImage->facts.bFolder) {
        CLine(errors).Text(ERROR_PREFIX).Text("image ").Text(pImage->szPath).Text(" is a folder, not a file.");
        return false;
    }
    if (!AnsiNameForBootLibrary(pImage->szPath, pImage->szLibraryPath)) {
        CLine(errors).Text(ERROR_PREFIX).Text(MESSAGE_NAME_NOT_PASSABLE).Text(" Image: ").Text(pImage->szPath);
        return false;
    }
    return true;
}
