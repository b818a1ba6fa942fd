#include "GameStrings.h"

#include <cstdint>

#include "Host/GameRegistry.h"

namespace gameserver {
namespace {

wchar_t FoldAscii(wchar_t unit) {
    return unit >= L'A' && unit <= L'Z' ? unit + (L'a' - L'A') : unit;
}

// `count` units compared with only ASCII letters folded, stopping at a terminator.
int Strnicmp(const wchar_t* string1, const wchar_t* string2, std::uint64_t count) {
    for (std::uint64_t i = 0; i < count; ++i) {
        const wchar_t a = FoldAscii(string1[i]);
        const wchar_t b = FoldAscii(string2[i]);
        if (a != b) {
            return a < b ? -1 : 1;
        }
        if (a == L'\0') {
            return 0;
        }
    }
    return 0;
}

}  // namespace

void RegisterGameStrings() {
    asahost::RegisterFunction("FGenericPlatformStricmp.Strnicmp(wchar_t*,wchar_t*,unsigned__int64)",
                              reinterpret_cast<void*>(&Strnicmp));
}

}  // namespace gameserver
