#pragma once
// The game's wide string: UTF-16 code units and a terminating zero, with a count that
// includes the terminator and no storage at all when empty.
//
// Construction and the appending operations are exported by the host; copying and
// destruction are inline and take storage from the game's allocator.

#include <cstring>
#include <string>
#include <utility>

#include <fmt/format.h>
#include <fmt/xchar.h>

#include "API/Base.h"
#include "API/UE/HAL/UnrealMemory.h"

namespace ESearchCase {
enum Type { CaseSensitive = 0, IgnoreCase = 1 };
}

class FString {
  public:
    FString() = default;
    ARK_API FString(const wchar_t* text);
    // One code unit per byte.
    ARK_API FString(const char* text);
    ARK_API FString(int count, const wchar_t* units);
    explicit FString(const std::wstring& text) : FString(text.c_str()) {}
    explicit FString(const std::string& text) : FString(text.c_str()) {}

    FString(const FString& other) : FString() { AssignRange(other.Data, other.Len()); }
    FString(FString&& other) noexcept
        : Data(std::exchange(other.Data, nullptr)),
          ArrayNum(std::exchange(other.ArrayNum, 0)),
          ArrayMax(std::exchange(other.ArrayMax, 0)) {}
    FString& operator=(const FString& other) {
        if (this != &other) {
            AssignRange(other.Data, other.Len());
        }
        return *this;
    }
    FString& operator=(FString&& other) noexcept {
        std::swap(Data, other.Data);
        std::swap(ArrayNum, other.ArrayNum);
        std::swap(ArrayMax, other.ArrayMax);
        return *this;
    }
    ~FString() {
        if (Data != nullptr) {
            FMemory::Free(Data);
        }
    }

    // fmt::format(format, args...) as a string of the game's.
    template <typename T, typename... Args>
    static FString Format(const T* format, Args&&... args) {
        const auto text = fmt::format(fmt::runtime(format), std::forward<Args>(args)...);
        return FString(text.c_str());
    }

    ARK_API void AppendChars(const wchar_t* units, int count);
    // Removes `prefix` from the start and returns true when the string begins with it.
    ARK_API bool RemoveFromStart(const FString& prefix,
                                 ESearchCase::Type searchCase = ESearchCase::IgnoreCase);

    const wchar_t* operator*() const { return Data != nullptr ? Data : L""; }
    int Len() const { return ArrayNum != 0 ? ArrayNum - 1 : 0; }
    bool IsEmpty() const { return Len() == 0; }
    const wchar_t& operator[](int index) const { return Data[index]; }

  private:
    ARK_API void AssignRange(const wchar_t* units, int count);

    wchar_t* Data = nullptr;
    int ArrayNum = 0;
    int ArrayMax = 0;
};
