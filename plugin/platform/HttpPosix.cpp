// HTTP over libcurl. Each transfer drives its own multi handle, so that Abort can wake a
// transfer that waits for the network at once (curl_multi_wakeup) instead of at curl's next
// progress tick.

#include <curl/curl.h>

#include <atomic>
#include <mutex>

#include "platform/HttpHeaders.h"
#include "platform/HttpTransport.h"

namespace http {
namespace {

void InitCurlOnce() {
    // Never cleaned up: transfers may still end while the process exits.
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

std::size_t OnBody(char* data, std::size_t size, std::size_t count, void* user) {
    static_cast<std::string*>(user)->append(data, size * count);
    return size * count;
}

std::size_t OnHeader(char* data, std::size_t size, std::size_t count, void* user) {
    auto& outcome = *static_cast<Outcome*>(user);
    const std::string_view line(data, size * count);
    if (line.starts_with("HTTP/")) {
        // A new answer begins: keep only the final one's.
        outcome.headers.clear();
        outcome.reason = ReasonPhrase(line);
    } else {
        AddResponseHeader(outcome.headers, line);
    }
    return size * count;
}

struct EasyDeleter {
    void operator()(CURL* easy) const { curl_easy_cleanup(easy); }
};
struct ListDeleter {
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};

class CurlTransfer final : public Transfer {
  public:
    CurlTransfer() : multi_(curl_multi_init()) {}
    ~CurlTransfer() override { curl_multi_cleanup(multi_); }
    CurlTransfer(const CurlTransfer&) = delete;
    CurlTransfer& operator=(const CurlTransfer&) = delete;

    Outcome Perform(const Post& post) override {
        Outcome outcome;
        std::unique_ptr<CURL, EasyDeleter> easy(curl_easy_init());
        if (multi_ == nullptr || !easy) {
            outcome.error = "libcurl could not create a handle";
            return outcome;
        }
        std::unique_ptr<curl_slist, ListDeleter> headers(Headers(post.headerLines));
        char errorText[CURL_ERROR_SIZE] = "";
        CURL* e = easy.get();
        curl_easy_setopt(e, CURLOPT_URL, post.url.c_str());
        curl_easy_setopt(e, CURLOPT_PROTOCOLS_STR, "http,https");
        curl_easy_setopt(e, CURLOPT_POST, 1L);
        curl_easy_setopt(e, CURLOPT_POSTFIELDS, post.body.data());
        curl_easy_setopt(e, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(post.body.size()));
        curl_easy_setopt(e, CURLOPT_HTTPHEADER, headers.get());
        curl_easy_setopt(e, CURLOPT_CONNECTTIMEOUT_MS,
                         static_cast<long>(post.connectTimeout.count()));
        curl_easy_setopt(e, CURLOPT_TIMEOUT_MS, static_cast<long>(post.totalTimeout.count()));
        curl_easy_setopt(e, CURLOPT_NOSIGNAL, 1L);  // time-outs must not use signals in threads
        curl_easy_setopt(e, CURLOPT_SSL_VERIFYPEER, post.verifyPeer ? 1L : 0L);
        curl_easy_setopt(e, CURLOPT_SSL_VERIFYHOST, post.verifyPeer ? 2L : 0L);
#if LIBCURL_VERSION_NUM >= 0x075700
        // An aborted transfer must not wait for a name lookup that hangs: the resolver's
        // thread is libcurl's, and is left to end by itself.
        curl_easy_setopt(e, CURLOPT_QUICK_EXIT, 1L);
#endif
        curl_easy_setopt(e, CURLOPT_WRITEFUNCTION, OnBody);
        curl_easy_setopt(e, CURLOPT_WRITEDATA, &outcome.body);
        curl_easy_setopt(e, CURLOPT_HEADERFUNCTION, OnHeader);
        curl_easy_setopt(e, CURLOPT_HEADERDATA, &outcome);
        curl_easy_setopt(e, CURLOPT_ERRORBUFFER, errorText);

        curl_multi_add_handle(multi_, e);
        const CURLcode result = Run();
        curl_multi_remove_handle(multi_, e);

        if (aborted_) {
            outcome.error = "aborted";
        } else if (result != CURLE_OK) {
            outcome.error = errorText[0] != '\0' ? errorText : curl_easy_strerror(result);
        } else {
            curl_easy_getinfo(e, CURLINFO_RESPONSE_CODE, &outcome.status);
            outcome.answered = outcome.status > 0;
            if (!outcome.answered) {
                outcome.error = "no HTTP status in the answer";
            } else if (outcome.reason.empty()) {
                outcome.reason = StandardReason(outcome.status);
            }
        }
        if (!outcome.answered) {
            outcome.body.clear();
            outcome.reason.clear();
            outcome.headers.clear();
        }
        return outcome;
    }

    void Abort() override {
        aborted_ = true;
        if (multi_ != nullptr) {
            curl_multi_wakeup(multi_);
        }
    }

  private:
    // libcurl adds "Content-Type: application/x-www-form-urlencoded" to a POST that names
    // none, and "Expect: 100-continue" (a round trip more) to a larger one: the empty lines
    // take both off.
    static curl_slist* Headers(const std::vector<std::string>& lines) {
        curl_slist* list = nullptr;
        bool contentType = false;
        for (const auto& line : lines) {
            list = curl_slist_append(list, line.c_str());
            contentType = contentType || IsContentTypeLine(line);
        }
        if (!contentType) {
            list = curl_slist_append(list, "Content-Type:");
        }
        return curl_slist_append(list, "Expect:");
    }

    // Drives the one transfer until it ends or is aborted.
    CURLcode Run() {
        for (;;) {
            if (aborted_) {
                return CURLE_ABORTED_BY_CALLBACK;
            }
            int running = 0;
            if (curl_multi_perform(multi_, &running) != CURLM_OK) {
                return CURLE_FAILED_INIT;
            }
            int left = 0;
            while (CURLMsg* message = curl_multi_info_read(multi_, &left)) {
                if (message->msg == CURLMSG_DONE) {
                    return message->data.result;
                }
            }
            // Returns early for network activity, curl's own timers and Abort.
            if (curl_multi_poll(multi_, nullptr, 0, 1000, nullptr) != CURLM_OK) {
                return CURLE_FAILED_INIT;
            }
        }
    }

    CURLM* multi_;
    std::atomic<bool> aborted_{false};
};

}  // namespace

std::unique_ptr<Transfer> NewTransfer() {
    InitCurlOnce();
    return std::make_unique<CurlTransfer>();
}

}  // namespace http
