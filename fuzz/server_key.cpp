// The server key from the command line's arguments (UTF-16 code units).
// Input: the arguments, one a line; a byte is the code unit of its value, except 0xFF, which
// takes the next two bytes as one unit (big-endian), so that every unit, line feed and NUL
// included, can be written.

#include <cstdint>
#include <string>
#include <vector>

#include "Check.h"
#include "GameMemory.h"
#include "GameStrings.h"
#include "config/ServerKey.h"

namespace {

std::vector<std::wstring> Arguments(const std::uint8_t* data, std::size_t size) {
    std::vector<std::wstring> arguments;
    std::wstring argument;
    bool any = false;
    for (std::size_t i = 0; i < size; ++i) {
        any = true;
        if (data[i] == '\n') {
            arguments.push_back(std::move(argument));
            argument.clear();
        } else if (data[i] == 0xFF && i + 2 < size) {
            argument += static_cast<wchar_t>(data[i + 1] << 8 | data[i + 2]);
            i += 2;
        } else {
            argument += static_cast<wchar_t>(data[i]);
        }
    }
    if (any) {
        arguments.push_back(std::move(argument));
    }
    return arguments;
}

wchar_t FoldAscii(wchar_t unit) {
    return unit >= L'A' && unit <= L'Z' ? unit + (L'a' - L'A') : unit;
}

// The documented scan: the first argument (as far as the host's FString takes it, to its
// first NUL) that starts with -serverkey= in any ASCII letter case; its rest, ASCII kept and
// every other unit '?'.
std::string Expected(const std::vector<std::wstring>& arguments) {
    const std::wstring prefix = L"-serverkey=";
    for (const auto& argument : arguments) {
        const std::wstring text = argument.substr(0, argument.find(L'\0'));
        if (text.size() < prefix.size()) {
            continue;
        }
        bool match = true;
        for (std::size_t i = 0; i < prefix.size(); ++i) {
            match = match && FoldAscii(text[i]) == prefix[i];
        }
        if (match) {
            std::string key;
            for (std::size_t i = prefix.size(); i < text.size(); ++i) {
                key += text[i] < 0x80 ? static_cast<char>(text[i]) : '?';
            }
            return key;
        }
    }
    return "";
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    gameserver::RegisterGameMemory();
    gameserver::RegisterGameStrings();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto arguments = Arguments(data, size);
    const std::string key = quorvane::ServerKeyFrom(arguments);
    if (key != Expected(arguments)) {
        fuzzing::Fail("key " + fuzzing::Shown(key) + ", expected " +
                      fuzzing::Shown(Expected(arguments)));
    }
    return 0;
}
