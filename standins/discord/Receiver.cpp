#include "Receiver.h"

#include <httplib.h>

#include <atomic>
#include <condition_variable>
#include <fstream>
#include <mutex>
#include <ostream>
#include <stdexcept>
#include <thread>

#include "Announcement.h"
#include "Reply.h"

namespace webhook {
namespace {

using nlohmann::json;

// Stalled requests hold a thread each; the library's default pool is 8 on a small machine.
constexpr std::size_t kThreads = 32;
// A stall outlasts any client time-out, but not a forgotten receiver by much.
constexpr auto kStallLimit = std::chrono::minutes(10);

std::optional<std::string> ThreadOf(const httplib::Request& request) {
    return request.has_param("thread_id") ? std::optional(request.get_param_value("thread_id"))
                                          : std::nullopt;
}

}  // namespace

class Receiver::Impl {
  public:
    explicit Impl(ReceiverOptions options) : options_(std::move(options)) {
        behaviour_ = options_.behaviour;
    }

    int Start() {
        if (!options_.recordFile.empty()) {
            recordFile_.open(options_.recordFile, std::ios::binary | std::ios::trunc);
            if (!recordFile_) {
                throw std::runtime_error("cannot write " + options_.recordFile.string());
            }
        }
        server_.new_task_queue = [] { return new httplib::ThreadPool(kThreads); };
        server_.Get("/control/answer", [this](const auto&, auto& res) { ShowBehaviour(res); });
        server_.Post("/control/answer",
                     [this](const auto& req, auto& res) { ChangeBehaviour(req, res); });
        server_.Get("/control/requests", [this](const auto&, auto& res) { ShowRecords(res); });
        server_.Post(kWebhookPath, [this](const auto& req, auto& res) { OnPost(req, res); });
        const auto other = [this](const auto& req, auto& res) { OnOther(req, res); };
        server_.Get(".*", other).Post(".*", other).Put(".*", other);
        server_.Patch(".*", other).Delete(".*", other).Options(".*", other);

        port_ = options_.port == 0
                    ? server_.bind_to_any_port("127.0.0.1")
                    : (server_.bind_to_port("127.0.0.1", options_.port) ? options_.port : -1);
        if (port_ <= 0) {
            throw std::runtime_error("cannot listen on 127.0.0.1:" + std::to_string(options_.port));
        }
        thread_ = std::thread([this] {
            server_.listen_after_bind();
            listenerEnded_ = true;
        });
        // The library's stop() does nothing before its loop runs: wait for the loop.
        while (!server_.is_running() && !listenerEnded_) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return port_;
    }

    void Stop() {
        {
            std::lock_guard lock(mutex_);
            stopping_ = true;
        }
        changed_.notify_all();
        if (thread_.joinable()) {
            server_.stop();
            thread_.join();
        }
    }

    int Port() const { return port_; }

    void SetBehaviour(const Behaviour& behaviour) {
        std::lock_guard lock(mutex_);
        behaviour_ = behaviour;
    }

    Behaviour CurrentBehaviour() const {
        std::lock_guard lock(mutex_);
        return behaviour_;
    }

    std::vector<Record> Records() const {
        std::lock_guard lock(mutex_);
        return records_;
    }

    bool WaitForArrivals(std::size_t count, std::chrono::milliseconds timeout) const {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, timeout, [&] { return arrivals_ >= count; });
    }

