#include "Requests.h"

#include <condition_variable>
#include <deque>
#include <list>
#include <mutex>
#include <thread>

#include "HostInternal.h"
#include "HttpUrl.h"
#include "Module.h"
#include "platform/HttpHeaders.h"
#include "platform/HttpTransport.h"

namespace asahost {
namespace {

using Completion =
    std::function<void(bool, std::string, std::unordered_map<std::string, std::string>)>;

struct Job {
    http::Post post;
    Completion done;
    // The module that asked; its requests go when it is unloaded.
    std::filesystem::path owner;
    // Set while the request is on the wire, so that it can be aborted.
    std::unique_ptr<http::Transfer> transfer;
    bool dropped = false;
    http::Outcome outcome;
};

// A queue of requests and a few threads of the host's that send them. Their completions wait
// for the game thread, which runs them at its next tick; a module's requests are dropped,
// with their completions, when it is unloaded (also on the game thread).
class RequestService {
  public:
    void Start(const Options& options) {
        std::lock_guard lock(mutex_);
        if (started_) {
            return;
        }
        connectTimeout_ = options.httpConnectTimeout;
        totalTimeout_ = options.httpTotalTimeout;
        started_ = true;
        ++generation_;
        const int count = options.httpThreads > 0 ? options.httpThreads : 1;
        for (int i = 0; i < count; ++i) {
            threads_.emplace_back([this, generation = generation_] { Run(generation); });
        }
    }

    void Stop() {
        std::vector<Completion> released;
        std::vector<std::thread> threads;
        {
            std::lock_guard lock(mutex_);
            if (!started_) {
                return;
            }
            started_ = false;
            ++generation_;
            Release(released, [](const Job&) { return true; });
            threads = std::move(threads_);
            threads_.clear();
        }
        work_.notify_all();
        for (auto& thread : threads) {
            thread.join();
        }
        if (!released.empty()) {
            Log().info("Requests: {} unfinished request(s) dropped at shutdown", released.size());
        }
    }

    bool Add(std::shared_ptr<Job> job) {
        {
            std::lock_guard lock(mutex_);
            if (!started_) {
                return false;
            }
            job->post.connectTimeout = connectTimeout_;
            job->post.totalTimeout = totalTimeout_;
            queue_.push_back(std::move(job));
        }
        work_.notify_one();
        return true;
    }

    // On the game thread, so that no completion of the module can be running.
    void Drop(const std::filesystem::path& module) {
        std::vector<Completion> released;
        {
            std::lock_guard lock(mutex_);
            Release(released, [&](const Job& job) { return module::SameFile(job.owner, module); });
        }
        if (!released.empty()) {
            Log().info("Requests: {} request(s) of {} dropped", released.size(),
                       module.filename().string());
        }
        // `released` goes here, with the completions, before the module's code does.
    }

    // On the game thread: the completions of the requests that have been answered. Like the
    // framework, no guard: an exception that leaves a completion leaves the game's tick.
    void Deliver() {
        std::deque<std::shared_ptr<Job>> finished;
        {
            std::lock_guard lock(mutex_);
            finished.swap(finished_);
        }
        while (!finished.empty()) {
            const auto job = std::move(finished.front());
            finished.pop_front();
            {
                // A completion that ran before may have unloaded this job's module.
                std::lock_guard lock(mutex_);
                if (job->dropped) {
                    continue;
                }
            }
            Finish(*job);
        }
    }

  private:
    // Takes the completions of every job that `which` picks in the queue, on the wire and
    // among the answered, drops those jobs and aborts those on the wire. Under the lock.
    template <class Which>
    void Release(std::vector<Completion>& released, Which which) {
        const auto take = [&](auto& jobs) {
            for (auto it = jobs.begin(); it != jobs.end();) {
                if (which(**it)) {
                    (*it)->dropped = true;
                    released.push_back(std::move((*it)->done));
                    it = jobs.erase(it);
                } else {
                    ++it;
                }
            }
        };
        take(queue_);
        take(finished_);
        for (auto& job : inFlight_) {
            if (!job->dropped && which(*job)) {
                job->dropped = true;
                released.push_back(std::move(job->done));
                job->transfer->Abort();
            }
        }
    }

