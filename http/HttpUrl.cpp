#include "HttpUrl.h"

#include <algorithm>

namespace http {
namespace {

// The length of "http://" or "https://" at the start of `url`, or 0.
std::size_t SchemeLength(std::string_view url) {
    for (std::string_view scheme : {"http://", "https://"}) {
        if (url.size() < scheme.size()) {
            continue;
        }
        bool same = true;
        for (std::size_t i = 0; i < scheme.size(); ++i) {
            const char c = url[i] >= 'A' && url[i] <= 'Z' ? static_cast<char>(url[i] + 32) : url[i];
            same = same && c == scheme[i];
        }
        if (same) {
            return scheme.size();
        }
    }
    return 0;
}

}  // namespace

bool IsHttpUrl(std::string_view url) {
    const std::size_t scheme = SchemeLength(url);
    return scheme != 0 && url.size() > scheme && url[scheme] != '/' && url[scheme] != '?' &&
           url[scheme] != '#';
}

std::string HostOf(std::string_view url) {
    const std::size_t scheme = url.find("://");
    std::string_view rest = url.substr(scheme == std::string_view::npos ? 0 : scheme + 3);
    rest = rest.substr(0, rest.find_first_of("/?#"));
    if (const auto at = rest.rfind('@'); at != std::string_view::npos) {
        rest = rest.substr(at + 1);
    }
    if (rest.starts_with('[')) {
        return std::string(rest.substr(1, rest.find(']') - 1));
    }
    return std::string(rest.substr(0, rest.find(':')));
}

std::string Redacted(std::string_view url) {
    const std::size_t scheme = url.find("://");
    const std::size_t hostStart = scheme == std::string_view::npos ? 0 : scheme + 3;
    const std::size_t end = std::min(url.find_first_of("?#", hostStart), url.size());
    const std::size_t pathStart = url.find('/', hostStart);
    if (pathStart >= end) {
        return std::string(url.substr(0, end));  // no path: only the query goes
    }
    std::string_view path = url.substr(pathStart, end - pathStart);
    std::size_t keep = 0;  // of the path
    if (const std::size_t webhooks = path.find("/webhooks/"); webhooks != std::string_view::npos) {
        // The token and whatever follows it (Discord's /slack and /github forms).
        const std::size_t id = path.find('/', webhooks + 10);
        keep = id == std::string_view::npos ? path.size() : id + 1;
    } else {
        while (path.size() > 1 && path.back() == '/') {
            path.remove_suffix(1);
        }
        keep = path.rfind('/') + 1;
    }
    std::string out(url.substr(0, pathStart + keep));
    if (pathStart + keep < end || end < url.size()) {
        out += "***";
    }
    return out;
}

}  // namespace http
