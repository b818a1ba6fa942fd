#include "Receiver.h"

#include <httplib.h>

#include <atomic>
#include <cmath>
#include <condition_variable>
#include <fstream>
#include <mutex>
#include <ostream>
#include <regex>
#include <stdexcept>
#include <thread>

#include "Announcement.h"
#include "DiscordRules.h"

namespace webhook {
namespace {

using nlohmann::json;

// Discord's paths, with or without an API version: /api/v10/webhooks/<id>/<token>.
const char* const kWebhookPath = R"(/api(?:/v\d+)?/webhooks/([^/]+)/([^/]+))";
// Stalled requests hold a thread each; the library's default pool is 8 on a small machine.
constexpr std::size_t kThreads = 32;
// A stall outlasts any client time-out, but not a forgotten receiver by much.
constexpr auto kStallLimit = std::chrono::minutes(10);

std::string Dump(const json& value) {
    return value.dump(-1, ' ', false, json::error_handler_t::replace);
}

bool IsSnowflake(const std::string& text) {
    return !text.empty() && text.find_first_not_of("0123456789") == std::string::npos;
}

// ?wait=true asks for the created message instead of 204 (Discord's boolean query values).
bool WantsMessage(const httplib::Request& request) {
    const std::string wait = request.get_param_value("wait");
    return wait == "true" || wait == "True" || wait == "1";
}

struct Reply {
    int status = 204;
    std::string body;  // JSON, or empty
    double retryAfter = -1;
};

Reply JsonReply(int status, const json& body) {
    return {status, Dump(body)};
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
        const std::string id = request.matches[1];
        if (!IsSnowflake(id)) {
            json errors;
            errors["webhook_id"]["_errors"].push_back(
                {{"code", "NUMBER_TYPE_COERCE"},
                 {"message", "Value \"" + id + "\" is not snowflake."}});
            return JsonReply(
                400, {{"code", 50035}, {"errors", errors}, {"message", "Invalid Form Body"}});
        }
        switch (behaviour.answer) {
            case Answer::BadRequest:
                return JsonReply(400, {{"message", "400: Bad Request"}, {"code", 0}});
            case Answer::RateLimited: {
                Reply reply = JsonReply(429, {{"message", "You are being rate limited."},
                                              {"retry_after", behaviour.retryAfterSeconds},
                                              {"global", false}});
                reply.retryAfter = behaviour.retryAfterSeconds;
                return reply;
            }
            case Answer::ServerError:
                return JsonReply(500, {{"message", "500: Internal Server Error"}, {"code", 0}});
            default:
                break;
        }
        std::vector<std::string> contentTypes;
        for (std::size_t i = 0; i < request.get_header_value_count("Content-Type"); ++i) {
            contentTypes.push_back(request.get_header_value("Content-Type", i));
        }
        const Verdict verdict = CheckPost(contentTypes, request.body);
        if (verdict.status != 204) {
            return {verdict.status, verdict.error};
        }
        if (!WantsMessage(request)) {
            return {};
        }
        // The created message, as far as the post tells it.
        const json post = json::parse(request.body);
        const auto content = post.find("content");
        return JsonReply(
            200, {{"id", "1"},
                  {"type", 0},
                  {"channel_id", "1"},
                  {"webhook_id", id},
                  {"content", content != post.end() && content->is_string() ? *content : json("")},
                  {"embeds", post.value("embeds", json::array())}});
    }

    void OnOther(const httplib::Request& request, httplib::Response& response) {
        const bool webhook = std::regex_match(request.path, std::regex(kWebhookPath));
        Send(request, response,
             webhook ? JsonReply(405, {{"message", "405: Method Not Allowed"}, {"code", 0}})
                     : JsonReply(404, {{"message", "404: Not Found"}, {"code", 0}}));
    }

    void Send(const httplib::Request& request, httplib::Response& response, const Reply& reply) {
        response.status = reply.status;
        if (!reply.body.empty()) {
            response.set_content(reply.body, "application/json");
        }
        if (reply.retryAfter >= 0) {
            response.set_header("Retry-After",
                                std::to_string(static_cast<long>(std::ceil(reply.retryAfter))));
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
                                      ? FormatAnnouncement(record.body)
                                      : "Discord | (answered " + std::to_string(reply.status) +
                                            (reply.body.empty() ? "" : ": " + reply.body) + ")\n")
                              << std::flush;
        }
        records_.push_back(std::move(record));
        changed_.notify_all();
    }

    void ShowBehaviour(httplib::Response& response) const {
        const Behaviour behaviour = CurrentBehaviour();
        response.set_content(Dump({{"answer", AnswerName(behaviour.answer)},
                                   {"retry_after", behaviour.retryAfterSeconds}}),
                             "application/json");
    }

    // {"answer": "204" | "400" | "429" | "500" | "stall", "retry_after": seconds}, both
    // optional.
    void ChangeBehaviour(const httplib::Request& request, httplib::Response& response) {
        const json change = json::parse(request.body, nullptr, false);
        Behaviour behaviour = CurrentBehaviour();
        bool valid = change.is_object();
        if (valid && change.contains("answer")) {
            const json& name = change["answer"];
            const auto answer = ParseAnswer(name.is_string() ? name.get<std::string>() : "");
            valid = answer.has_value();
            behaviour.answer = answer.value_or(behaviour.answer);
        }
        if (valid && change.contains("retry_after")) {
            const json& seconds = change["retry_after"];
            valid = seconds.is_number() && seconds.get<double>() >= 0;
            behaviour.retryAfterSeconds = valid ? seconds.get<double>() : 0;
        }
        if (!valid) {
            response.status = 400;
            response.set_content(
                Dump({{"message",
                       R"(expected {"answer": "204|400|429|500|stall", "retry_after": seconds})"}}),
                "application/json");
            return;
        }
        SetBehaviour(behaviour);
        ShowBehaviour(response);
    }

    void ShowRecords(httplib::Response& response) const {
        json records = json::array();
        for (const auto& record : Records()) {
            records.push_back(ToJson(record));
        }
        response.set_content(Dump(records), "application/json");
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
