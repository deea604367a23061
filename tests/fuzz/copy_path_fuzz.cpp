// CopyPath: whatever the source, the copy stays inside its buffer, is
// terminated there, holds the source's first characters, and says whether
// the whole source fitted.

#include "fuzz_support.h"
#include "path_buffer.h"

namespace {

const std::size_t MAX_CHARACTERS = PATH_BUFFER_SIZE - 1;

void CheckCopy(const CFuzzText& source)
{
    GUARDED_PATH target;
    const bool bWhole = CopyPath(target.szPath, source.Get());

    const std::size_t cchExpected = source.Length() < MAX_CHARACTERS ? source.Length() : MAX_CHARACTERS;
    FUZZ_CHECK(target.GuardsIntact());
    FUZZ_CHECK(bWhole == (source.Length() <= MAX_CHARACTERS));
    FUZZ_CHECK(std::memcmp(target.szPath, source.Get(), cchExpected) == 0);
    FUZZ_CHECK(target.szPath[cchExpected] == '\0');
}

// A source longer than the buffer needs no terminator: the copy stops at the
// buffer's end and looks at one character more, never further.
void CheckUnterminated(const std::uint8_t* pData, std::size_t cbData)
{
    std::unique_ptr<char[]> pSource = UnterminatedLongerThan(pData, cbData, MAX_CHARACTERS);
    if (!pSource)
        return;
    GUARDED_PATH target;
    FUZZ_CHECK(!CopyPath(target.szPath, pSource.get()));
    FUZZ_CHECK(target.GuardsIntact());
    FUZZ_CHECK(std::memcmp(target.szPath, pSource.get(), MAX_CHARACTERS) == 0);
    FUZZ_CHECK(target.szPath[MAX_CHARACTERS] == '\0');
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* pData, std::size_t cbData)
{
    CheckCopy(CFuzzText(pData, cbData));
    CheckUnterminated(pData, cbData);
    return 0;
}
