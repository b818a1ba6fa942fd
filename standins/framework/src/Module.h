#pragma once
// Dynamic libraries, one implementation per platform.

#include <filesystem>
#include <string>

namespace asahost::module {

// Opens the library `file`, which the loader found for the path `openedAs` (the same file,
// perhaps named in another letter case). As on Windows, a module keeps the path it was first
// opened by as its name. Null on failure; `error` then says why.
void* Open(const std::filesystem::path& file, const std::filesystem::path& openedAs,
           std::string& error);
void Close(void* handle);
// The address of the function a module exports as `name`, or null.
void* Symbol(void* handle, const char* name);
// The file of the loaded module that holds `address`; empty when none does.
std::filesystem::path PathOf(const void* address);
// The file of a loaded module.
std::filesystem::path FileOf(void* handle);
// The name of the loaded module that holds `address`: the path it was first opened by.
std::filesystem::path NameOf(const void* address);
// The same file whatever the spelling of its path.
bool SameFile(const std::filesystem::path& a, const std::filesystem::path& b);
// Copies `from` over `to`; refused, as Windows refuses to write a loaded DLL, while a module
// is loaded from `to`. Throws std::filesystem::filesystem_error.
void CopyOver(const std::filesystem::path& from, const std::filesystem::path& to);
// ".so" or ".dll".
const char* Suffix();

}  // namespace asahost::module
