// HTTP over WinHTTP, in asynchronous mode: the mode in which WinHTTP documents that closing a
// request handle ends a request under way, which Abort and the total time-out need. Perform
// waits for the request's callbacks and is the only one that closes handles.

#include <windows.h>
#include <winhttp.h>

#include <algorithm>
#include <climits>
#include <condition_variable>
#include <mutex>

#include "platform/HttpHeaders.h"
#include "platform/HttpTransport.h"

namespace http {
namespace {

// How long Perform waits for WinHTTP to let go of a closed request before giving up on it.
constexpr auto kCloseGrace = std::chrono::seconds(10);

std::wstring Wide(std::string_view text) {
    if (text.empty()) {
        return {};
    }
    const int length = static_cast<int>(text.size());
    const int size = MultiByteToWideChar(CP_UTF8, 0, text.data(), length, nullptr, 0);
    std::wstring out(static_cast<std::size_t>(size), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), length, out.data(), size);
    return out;
}

std::string Narrow(std::wstring_view text) {
    if (text.empty()) {
        return {};
    }
    const int length = static_cast<int>(text.size());
    const int size =
        WideCharToMultiByte(CP_UTF8, 0, text.data(), length, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), length, out.data(), size, nullptr, nullptr);
    return out;
}

// WinHTTP's messages are in winhttp.dll's message table, the others in the system's.
std::string ErrorText(DWORD code) {
    char buffer[512];
    DWORD length = FormatMessageA(
        FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        GetModuleHandleW(L"winhttp.dll"), code, 0, buffer, sizeof buffer, nullptr);
    while (length > 0 && (buffer[length - 1] == '\r' || buffer[length - 1] == '\n' ||
                          buffer[length - 1] == ' ' || buffer[length - 1] == '.')) {
        --length;
    }
    const std::string text(buffer, length);
    return (text.empty() ? std::string("WinHTTP error") : text) + " (" + std::to_string(code) + ")";
}

int Milliseconds(std::chrono::milliseconds duration) {
    return static_cast<int>(std::clamp<long long>(duration.count(), 0, INT_MAX));
}

struct HandleCloser {
    void operator()(HINTERNET handle) const { WinHttpCloseHandle(handle); }
};
using Handle = std::unique_ptr<void, HandleCloser>;

// What Perform, Abort and the request's callbacks share. WinHTTP holds a reference of its own
// (the request's context value) until it reports the request handle closed.
struct Exchange {
    // Recursive: WinHTTP may call back from within a call made under it.
    std::recursive_mutex mutex;
    std::condition_variable_any changed;
    HINTERNET request = nullptr;
    std::string body;  // read by WinHTTP while it sends
    std::vector<char> buffer;
    Outcome outcome;
    bool finished = false;  // the answer is complete, or failed
    bool aborted = false;
    bool closing = false;  // no further calls on `request`
    bool closed = false;   // WinHTTP let go of the request
};
using ExchangeRef = std::shared_ptr<Exchange>;

void Finish(Exchange& x, std::string error) {
    x.outcome.error = std::move(error);
    x.outcome.answered = x.outcome.error.empty();
    x.finished = true;
    x.changed.notify_all();
}

void ReadHeaders(Exchange& x) {
    DWORD status = 0;
    DWORD size = sizeof status;
    if (WinHttpQueryHeaders(x.request, WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                            WINHTTP_HEADER_NAME_BY_INDEX, &status, &size,
                            WINHTTP_NO_HEADER_INDEX)) {
        x.outcome.status = static_cast<long>(status);
    }
    DWORD bytes = 0;
    WinHttpQueryHeaders(x.request, WINHTTP_QUERY_RAW_HEADERS_CRLF, WINHTTP_HEADER_NAME_BY_INDEX,
                        WINHTTP_NO_OUTPUT_BUFFER, &bytes, WINHTTP_NO_HEADER_INDEX);
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER) {
        return;
    }
    std::wstring raw(bytes / sizeof(wchar_t), L'\0');
    if (!WinHttpQueryHeaders(x.request, WINHTTP_QUERY_RAW_HEADERS_CRLF,
                             WINHTTP_HEADER_NAME_BY_INDEX, raw.data(), &bytes,
                             WINHTTP_NO_HEADER_INDEX)) {
        return;
    }
    raw.resize(bytes / sizeof(wchar_t));
    const std::string text = Narrow(raw);
    // The first line is the status line.
    x.outcome.reason = ReasonPhrase(std::string_view(text).substr(0, text.find("\r\n")));
    if (x.outcome.reason.empty()) {
        x.outcome.reason = StandardReason(x.outcome.status);
    }
    for (std::size_t start = text.find("\r\n"); start != std::string::npos;) {
        start += 2;
        const std::size_t end = text.find("\r\n", start);
        AddResponseHeader(x.outcome.headers, std::string_view(text).substr(start, end - start));
        start = end;
    }
}

