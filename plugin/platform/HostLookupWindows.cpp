// winsock2.h includes windows.h itself, in the order the two need.
#include <winsock2.h>
#include <ws2tcpip.h>

#include <algorithm>
#include <atomic>
#include <mutex>
#include <system_error>

#include "platform/HostLookup.h"

namespace quorvane::platform {
namespace {

// Since Windows 8 and Server 2012; looked up by name, since not every SDK declares them.
using CancelLookup = INT(WSAAPI*)(LPHANDLE);
using LookupResult = INT(WSAAPI*)(LPOVERLAPPED);

// One lookup and the memory the system writes to until it signals `done`.
struct Lookup {
    std::wstring name;
    std::wstring service;
    ADDRINFOEXW hints{};
    ADDRINFOEXW* result = nullptr;
    OVERLAPPED overlapped{};
    HANDLE cancel = nullptr;

    Lookup() { overlapped.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr); }
    ~Lookup() {
        if (result != nullptr) {
            FreeAddrInfoExW(result);
        }
        if (overlapped.hEvent != nullptr) {
            CloseHandle(overlapped.hEvent);
        }
    }
    Lookup(const Lookup&) = delete;
    Lookup& operator=(const Lookup&) = delete;

    bool Done() const { return WaitForSingleObject(overlapped.hEvent, 0) == WAIT_OBJECT_0; }
};

std::wstring Widen(const std::string& text) {
    const int length =
        MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>((std::max)(length, 0)), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(),
                        length);
    return wide;
}

}  // namespace

// Every wait also watches `ending`, which EndAll sets for good. Lookups given up wait in
// `abandoned` until the system is done with them; those it is still working on when this
// object goes are left to it, and so is this object's start of Winsock.
struct HostLookups::State {
    HANDLE ending = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::atomic<bool> ended{false};
    CancelLookup cancel = nullptr;
    LookupResult outcome = nullptr;
    std::mutex mutex;
    bool started = false;
    std::vector<std::unique_ptr<Lookup>> abandoned;

    ~State() {
        std::erase_if(abandoned, [](const auto& lookup) { return lookup->Done(); });
        for (auto& lookup : abandoned) {
            static_cast<void>(lookup.release());
        }
        if (started && abandoned.empty()) {
            WSACleanup();
        }
        if (ending != nullptr) {
            CloseHandle(ending);
        }
    }

    // Winsock and the two calls, at the first lookup rather than under the loader lock.
    bool Start(std::string& reason) {
        std::lock_guard lock(mutex);
        if (!started) {
            WSADATA data;
            if (const int error = WSAStartup(MAKEWORD(2, 2), &data)) {
                reason = "the sockets library cannot be started: " +
                         std::system_category().message(error);
                return false;
            }
            started = true;
            if (const HMODULE winsock = GetModuleHandleW(L"ws2_32.dll")) {
                cancel = reinterpret_cast<CancelLookup>(
                    reinterpret_cast<void*>(GetProcAddress(winsock, "GetAddrInfoExCancel")));
                outcome = reinterpret_cast<LookupResult>(reinterpret_cast<void*>(
                    GetProcAddress(winsock, "GetAddrInfoExOverlappedResult")));
            }
        }
        if (outcome == nullptr) {
            reason = "this Windows cannot look up names with a deadline (GetAddrInfoExW)";
            return false;
        }
        return true;
    }

    void Abandon(std::unique_ptr<Lookup> lookup) {
        if (cancel != nullptr && lookup->cancel != nullptr) {
            cancel(&lookup->cancel);
        }
        std::lock_guard lock(mutex);
        std::erase_if(abandoned, [](const auto& earlier) { return earlier->Done(); });
        if (!lookup->Done()) {
            abandoned.push_back(std::move(lookup));
        }
    }
};

HostLookups::HostLookups() : state_(std::make_unique<State>()) {}
HostLookups::~HostLookups() = default;

HostLookups::Status HostLookups::Resolve(const std::string& host, int port, Clock::time_point until,
                                         std::vector<SocketAddress>& to, std::string& reason) {
    if (state_->ended) {
        return Status::Ended;
    }
    if (!state_->Start(reason)) {
        return Status::Failed;
    }
    auto lookup = std::make_unique<Lookup>();
    if (lookup->overlapped.hEvent == nullptr) {
        reason = "cannot resolve " + host + ": " +
                 std::system_category().message(static_cast<int>(GetLastError()));
        return Status::Failed;
    }
    lookup->name = Widen(host);
    lookup->service = std::to_wstring(port);
    lookup->hints.ai_family = AF_UNSPEC;
    lookup->hints.ai_socktype = SOCK_STREAM;
    lookup->hints.ai_protocol = IPPROTO_TCP;
    // No completion routine: the system signals the event and runs none of the plugin's code.
    int error = GetAddrInfoExW(lookup->name.c_str(), lookup->service.c_str(), NS_ALL, nullptr,
                               &lookup->hints, &lookup->result, nullptr, &lookup->overlapped,
                               nullptr, &lookup->cancel);
    if (error == WSA_IO_PENDING) {
        for (;;) {
            if (state_->ended) {
                state_->Abandon(std::move(lookup));
                return Status::Ended;
            }
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(until - Clock::now());
            // Without the event, a look at the flag now and then.
            const long long most = state_->ending != nullptr ? 0x7FFFFFFF : 100;
            const HANDLE events[2] = {lookup->overlapped.hEvent, state_->ending};
            const DWORD waited = WaitForMultipleObjects(
                state_->ending != nullptr ? 2 : 1, events, FALSE,
                static_cast<DWORD>(std::clamp<long long>(left.count(), 0, most)));
            if (waited == WAIT_OBJECT_0) {
                error = state_->outcome(&lookup->overlapped);
                break;
            }
            if (waited == WAIT_TIMEOUT && Clock::now() >= until) {
                state_->Abandon(std::move(lookup));
                return Status::TimedOut;
            }
            if (waited != WAIT_TIMEOUT && waited != WAIT_OBJECT_0 + 1) {
                state_->Abandon(std::move(lookup));
                reason = "cannot resolve " + host + ": the wait failed";
                return Status::Failed;
            }
        }
    }
    if (error != 0) {
        reason = "cannot resolve " + host + ": " + std::system_category().message(error);
        return Status::Failed;
    }
    // The cast: MinGW-w64 declares ai_next with a misspelt struct name.
    for (const ADDRINFOEXW* a = lookup->result; a != nullptr;
         a = reinterpret_cast<const ADDRINFOEXW*>(a->ai_next)) {
        AddAddress(to, a->ai_family, a->ai_socktype, a->ai_protocol, a->ai_addr, a->ai_addrlen);
    }
    return Status::Done;
}

void HostLookups::EndAll() {
    state_->ended = true;
    if (state_->ending != nullptr) {
        SetEvent(state_->ending);
    }
}

}  // namespace quorvane::platform
