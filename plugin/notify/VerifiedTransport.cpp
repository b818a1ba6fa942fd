#include "notify/VerifiedTransport.h"

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <exception>
#include <mutex>
#include <utility>
#include <vector>

#include "base/Host.h"
#include "base/PluginLog.h"
#include "config/DiscordValues.h"
#include "platform/HttpHeaders.h"
#include "platform/HttpTransport.h"

namespace quorvane {
namespace {

constexpr std::chrono::milliseconds kConnectTimeout = std::chrono::seconds(10);

// Apart from the event chain's timer (path + "_0") and the retries' (path + "_1").
FString CollectTimerIdentifier() {
    return FString(platform::OwnModulePath() + L"_2");
}

// As the framework's request service hands an answer over.
DiscordReply ReplyOf(http::Outcome outcome) {
    DiscordReply reply;
    if (!outcome.answered) {
        reply.Failure = std::move(outcome.error);
        return reply;
    }
    reply.Success = outcome.status >= 200 && outcome.status < 300;
    reply.Result = outcome.status == 200 ? std::move(outcome.body)
                                         : std::to_string(outcome.status) + " " + outcome.reason;
    reply.Headers = std::move(outcome.headers);
    return reply;
}

}  // namespace

// What the game thread and the client's thread share.
struct VerifiedTransport::Shared {
    struct Job {
        std::uint64_t id = 0;
        http::Post post;
    };

    std::mutex mutex;
    std::condition_variable work;
    std::deque<Job> queue;
    std::vector<std::pair<std::uint64_t, http::Outcome>> finished;
    // The post on the wire, for Stop to abort.
    std::unique_ptr<http::Transfer> onTheWire;
    bool stopping = false;

    void Run() {
        std::unique_lock lock(mutex);
        for (;;) {
            work.wait(lock, [&] { return stopping || !queue.empty(); });
            if (stopping) {
                return;
            }
            Job job = std::move(queue.front());
            queue.pop_front();
            http::Outcome outcome;
            try {
                onTheWire = http::NewTransfer();
                http::Transfer& transfer = *onTheWire;
                lock.unlock();
                outcome = transfer.Perform(job.post);
                lock.lock();
            } catch (const std::exception& e) {
                if (!lock.owns_lock()) {
                    lock.lock();
                }
                outcome = {};
                outcome.error = e.what();
            }
            onTheWire.reset();
            if (stopping) {
                return;
            }
            finished.emplace_back(job.id, std::move(outcome));
        }
    }
};

VerifiedTransport::VerifiedTransport(Reenter reenter, std::chrono::milliseconds timeout)
    : reenter_(std::move(reenter)), timeout_(timeout), shared_(std::make_shared<Shared>()) {}

VerifiedTransport::~VerifiedTransport() {
    EndThread();
}

bool VerifiedTransport::Send(const DiscordRequest& request, Done done) {
    // What the framework's service refuses too.
    if (WebAddressProblem(request.Url)) {
        return false;
    }
    if (!thread_) {
        try {
            thread_ =
                std::make_unique<platform::PluginThread>([shared = shared_] { shared->Run(); });
        } catch (const std::exception& e) {
            PluginLog()->error("The plugin's HTTP client could not start its thread: {}", e.what());
            return false;
        }
    }
    http::Post post;
    post.url = request.Url;
    post.body = request.Body;
    // The lines the framework's service sends for the same call.
    post.headerLines = http::RequestHeaderLines(request.ContentType, request.HeaderLines);
    post.connectTimeout = (std::min)(kConnectTimeout, timeout_);
    post.totalTimeout = timeout_;
    const std::uint64_t id = nextId_++;
    {
        std::lock_guard lock(shared_->mutex);
        shared_->queue.push_back({id, std::move(post)});
    }
    shared_->work.notify_one();
    waiting_.emplace(id, std::move(done));
    Arm();
    return true;
}

void VerifiedTransport::Arm() {
    if (armed_) {
        return;
    }
    armed_ = true;
    const std::function<void()> collect = [reenter = reenter_] {
        reenter([](VerifiedTransport& transport) { transport.Collect(); });
    };
    // One game second, not none: a timer armed during a pass (a retry's, the event chain's)
    // with no delay may be due by the pass's own time, which forgets it unrun.
    API::Timer::Get().DelayExecute(CollectTimerIdentifier(), collect, 1);
}

void VerifiedTransport::Collect() {
    armed_ = false;
    std::vector<std::pair<std::uint64_t, http::Outcome>> finished;
    {
        std::lock_guard lock(shared_->mutex);
        finished.swap(shared_->finished);
    }
    for (auto& [id, outcome] : finished) {
        // A reply handed over before may have stopped the transport.
        const auto found = waiting_.find(id);
        if (found == waiting_.end()) {
            continue;
        }
        Done done = std::move(found->second);
        waiting_.erase(found);
        done(ReplyOf(std::move(outcome)));
    }
    if (!waiting_.empty()) {
        Arm();
    }
}

void VerifiedTransport::EndThread() {
    if (!thread_) {
        return;
    }
    {
        std::lock_guard lock(shared_->mutex);
        shared_->stopping = true;
        shared_->queue.clear();
        if (shared_->onTheWire) {
            shared_->onTheWire->Abort();
        }
    }
    shared_->work.notify_all();
    thread_.reset();
    shared_ = std::make_shared<Shared>();
}

void VerifiedTransport::Stop() {
    EndThread();
    API::Timer::Get().UnloadTimer(CollectTimerIdentifier());
    armed_ = false;
    waiting_.clear();
}

}  // namespace quorvane