    void Run(unsigned long long generation) {
        std::unique_lock lock(mutex_);
        for (;;) {
            work_.wait(lock, [&] { return generation_ != generation || !queue_.empty(); });
            if (generation_ != generation) {
                return;
            }
            auto job = std::move(queue_.front());
            queue_.pop_front();
            job->transfer = http::NewTransfer();
            inFlight_.push_back(job);
            lock.unlock();

            http::Outcome outcome = job->transfer->Perform(job->post);

            lock.lock();
            inFlight_.remove(job);
            job->transfer.reset();
            if (job->dropped || generation_ != generation) {
                continue;  // its completion was taken by Drop or Stop
            }
            job->outcome = std::move(outcome);
            finished_.push_back(std::move(job));
        }
    }

    // As the framework hands an answer over: the body only for a 200, "STATUS REASON" for
    // every other status, success for 200 to 299; a connection that failed is its own error
    // line and an empty completion.
    static void Finish(Job& job) {
        auto& outcome = job.outcome;
        const bool success = outcome.answered && outcome.status >= 200 && outcome.status < 300;
        std::string result;
        if (!outcome.answered) {
            Log().error("HTTP request to '{}' failed: {}", http::HostOf(job.post.url),
                        outcome.error);
        } else if (outcome.status == 200) {
            result = std::move(outcome.body);
        } else {
            result = std::to_string(outcome.status) + " " + outcome.reason;
        }
        if (job.done) {
            job.done(success, std::move(result), std::move(outcome.headers));
        }
    }

    std::mutex mutex_;
    std::condition_variable work_;
    std::deque<std::shared_ptr<Job>> queue_;
    std::list<std::shared_ptr<Job>> inFlight_;
    std::deque<std::shared_ptr<Job>> finished_;
    std::vector<std::thread> threads_;
    bool started_ = false;
    // Changes at every Start and Stop; a thread of an older one only leaves.
    unsigned long long generation_ = 0;
    std::chrono::milliseconds connectTimeout_{};
    std::chrono::milliseconds totalTimeout_{};
};

RequestService& Service() {
    static RequestService service;
    return service;
}

bool HasLineBreak(const std::string& text) {
    return text.find_first_of("\r\n") != std::string::npos;
}

// Why a request cannot be sent, or empty.
std::string Refusal(const std::string& url, const std::string& contentType,
                    const std::vector<std::string>& headerLines) {
    if (url.empty()) {
        return "empty URL";
    }
    if (!http::IsHttpUrl(url)) {
        return "not an http:// or https:// URL";
    }
    if (HasLineBreak(contentType)) {
        return "line break in the content type";
    }
    for (const auto& line : headerLines) {
        if (HasLineBreak(line)) {
            return "line break in a header line";
        }
    }
    return {};
}

}  // namespace

void StartRequests() {
    Service().Start(CurrentOptions());
}
void StopRequests() {
    Service().Stop();
}
void DropRequestsOf(const std::filesystem::path& module) {
    Service().Drop(module);
}
void DeliverCompletions() {
    Service().Deliver();
}

}  // namespace asahost

namespace API {

Requests& Requests::Get() {
    static Requests requests;
    return requests;
}

bool Requests::CreatePostRequest(
    const std::string& url,
    const std::function<void(bool, std::string, std::unordered_map<std::string, std::string>)>&
        done,
    const std::string& body, const std::string& contentType, std::vector<std::string> headerLines) {
    using namespace asahost;
    NoteFrameworkCall("API::Requests::CreatePostRequest");
    // The caller's module, whose unloading drops the request.
    const auto owner = module::PathOf(__builtin_return_address(0));
    if (const auto refusal = Refusal(url, contentType, headerLines); !refusal.empty()) {
        Log().error("Requests: not sent to {}: {}", http::Redacted(url), refusal);
        return false;
    }
    auto job = std::make_shared<Job>();
    job->post.url = url;
    job->post.body = body;
    job->post.headerLines = http::RequestHeaderLines(contentType, headerLines);
    // The framework's HTTPS client checks no certificate: its constructor makes the default TLS
    // context with Context::VERIFY_NONE, which every request of the service uses.
    job->post.verifyPeer = false;
    job->done = done;
    job->owner = owner;
    if (!Service().Add(std::move(job))) {
        Log().error("Requests: the request service is not running; not sent to {}",
                    http::Redacted(url));
        return false;
    }
    return true;
}

}  // namespace API