    bool WaitForRecords(std::size_t count, std::chrono::milliseconds timeout) const {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, timeout, [&] { return records_.size() >= count; });
    }

  private:
    void OnPost(const httplib::Request& request, httplib::Response& response) {
        Behaviour behaviour;
        {
            std::unique_lock lock(mutex_);
            ++arrivals_;
            changed_.notify_all();
            behaviour = behaviour_;
            // A failure for a number of posts, then Discord's own answers again.
            if (behaviour_.times > 0 && --behaviour_.times == 0) {
                behaviour_ = Behaviour{};
            }
            if (behaviour.answer == Answer::Stall) {
                changed_.wait_for(lock, kStallLimit, [&] { return stopping_; });
                if (stopping_) {
                    lock.unlock();
                    Send(request, response,
                         JsonReply(503, {{"message", "The receiver stopped"}, {"code", 0}}));
                    return;
                }
            }
        }
        Send(request, response, Decide(request, behaviour));
    }

    static Reply Decide(const httplib::Request& request, const Behaviour& behaviour) {
        WebhookPost post{request.matches[1],
                         {},
                         request.body,
                         WaitsForMessage(request.get_param_value("wait")),
                         ThreadOf(request)};
        for (std::size_t i = 0; i < request.get_header_value_count("Content-Type"); ++i) {
            post.contentTypes.push_back(request.get_header_value("Content-Type", i));
        }
        return AnswerPost(post, behaviour);
    }

    void OnOther(const httplib::Request& request, httplib::Response& response) {
        Send(request, response, AnswerOther(request.path));
    }

    void Send(const httplib::Request& request, httplib::Response& response, const Reply& reply) {
        response.status = reply.status;
        if (!reply.body.empty()) {
            response.set_content(reply.body, "application/json");
        }
        if (reply.retryAfter >= 0) {
            response.set_header("Retry-After", RetryAfterValue(reply.retryAfter));
        }
        Keep(request, reply);
    }

    void Keep(const httplib::Request& request, const Reply& reply) {
        Record record{request.method, request.target, {}, {}, request.body, reply.status};
        for (const auto& [name, value] : request.headers) {
            // The library files the peer's addresses among the headers.
            if (name != "REMOTE_ADDR" && name != "REMOTE_PORT" && name != "LOCAL_ADDR" &&
                name != "LOCAL_PORT") {
                record.headers.emplace_back(name, value);
            }
        }
        for (std::size_t i = 0; i < request.get_header_value_count("Content-Type"); ++i) {
            record.contentTypes.push_back(request.get_header_value("Content-Type", i));
        }
        std::lock_guard lock(mutex_);
        if (recordFile_.is_open()) {
            recordFile_ << ToJsonLine(record) << '\n' << std::flush;
        }
        if (options_.console != nullptr && record.method == "POST") {
            *options_.console << (reply.status / 100 == 2
                                      ? FormatAnnouncement(record.body, ThreadOf(request))
                                      : "Discord | (answered " + std::to_string(reply.status) +
                                            (reply.body.empty() ? "" : ": " + reply.body) + ")\n")
                              << std::flush;
        }
        records_.push_back(std::move(record));
        changed_.notify_all();
    }

    void ShowBehaviour(httplib::Response& response) const {
        const Behaviour behaviour = CurrentBehaviour();
        response.set_content(JsonText({{"answer", AnswerName(behaviour.answer)},
                                       {"retry_after", behaviour.retryAfterSeconds},
                                       {"times", behaviour.times}}),
                             "application/json");
    }

    // {"answer": "204" | "400" | "401" | "404" | "429" | "500" | "stall", "retry_after": seconds,
    // "times": posts}, each optional.
    void ChangeBehaviour(const httplib::Request& request, httplib::Response& response) {
        const auto behaviour = ChangedBehaviour(CurrentBehaviour(), request.body);
        if (!behaviour) {
            response.status = 400;
            response.set_content(
                JsonText(
                    {{"message",
                      R"(expected {"answer": "204|400|401|404|429|500|stall", "retry_after": seconds, "times": posts})"}}),
                "application/json");
            return;
        }
        SetBehaviour(*behaviour);
        ShowBehaviour(response);
    }

    void ShowRecords(httplib::Response& response) const {
        json records = json::array();
        for (const auto& record : Records()) {
            records.push_back(ToJson(record));
        }
        response.set_content(JsonText(records), "application/json");
    }

    ReceiverOptions options_;
    httplib::Server server_;
    std::thread thread_;
    std::atomic<bool> listenerEnded_{false};
    int port_ = 0;
    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    Behaviour behaviour_;
    std::vector<Record> records_;
    std::size_t arrivals_ = 0;
    bool stopping_ = false;
    std::ofstream recordFile_;
};

Receiver::Receiver(ReceiverOptions options) : impl_(std::make_unique<Impl>(std::move(options))) {}

Receiver::~Receiver() {
    impl_->Stop();
}

int Receiver::Start() {
    return impl_->Start();
}
void Receiver::Stop() {
    impl_->Stop();
}
int Receiver::Port() const {
    return impl_->Port();
}
std::string Receiver::BaseUrl() const {
    return "http://127.0.0.1:" + std::to_string(impl_->Port());
}
void Receiver::SetBehaviour(const Behaviour& behaviour) {
    impl_->SetBehaviour(behaviour);
}
Behaviour Receiver::CurrentBehaviour() const {
    return impl_->CurrentBehaviour();
}
std::vector<Record> Receiver::Records() const {
    return impl_->Records();
}
bool Receiver::WaitForArrivals(std::size_t count, std::chrono::milliseconds timeout) const {
    return impl_->WaitForArrivals(count, timeout);
}
bool Receiver::WaitForRecords(std::size_t count, std::chrono::milliseconds timeout) const {
    return impl_->WaitForRecords(count, timeout);
}

}  // namespace webhook
