// IsBootImageName against a reference written another way: the text after
// the last "." is ".bin" or ".BIN" exactly when the path ends in one of them
// ("bin" holds no dot, so that dot is the last one).

#include "boot_image_name.h"
#include "fuzz_support.h"

namespace {

bool EndsWith(const std::string& text, const char* pszEnd)
{
    const std::size_t cchEnd = std::strlen(pszEnd);
    return text.size() >= cchEnd && text.compare(text.size() - cchEnd, cchEnd, pszEnd) == 0;
}

bool ReferenceIsBootImage(const std::string& path)
{
    return EndsWith(path, ".bin") || EndsWith(path, ".BIN");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* pData, std::size_t cbData)
{
    const CFuzzText path(pData, cbData);
    FUZZ_CHECK(IsBootImageName(path.Get()) == ReferenceIsBootImage(path.Str()));
    return 0;
}
