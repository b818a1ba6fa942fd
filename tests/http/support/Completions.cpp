#include "Completions.h"

#include <condition_variable>
#include <mutex>

namespace http_testing {

struct Completions::State {
    std::mutex mutex;
    std::condition_variable called;
    std::vector<Call> calls;
};

Completions::Completions() : state_(std::make_shared<State>()) {}

std::function<void(bool, std::string, std::unordered_map<std::string, std::string>)>
Completions::Callback() const {
    return [state = state_](bool success, std::string body,
                            std::unordered_map<std::string, std::string> headers) {
        std::lock_guard lock(state->mutex);
        state->calls.push_back(
            {success, std::move(body), std::move(headers), std::this_thread::get_id()});
        state->called.notify_all();
    };
}

bool Completions::WaitFor(std::size_t count, std::chrono::milliseconds timeout) const {
    std::unique_lock lock(state_->mutex);
    return state_->called.wait_for(lock, timeout, [&] { return state_->calls.size() >= count; });
}

std::vector<Call> Completions::Calls() const {
    std::lock_guard lock(state_->mutex);
    return state_->calls;
}

bool Post(const std::string& url, const Completions& completions, const std::string& body,
          const std::string& contentType, std::vector<std::string> headerLines) {
    return API::Requests::Get().CreatePostRequest(url, completions.Callback(), body, contentType,
                                                  std::move(headerLines));
}

}  // namespace http_testing