void QueryData(Exchange& x) {
    if (!WinHttpQueryDataAvailable(x.request, nullptr)) {
        Finish(x, ErrorText(GetLastError()));
    }
}

// One step of the exchange, under the lock, while `request` is open.
void Step(Exchange& x, DWORD status, LPVOID info, DWORD length) {
    switch (status) {
        case WINHTTP_CALLBACK_STATUS_SENDREQUEST_COMPLETE:
            if (!WinHttpReceiveResponse(x.request, nullptr)) {
                Finish(x, ErrorText(GetLastError()));
            }
            break;
        case WINHTTP_CALLBACK_STATUS_HEADERS_AVAILABLE:
            ReadHeaders(x);
            QueryData(x);
            break;
        case WINHTTP_CALLBACK_STATUS_DATA_AVAILABLE: {
            const DWORD available = *static_cast<const DWORD*>(info);
            if (available == 0) {
                Finish(x, x.outcome.status > 0 ? "" : "no HTTP status in the answer");
                break;
            }
            x.buffer.resize(available);
            if (!WinHttpReadData(x.request, x.buffer.data(), available, nullptr)) {
                Finish(x, ErrorText(GetLastError()));
            }
            break;
        }
        case WINHTTP_CALLBACK_STATUS_READ_COMPLETE:
            if (length == 0) {
                Finish(x, x.outcome.status > 0 ? "" : "no HTTP status in the answer");
                break;
            }
            x.outcome.body.append(static_cast<const char*>(info), length);
            QueryData(x);
            break;
        case WINHTTP_CALLBACK_STATUS_REQUEST_ERROR:
            Finish(x, ErrorText(static_cast<const WINHTTP_ASYNC_RESULT*>(info)->dwError));
            break;
        default:
            break;
    }
}

void CALLBACK OnStatus(HINTERNET, DWORD_PTR context, DWORD status, LPVOID info, DWORD length) {
    auto* ref = reinterpret_cast<ExchangeRef*>(context);
    if (ref == nullptr) {
        return;
    }
    if (status == WINHTTP_CALLBACK_STATUS_HANDLE_CLOSING) {
        {
            std::lock_guard lock((*ref)->mutex);
            (*ref)->closed = true;
            (*ref)->changed.notify_all();
        }
        delete ref;  // the last callback for the request: WinHTTP's reference goes
        return;
    }
    Exchange& x = **ref;
    std::lock_guard lock(x.mutex);
    if (!x.closing && !x.finished) {
        Step(x, status, info, length);
    }
}

std::wstring HeaderBlock(const std::vector<std::string>& lines) {
    std::string block;
    for (const auto& line : lines) {
        block.append(line).append("\r\n");
    }
    return Wide(block);
}

