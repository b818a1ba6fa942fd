// A plugin for the unloading tests: when it is loaded it posts one request through the host,
// with a completion whose code (and whose captured witness's destructor) is this module's.

#include <memory>

#include "Requests.h"

extern "C" const char* QvHttpTestUrl();
extern "C" void QvHttpTestCompletion(bool success);
extern "C" void QvHttpTestReleased();

namespace {

// Captured by the completion: it goes when the host destroys the last copy of the callable.
struct Witness {
    Witness() = default;
    Witness(const Witness&) = delete;
    Witness& operator=(const Witness&) = delete;
    ~Witness() { QvHttpTestReleased(); }
};

__attribute__((constructor)) void PostOnLoad() {
    auto witness = std::make_shared<Witness>();
    API::Requests::Get().CreatePostRequest(
        QvHttpTestUrl(),
        [witness](bool success, std::string, std::unordered_map<std::string, std::string>) {
            QvHttpTestCompletion(success);
        },
        R"({"content":"posted by the test module"})", "application/json", {});
}

}  // namespace
