#include "Tools.h"

#include "HostInternal.h"

namespace AsaApi::Tools {
std::string GetCurrentDir() {
    asahost::NoteFrameworkCall("AsaApi::Tools::GetCurrentDir");
    return asahost::CurrentOptions().serverDir.string();
}
}  // namespace AsaApi::Tools
