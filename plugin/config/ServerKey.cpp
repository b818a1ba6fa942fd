#include "config/ServerKey.h"

#include "base/Host.h"
#include "base/PluginLog.h"
#include "base/Text.h"
#include "platform/Platform.h"

namespace quorvane {

std::string ServerKeyFrom(const std::vector<std::wstring>& arguments) {
    const FString prefix(L"-serverkey=");
    FString key;
    for (const auto& argument : arguments) {
        FString text(argument.c_str());
        if (text.RemoveFromStart(prefix, ESearchCase::IgnoreCase)) {
            key = text;
            break;
        }
    }
    return NarrowToAscii(UnitsOf(key));
}

std::string GetServerKey() {
    std::string key = ServerKeyFrom(platform::CommandLineArguments());
    PluginLog()->info("Server Key: {}", key);
    return key;
}

}  // namespace quorvane