class WinHttpTransfer final : public Transfer {
  public:
    Outcome Perform(const Post& post) override {
        Outcome failed;
        const std::wstring url = Wide(post.url);
        URL_COMPONENTS parts{};
        parts.dwStructSize = sizeof parts;
        parts.dwHostNameLength = static_cast<DWORD>(-1);
        parts.dwUrlPathLength = static_cast<DWORD>(-1);
        parts.dwExtraInfoLength = static_cast<DWORD>(-1);
        if (!WinHttpCrackUrl(url.c_str(), 0, 0, &parts)) {
            failed.error = ErrorText(GetLastError());
            return failed;
        }
        const std::wstring host(parts.lpszHostName, parts.dwHostNameLength);
        std::wstring path(parts.lpszUrlPath, parts.dwUrlPathLength);
        path.append(parts.lpszExtraInfo, parts.dwExtraInfoLength);
        path = path.substr(0, path.find(L'#'));
        if (path.empty()) {
            path = L"/";
        }

        Handle session(WinHttpOpen(nullptr, WINHTTP_ACCESS_TYPE_DEFAULT_PROXY,
                                   WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS,
                                   WINHTTP_FLAG_ASYNC));
        Handle connection(session ? WinHttpConnect(session.get(), host.c_str(), parts.nPort, 0)
                                  : nullptr);
        HINTERNET request =
            connection ? WinHttpOpenRequest(
                             connection.get(), L"POST", path.c_str(), nullptr, WINHTTP_NO_REFERER,
                             WINHTTP_DEFAULT_ACCEPT_TYPES,
                             parts.nScheme == INTERNET_SCHEME_HTTPS ? WINHTTP_FLAG_SECURE : 0)
                       : nullptr;
        if (request == nullptr) {
            failed.error = ErrorText(GetLastError());
            return failed;
        }
        const int connectMs = Milliseconds(post.connectTimeout);
        const int totalMs = Milliseconds(post.totalTimeout);
        WinHttpSetTimeouts(session.get(), connectMs, connectMs, totalMs, totalMs);
        DWORD redirects = WINHTTP_OPTION_REDIRECT_POLICY_NEVER;
        WinHttpSetOption(request, WINHTTP_OPTION_REDIRECT_POLICY, &redirects, sizeof redirects);
        if (!post.verifyPeer) {
            DWORD ignore =
                SECURITY_FLAG_IGNORE_UNKNOWN_CA | SECURITY_FLAG_IGNORE_CERT_DATE_INVALID |
                SECURITY_FLAG_IGNORE_CERT_CN_INVALID | SECURITY_FLAG_IGNORE_CERT_WRONG_USAGE;
            WinHttpSetOption(request, WINHTTP_OPTION_SECURITY_FLAGS, &ignore, sizeof ignore);
        }

        Exchange& x = *exchange_;
        x.request = request;
        x.body = post.body;
        auto* winHttpRef = new ExchangeRef(exchange_);
        DWORD_PTR context = reinterpret_cast<DWORD_PTR>(winHttpRef);
        WinHttpSetOption(request, WINHTTP_OPTION_CONTEXT_VALUE, &context, sizeof context);
        if (WinHttpSetStatusCallback(
                request, OnStatus,
                WINHTTP_CALLBACK_FLAG_ALL_COMPLETIONS | WINHTTP_CALLBACK_FLAG_HANDLES,
                0) == WINHTTP_INVALID_STATUS_CALLBACK) {
            failed.error = ErrorText(GetLastError());
            WinHttpCloseHandle(request);
            delete winHttpRef;  // no callback will release it
            return failed;
        }

        const std::wstring headers = HeaderBlock(post.headerLines);
        const auto deadline = std::chrono::steady_clock::now() + post.totalTimeout;
        {
            std::unique_lock lock(x.mutex);
            if (x.aborted) {
                Finish(x, "aborted");
            } else if (!WinHttpSendRequest(
                           request,
                           headers.empty() ? WINHTTP_NO_ADDITIONAL_HEADERS : headers.c_str(),
                           headers.empty() ? 0 : static_cast<DWORD>(-1),
                           x.body.empty() ? WINHTTP_NO_REQUEST_DATA : x.body.data(),
                           static_cast<DWORD>(x.body.size()), static_cast<DWORD>(x.body.size()),
                           context)) {
                Finish(x, ErrorText(GetLastError()));
            }
            x.changed.wait_until(lock, deadline, [&] { return x.finished || x.aborted; });
            if (!x.finished) {
                Finish(x, x.aborted ? "aborted"
                                    : "timed out after " + std::to_string(totalMs) + " ms");
            }
            x.closing = true;
        }
        WinHttpCloseHandle(request);

        std::unique_lock lock(x.mutex);
        if (!x.changed.wait_for(lock, kCloseGrace, [&] { return x.closed; })) {
            // WinHTTP still holds the request: leave it its context and parent handles.
            connection.release();
            session.release();
        }
        Outcome outcome = std::move(x.outcome);
        if (!outcome.answered) {
            outcome.body.clear();
            outcome.reason.clear();
            outcome.headers.clear();
        }
        return outcome;
    }

    void Abort() override {
        std::lock_guard lock(exchange_->mutex);
        exchange_->aborted = true;
        exchange_->changed.notify_all();
    }

  private:
    ExchangeRef exchange_ = std::make_shared<Exchange>();
};

}  // namespace

std::unique_ptr<Transfer> NewTransfer() {
    return std::make_unique<WinHttpTransfer>();
}

}  // namespace http
