// IsBootImageName against a reference written another way: the text after
// the last "." is ".bin" or ".BIN" exactly when the path ends in one of them
// ("bin" holds no dot, so that dot is the last one).

#include "boot_image_name.h"
#include "fuzz_support.h"

namespace {

bool EndsWith(const std::wstring& text, const std::wstring& end)
{
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

bool ReferenceIsBootImage(const std::wstring& path)
{
    return EndsWith(path, L".bin") || EndsWith(path, L".BIN");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* pData, std::size_t cbData)
{
    const CFuzzWideText path(pData, cbData);
    FUZZ_CHECK(IsBootImageName(path.Get()) == ReferenceIsBootImage(path.Str()));
    return 0;
}
