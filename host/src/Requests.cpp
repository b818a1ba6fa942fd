#include "API/Requests.h"

#include "HostInternal.h"

// HTTP is not wired up yet: every request is refused and reported at once.
namespace asahost {
void StartRequests() {}
void StopRequests() {}
void DropRequestsOf(const std::filesystem::path&) {}
}  // namespace asahost

namespace API {

Requests& Requests::Get() {
    static Requests requests;
    return requests;
}

bool Requests::CreatePostRequest(const std::string& url, const Completion&, const std::string&,
                                 const std::string&, std::vector<std::string>) {
    asahost::Log().error("Requests: HTTP is not available in this build; not sent to {}", url);
    return false;
}

}  // namespace API
