// A plugin for the unloading tests: when it is initialised it posts one request through the host,
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

void PostOnLoad() {
    auto witness = std::make_shared<Witness>();
    API::Requests::Get().CreatePostRequest(
        QvHttpTestUrl(),
        [witness](bool success, std::string, std::unordered_map<std::string, std::string>) {
            QvHttpTestCompletion(success);
        },
        R"({"content":"posted by the test module"})", "application/json", {});
}

}  // namespace

// The framework calls it once the library is loaded, outside the loader lock.
extern "C" __attribute__((visibility("default"))) void Plugin_Init() {
    PostOnLoad();
}
