#include <ares.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdint>

#include "platform/HostLookup.h"

namespace quorvane::platform {

// Every wait also watches `wake`, which EndAll makes readable for good.
struct HostLookups::State {
    int wake = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    std::atomic<bool> ended{false};

    ~State() {
        if (wake >= 0) {
            close(wake);
        }
    }
};

namespace {

// What c-ares hands the callback, on the thread that drives the lookup.
struct Answer {
    bool done = false;
    int status = ARES_SUCCESS;
    ares_addrinfo* info = nullptr;
};

void Answered(void* argument, int status, int /*timeouts*/, ares_addrinfo* info) {
    auto& answer = *static_cast<Answer*>(argument);
    answer.done = true;
    answer.status = status;
    answer.info = info;
}

// One lookup's channel: destroying it ends whatever is under way, at once.
class Channel {
  public:
    Channel() = default;
    ~Channel() {
        if (channel_ != nullptr) {
            ares_destroy(channel_);
        }
    }
    Channel(const Channel&) = delete;
    Channel& operator=(const Channel&) = delete;

    int Open() { return ares_init(&channel_); }
    ares_channel Get() const { return channel_; }

  private:
    ares_channel channel_ = nullptr;
};

int MillisecondsUntil(std::chrono::steady_clock::time_point until) {
    const auto left =
        std::chrono::ceil<std::chrono::milliseconds>(until - std::chrono::steady_clock::now());
    return static_cast<int>(std::clamp<long long>(left.count(), 0, INT_MAX));
}

}  // namespace

HostLookups::HostLookups() : state_(std::make_unique<State>()) {}
HostLookups::~HostLookups() = default;

HostLookups::Status HostLookups::Resolve(const std::string& host, int port, Clock::time_point until,
                                         std::vector<SocketAddress>& to, std::string& reason) {
    if (state_->ended) {
        return Status::Ended;
    }
    Answer answer;
    {
        Channel channel;
        if (const int opened = channel.Open(); opened != ARES_SUCCESS) {
            reason = "cannot resolve " + host + ": " + ares_strerror(opened);
            return Status::Failed;
        }
        ares_addrinfo_hints hints{};
        hints.ai_family = AF_UNSPEC;
        hints.ai_socktype = SOCK_STREAM;
        hints.ai_flags = ARES_AI_NUMERICSERV;
        ares_getaddrinfo(channel.Get(), host.c_str(), std::to_string(port).c_str(), &hints,
                         &Answered, &answer);
        while (!answer.done) {
            if (state_->ended) {
                return Status::Ended;  // the channel's end calls back, into `answer`
            }
            ares_socket_t sockets[ARES_GETSOCK_MAXNUM];
            const int bits = ares_getsock(channel.Get(), sockets, ARES_GETSOCK_MAXNUM);
            pollfd watched[ARES_GETSOCK_MAXNUM + 1];
            nfds_t count = 0;
            for (int i = 0; i < ARES_GETSOCK_MAXNUM; ++i) {
                const bool read = ARES_GETSOCK_READABLE(bits, i) != 0;
                const bool write = ARES_GETSOCK_WRITABLE(bits, i) != 0;
                if (read || write) {
                    watched[count++] = {
                        sockets[i], static_cast<short>((read ? POLLIN : 0) | (write ? POLLOUT : 0)),
                        0};
                }
            }
            watched[count] = {state_->wake, POLLIN, 0};
            // c-ares' own time-outs (a server that does not answer) come first.
            const int left = MillisecondsUntil(until);
            timeval most{left / 1000, (left % 1000) * 1000};
            timeval next{};
            const timeval* wait = ares_timeout(channel.Get(), &most, &next);
            const int ms = static_cast<int>(wait->tv_sec * 1000 + (wait->tv_usec + 999) / 1000);
            const int ready = poll(watched, state_->wake >= 0 ? count + 1 : count,
                                   state_->wake >= 0 ? ms : (std::min)(ms, 100));
            if (ready < 0 && errno != EINTR) {
                reason = "cannot resolve " + host + ": the wait failed";
                return Status::Failed;
            }
            if (ready == 0 && Clock::now() >= until) {
                return Status::TimedOut;
            }
            for (nfds_t i = 0; i < count; ++i) {
                const auto seen = watched[i].revents;
                ares_process_fd(
                    channel.Get(),
                    (seen & (POLLIN | POLLERR | POLLHUP)) != 0 ? watched[i].fd : ARES_SOCKET_BAD,
                    (seen & (POLLOUT | POLLERR)) != 0 ? watched[i].fd : ARES_SOCKET_BAD);
            }
            if (ready == 0) {
                ares_process_fd(channel.Get(), ARES_SOCKET_BAD, ARES_SOCKET_BAD);  // time-outs
            }
        }
    }
    if (answer.status != ARES_SUCCESS) {
        reason = "cannot resolve " + host + ": " + ares_strerror(answer.status);
        return Status::Failed;
    }
    for (const auto* node = answer.info->nodes; node != nullptr; node = node->ai_next) {
        AddAddress(to, node->ai_family, node->ai_socktype, node->ai_protocol, node->ai_addr,
                   node->ai_addrlen);
    }
    ares_freeaddrinfo(answer.info);
    return Status::Done;
}

void HostLookups::EndAll() {
    state_->ended = true;
    if (state_->wake >= 0) {
        const std::uint64_t one = 1;
        [[maybe_unused]] const auto written = write(state_->wake, &one, sizeof one);
    }
}

}  // namespace quorvane::platform
