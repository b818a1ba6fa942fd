#include "Host/Commands.h"

#include <algorithm>
#include <memory>
#include <mutex>
#include <vector>

#include "HostInternal.h"
#include "Module.h"

namespace asahost {
namespace {

template <typename Callback>
struct Command {
    std::string name;  // UTF-8
    Callback callback;
    std::filesystem::path owner;
};

using ChatCallback = std::function<void(AShooterPlayerController*, FString*, int, int)>;
using ConsoleCallback = std::function<void(APlayerController*, FString*, bool)>;
using RconCallback = std::function<void(RCONClientConnection*, RCONPacket*, UWorld*)>;

// The first blank-separated word of a line, as UTF-8.
std::string FirstWord(const FString& line) {
    const std::string text = ToUtf8(*line, line.Len());
    const auto start = text.find_first_not_of(' ');
    if (start == std::string::npos) {
        return {};
    }
    return text.substr(start, text.find(' ', start) - start);
}

bool SameIgnoringCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        const auto fold = [](char c) { return c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c; };
        if (fold(a[i]) != fold(b[i])) {
            return false;
        }
    }
    return true;
}

class Commands final : public AsaApi::ICommands {
  public:
    void AddChatCommand(const FString& command, const ChatCallback& callback) override {
        NoteFrameworkCall("AsaApi::ICommands::AddChatCommand");
        Add(chat_, command, callback, module::PathOf(__builtin_return_address(0)));
    }
    void AddConsoleCommand(const FString& command, const ConsoleCallback& callback) override {
        NoteFrameworkCall("AsaApi::ICommands::AddConsoleCommand");
        Add(console_, command, callback, module::PathOf(__builtin_return_address(0)));
    }
    void AddRconCommand(const FString& command, const RconCallback& callback) override {
        NoteFrameworkCall("AsaApi::ICommands::AddRconCommand");
        Add(rcon_, command, callback, module::PathOf(__builtin_return_address(0)));
    }
    bool RemoveChatCommand(const FString& command) override {
        NoteFrameworkCall("AsaApi::ICommands::RemoveChatCommand");
        return Remove(chat_, command);
    }
    bool RemoveConsoleCommand(const FString& command) override {
        NoteFrameworkCall("AsaApi::ICommands::RemoveConsoleCommand");
        return Remove(console_, command);
    }
    bool RemoveRconCommand(const FString& command) override {
        NoteFrameworkCall("AsaApi::ICommands::RemoveRconCommand");
        return Remove(rcon_, command);
    }

    template <typename... Args>
    bool RunRcon(const FString& line, Args... args) {
        return Run(rcon_, line, args...);
    }
    template <typename... Args>
    bool RunConsole(const FString& line, Args... args) {
        return Run(console_, line, args...);
    }
    template <typename... Args>
    bool RunChat(const FString& line, Args... args) {
        return Run(chat_, line, args...);
    }

    void DropOf(const std::filesystem::path& module) {
        std::lock_guard lock(mutex_);
        const auto drop = [&](auto& commands) {
            return std::erase_if(commands, [&](const auto& command) {
                return module::SameFile(command->owner, module);
            });
        };
        if (const auto dropped = drop(chat_) + drop(console_) + drop(rcon_); dropped > 0) {
            Log().info("Removed {} command(s) of {}", dropped, module.filename().string());
        }
    }

  private:
    template <typename Callback>
    void Add(std::vector<std::shared_ptr<Command<Callback>>>& commands, const FString& name,
             const Callback& callback, std::filesystem::path owner) {
        std::lock_guard lock(mutex_);
        commands.push_back(std::make_shared<Command<Callback>>(
            Command<Callback>{ToUtf8(*name, name.Len()), callback, std::move(owner)}));
    }

    // As the framework: the first command of that name goes, not every one.
    template <typename Callback>
    bool Remove(std::vector<std::shared_ptr<Command<Callback>>>& commands, const FString& name) {
        std::lock_guard lock(mutex_);
        const std::string wanted = ToUtf8(*name, name.Len());
        const auto found = std::find_if(commands.begin(), commands.end(), [&](const auto& command) {
            return SameIgnoringCase(command->name, wanted);
        });
        if (found == commands.end()) {
            return false;
        }
        commands.erase(found);
        return true;
    }

    // The first command whose name is the line's first word runs, outside the lock.
    template <typename Callback, typename... Args>
    bool Run(std::vector<std::shared_ptr<Command<Callback>>>& commands, const FString& line,
             Args... args) {
        const std::string word = FirstWord(line);
        std::shared_ptr<Command<Callback>> found;
        {
            std::lock_guard lock(mutex_);
            for (const auto& command : commands) {
                if (SameIgnoringCase(command->name, word)) {
                    found = command;
                    break;
                }
            }
        }
        if (!found) {
            return false;
        }
        found->callback(args...);
        return true;
    }

    std::mutex mutex_;
    std::vector<std::shared_ptr<Command<ChatCallback>>> chat_;
    std::vector<std::shared_ptr<Command<ConsoleCallback>>> console_;
    std::vector<std::shared_ptr<Command<RconCallback>>> rcon_;
};

Commands& TheCommands() {
    static Commands commands;
    return commands;
}

// The game's own handling of a player's chat line, under the framework's detour.
void (*gameSendChatMessage)(AShooterPlayerController*, FString*, int, int) = nullptr;

// The framework's detour: a line sent less than a game second after the player's last one
// that went through is dropped; a chat command takes the line; else the game shows it.
void FrameworkSendChatMessage(AShooterPlayerController* player, FString* message, int mode,
                              int platform) {
    const long double last = player->LastChatMessageTimeField();
    const long double now = AsaApi::GetApiUtils().GetWorld()->TimeSecondsField();
    if (last > 0 && now - last < 1.0) {
        return;
    }
    player->LastChatMessageTimeField() = now;
    if (TheCommands().RunChat(*message, player, message, mode, platform)) {
        return;
    }
    gameSendChatMessage(player, message, mode, platform);
}

}  // namespace

void InstallChatHook() {
    AsaApi::GetHooks().SetHook(kSendChatMessage,
                               reinterpret_cast<LPVOID>(&FrameworkSendChatMessage),
                               &gameSendChatMessage);
}

void DropCommandsOf(const std::filesystem::path& module) {
    TheCommands().DropOf(module);
}

bool RunRconCommand(RCONClientConnection* connection, RCONPacket* packet, UWorld* world) {
    return TheCommands().RunRcon(packet->Body, connection, packet, world);
}

bool RunConsoleCommand(APlayerController* player, FString* command, bool writeToLog) {
    return TheCommands().RunConsole(*command, player, command, writeToLog);
}

}  // namespace asahost

namespace AsaApi {
ICommands& GetCommands() {
    return asahost::TheCommands();
}
}  // namespace AsaApi
