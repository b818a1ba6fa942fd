#include "API/Requests.h"

#include <condition_variable>
#include <deque>
#include <list>
#include <mutex>
#include <optional>
#include <thread>

#include "HostInternal.h"
#include "HttpHeaders.h"
#include "HttpTransport.h"
#include "HttpUrl.h"
#include "Module.h"

namespace asahost {
namespace {

using Completion = API::Requests::Completion;

struct Job {
    http::Post post;
    Completion done;
    // The module that asked; its requests go when it is unloaded.
    std::filesystem::path owner;
    // Set while the request is on the wire, so that it can be aborted.
    std::unique_ptr<http::Transfer> transfer;
    bool dropped = false;
};

struct Worker {
    std::thread thread;
    std::thread::id id;
    // The owner of the completion this worker is running at the moment.
    std::optional<std::filesystem::path> running;
};

// A queue of requests and a few threads of the host's that send them and run their
// completions. Nothing of a plugin's runs once the plugin's requests have been dropped.
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
        workers_.resize(static_cast<std::size_t>(count));
        for (std::size_t i = 0; i < workers_.size(); ++i) {
            workers_[i].thread =
                std::thread([this, i, generation = generation_] { Run(i, generation); });
            workers_[i].id = workers_[i].thread.get_id();
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
            for (auto& job : queue_) {
                released.push_back(std::move(job->done));
            }
            queue_.clear();
            ReleaseInFlight(released, [](const Job&) { return true; });
            for (auto& worker : workers_) {
                threads.push_back(std::move(worker.thread));
            }
        }
        work_.notify_all();
        for (auto& thread : threads) {
            if (thread.get_id() == std::this_thread::get_id()) {
                thread.detach();  // stopped from a completion: this thread ends after it
            } else {
                thread.join();
            }
        }
        {
            std::lock_guard lock(mutex_);
            if (!started_) {
                workers_.clear();
            }
        }
        idle_.notify_all();  // a Drop that waited for a worker of ours
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

    void Drop(const std::filesystem::path& module) {
        std::vector<Completion> released;
        {
            std::unique_lock lock(mutex_);
            for (auto it = queue_.begin(); it != queue_.end();) {
                if (module::SameFile((*it)->owner, module)) {
                    released.push_back(std::move((*it)->done));
                    it = queue_.erase(it);
                } else {
                    ++it;
                }
            }
            ReleaseInFlight(released,
                            [&](const Job& job) { return module::SameFile(job.owner, module); });
            // A completion of the module that runs now ends before its code goes away; the
            // one that called us, if any, is still on the stack and is the caller's business.
            idle_.wait(lock, [&] {
                for (const auto& worker : workers_) {
                    if (worker.running && worker.id != std::this_thread::get_id() &&
                        module::SameFile(*worker.running, module)) {
                        return false;
                    }
                }
                return true;
            });
        }
        if (!released.empty()) {
            Log().info("Requests: {} request(s) of {} dropped", released.size(),
                       module.filename().string());
        }
        // `released` goes here, before the module's code does.
    }

  private:
    // Marks the in-flight requests that `which` picks as dropped, takes their completions
    // and aborts their transfers. Under the lock.
    template <class Which>
    void ReleaseInFlight(std::vector<Completion>& released, Which which) {
        for (auto& job : inFlight_) {
            if (!job->dropped && which(*job)) {
                job->dropped = true;
                released.push_back(std::move(job->done));
                job->transfer->Abort();
            }
        }
    }

    void Run(std::size_t index, unsigned long long generation) {
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
            auto transfer = std::move(job->transfer);
            if (job->dropped || generation_ != generation) {
                continue;  // its completion was taken by Drop or Stop
            }
            Completion done = std::move(job->done);
            workers_[index].running = job->owner;
            lock.unlock();

            transfer.reset();
            Finish(job->post.url, std::move(outcome), done);
            done = nullptr;  // the callable's code may be unloaded as soon as we say so

            lock.lock();
            if (generation_ != generation) {
                return;
            }
            workers_[index].running.reset();
            idle_.notify_all();
        }
    }

    static void Finish(const std::string& url, http::Outcome outcome, const Completion& done) {
        const bool success = outcome.answered && outcome.status >= 200 && outcome.status < 300;
        if (!outcome.answered) {
            Log().warn("Requests: POST to {} failed: {}", http::Redacted(url), outcome.error);
        } else if (!success) {
            Log().warn("Requests: POST to {} answered {}: {}", http::Redacted(url), outcome.status,
                       Excerpt(outcome.body));
        }
        if (!done) {
            return;
        }
        try {
            done(success, std::move(outcome.body), std::move(outcome.headers));
        } catch (const std::exception& e) {
            Log().error("Requests: the completion for {} threw: {}", http::Redacted(url), e.what());
        } catch (...) {
            Log().error("Requests: the completion for {} threw an unknown exception",
                        http::Redacted(url));
        }
    }

    // The start of an answer's body on one line, for the log.
    static std::string Excerpt(const std::string& body) {
        constexpr std::size_t kLimit = 300;
        std::string out = body.substr(0, kLimit);
        for (auto& c : out) {
            if (c == '\r' || c == '\n') {
                c = ' ';
            }
        }
        return body.size() > kLimit ? out + "..." : out;
    }

    std::mutex mutex_;
    std::condition_variable work_;
    std::condition_variable idle_;
    std::deque<std::shared_ptr<Job>> queue_;
    std::list<std::shared_ptr<Job>> inFlight_;
    std::vector<Worker> workers_;
    bool started_ = false;
    // Changes at every Start and Stop; a worker of an older one only leaves.
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

}  // namespace asahost

namespace API {

Requests& Requests::Get() {
    static Requests requests;
    return requests;
}

bool Requests::CreatePostRequest(const std::string& url, const Completion& done,
                                 const std::string& body, const std::string& contentType,
                                 std::vector<std::string> headerLines) {
    using namespace asahost;
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
