#pragma once
// Dynamic libraries, one implementation per platform.

#include <filesystem>
#include <string>

namespace asahost::module {

// Null on failure; `error` then says why.
void* Open(const std::filesystem::path& path, std::string& error);
void Close(void* handle);
// The address of the function a module exports as `name`, or null.
void* Symbol(void* handle, const char* name);
// The file of the loaded module that holds `address`; empty when none does.
std::filesystem::path PathOf(const void* address);
// The same file whatever the spelling of its path.
bool SameFile(const std::filesystem::path& a, const std::filesystem::path& b);
// ".so" or ".dll".
const char* Suffix();

}  // namespace asahost::module
