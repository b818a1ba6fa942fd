// API::Requests through the real host, over HTTP on loopback to the local webhook receiver.

#include <gtest/gtest.h>

#include <strings.h>
#include <algorithm>
#include <regex>

#include "Completions.h"
#include "GameThread.h"
#include "Receiver.h"
#include "TestHost.h"

namespace {

using http_testing::Completions;
using http_testing::HostSettings;
using http_testing::Post;
using http_testing::TestHost;
using webhook::Answer;

constexpr auto kWait = std::chrono::seconds(30);
const std::string kPath = "/api/webhooks/1/secret-token";

std::unique_ptr<webhook::Receiver> StartReceiver(Answer answer = Answer::Discord) {
    webhook::ReceiverOptions options;
    options.behaviour.answer = answer;
    options.behaviour.retryAfterSeconds = 2.5;
    auto receiver = std::make_unique<webhook::Receiver>(options);
    receiver->Start();
    return receiver;
}

// The host's lines about requests: none for an answer, whatever its status, as in the
// framework; one for a connection that failed.
std::vector<std::string> RequestLines(const TestHost& host) {
    std::vector<std::string> lines;
    for (const auto& line : host.Lines()) {
        if (line.find("HTTP request") != std::string::npos ||
            line.find("Requests: ") != std::string::npos) {
            lines.push_back(line);
        }
    }
    return lines;
}

TEST(RequestServiceTest, TwoHundredsCompleteOnceWithBodyAndHeadersOnTheGameThread) {
    struct Case {
        const char* what;
        std::string query;
        std::string body;
        std::unordered_map<std::string, std::string> headers;
    };
    // The framework hands over the body of a 200 only; for any other status "STATUS REASON".
    // Header names come as sent.
    const Case cases[] = {
        {"204 No Content", "", "204 No Content", {{"Content-Length", "0"}}},
        {"200 with the created message",
         "?wait=true",
         R"({"channel_id":"1","content":"hello","embeds":[],"id":"1","type":0,"webhook_id":"1"})",
         {{"Content-Type", "application/json"}, {"Content-Length", "83"}}},
    };
    auto receiver = StartReceiver();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TestHost host;
        Completions done;
        ASSERT_TRUE(Post(receiver->BaseUrl() + kPath + c.query, done));
        ASSERT_TRUE(done.WaitFor(1, kWait));
        const auto gameThread = host.Game().Id();
        host.Stop();  // no thread is left that could call it again
        const auto calls = done.Calls();
        ASSERT_EQ(calls.size(), 1u);
        EXPECT_TRUE(calls[0].success);
        EXPECT_EQ(calls[0].body, c.body);
        for (const auto& [name, value] : c.headers) {
            ASSERT_TRUE(calls[0].headers.contains(name)) << name;
            EXPECT_EQ(calls[0].headers.at(name), value) << name;
        }
        EXPECT_EQ(calls[0].thread, gameThread);
        EXPECT_TRUE(RequestLines(host).empty());
    }
}

TEST(RequestServiceTest, OtherStatusesCompleteWithFalseAndTheStatusAlone) {
    struct Case {
        Answer answer;
        std::string body;  // posted
        int status;
        std::string result;
        std::pair<std::string, std::string> header;
    };
    const std::string tooLong = R"({"content":")" + std::string(2001, 'x') + R"("})";
    const Case cases[] = {
        {Answer::BadRequest,
         R"({"content":"hello"})",
         400,
         "400 Bad Request",
         {"Content-Type", "application/json"}},
        {Answer::UnknownWebhook,
         R"({"content":"hello"})",
         404,
         "404 Not Found",
         {"Content-Type", "application/json"}},
        {Answer::RateLimited,
         R"({"content":"hello"})",
         429,
         "429 Too Many Requests",
         {"Retry-After", "3"}},
        {Answer::ServerError,
         R"({"content":"hello"})",
         500,
         "500 Internal Server Error",
         {"Content-Type", "application/json"}},
        {Answer::Discord, tooLong, 400, "400 Bad Request", {"Content-Type", "application/json"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.status);
        auto receiver = StartReceiver(c.answer);
        TestHost host;
        Completions done;
        ASSERT_TRUE(Post(receiver->BaseUrl() + kPath, done, c.body));
        ASSERT_TRUE(done.WaitFor(1, kWait));
        host.Stop();
        const auto calls = done.Calls();
        ASSERT_EQ(calls.size(), 1u);
        EXPECT_FALSE(calls[0].success);
        EXPECT_EQ(calls[0].body, c.result);
        ASSERT_TRUE(calls[0].headers.contains(c.header.first));
        EXPECT_EQ(calls[0].headers.at(c.header.first), c.header.second);
        ASSERT_EQ(receiver->Records().size(), 1u);
        EXPECT_EQ(receiver->Records()[0].status, c.status);
        EXPECT_TRUE(RequestLines(host).empty());
    }
}

TEST(RequestServiceTest, TransportFailuresCompleteEmptyAndAreTheFrameworksLine) {
    struct Case {
        const char* what;
        HostSettings settings;
        Answer answer;
        bool stopReceiverFirst;
        std::string reason;  // regular expression
    };
    HostSettings shortTotal;
    shortTotal.totalTimeout = std::chrono::seconds(1);
    const Case cases[] = {
        {"a stall past the total time-out", shortTotal, Answer::Stall, false,
         R"(Operation timed out after \d+ milliseconds with 0 bytes received)"},
        {"a refused connection",
         {},
         Answer::Discord,
         true,
         R"(Failed to connect to 127\.0\.0\.1 port \d+ after \d+ ms: .*)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        auto receiver = StartReceiver(c.answer);
        if (c.stopReceiverFirst) {
            receiver->Stop();  // nothing listens on its port any more
        }
        TestHost host(c.settings);
        Completions done;
        ASSERT_TRUE(Post(receiver->BaseUrl() + kPath, done));
        ASSERT_TRUE(done.WaitFor(1, kWait));
        host.Stop();
        const auto calls = done.Calls();
        ASSERT_EQ(calls.size(), 1u);
        EXPECT_FALSE(calls[0].success);
        EXPECT_EQ(calls[0].body, "");
        EXPECT_TRUE(calls[0].headers.empty());
        const std::string prefix = "[AsaApi][error] HTTP request to '127.0.0.1' failed: ";
        const auto lines = RequestLines(host);
        ASSERT_EQ(lines.size(), 1u);
        ASSERT_TRUE(lines[0].starts_with(prefix)) << lines[0];
        EXPECT_TRUE(std::regex_match(lines[0].substr(prefix.size()), std::regex(c.reason)))
            << lines[0];
    }
}

// The value of the one header `name` (any letter case) that arrived, or "(n headers)".
std::string HeaderValue(const webhook::Record& record, const std::string& name) {
    std::vector<std::string> values;
    for (const auto& [header, value] : record.headers) {
        if (strcasecmp(header.c_str(), name.c_str()) == 0) {
            values.push_back(value);
        }
    }
    return values.size() == 1 ? values[0] : "(" + std::to_string(values.size()) + " headers)";
}

TEST(RequestServiceTest, BodyContentTypeAndHeaderLinesArriveAsGiven) {
    struct Case {
        const char* what;
        std::string body;
        std::string contentType;
        std::vector<std::string> lines;
        std::vector<std::string> arrivedContentTypes;
        std::vector<std::pair<std::string, std::string>> arrivedHeaders;
    };
    const Case cases[] = {
        {"the plugin's call: the type twice, once as a line",
         R"({"content":"hello"})",
         "application/json",
         {"Content-Type: application/json"},
         {"application/json"},
         {}},
        {"the argument wins over a line in other letters",
         R"({"content":"hello"})",
         "application/json",
         {"content-type: text/plain", "X-Trace: a  b", "X-Empty-Looking: -"},
         {"application/json"},
         {{"X-Trace", "a  b"}, {"X-Empty-Looking", "-"}}},
        {"a line alone names the type",
         "{}",
         "",
         {"CONTENT-TYPE: application/json; charset=utf-8", "User-Agent: QuorvaneTest/1"},
         {"application/json; charset=utf-8"},
         {{"User-Agent", "QuorvaneTest/1"}}},
        {"no type at all", "plain words", "", {}, {}, {}},
        {"bytes that are not text",
         std::string("a\0b\xff\r\n", 6),
         "application/octet-stream",
         {},
         {"application/octet-stream"},
         {}},
        {"a large body",
         std::string(300000, 'q'),
         "text/plain",
         {},
         {"text/plain"},
         {{"Expect", "(0 headers)"}}},
    };
    auto receiver = StartReceiver();
    TestHost host;
    Completions done;
    std::size_t sent = 0;
    for (const auto& c : cases) {
        ASSERT_TRUE(Post(receiver->BaseUrl() + kPath, done, c.body, c.contentType, c.lines))
            << c.what;
        ASSERT_TRUE(done.WaitFor(++sent, kWait)) << c.what;
        ASSERT_EQ(receiver->Records().size(), sent) << c.what;
        const auto record = receiver->Records().back();
        SCOPED_TRACE(c.what);
        EXPECT_EQ(record.method, "POST");
        EXPECT_EQ(record.target, kPath);
        EXPECT_EQ(record.body, c.body);
        EXPECT_EQ(record.contentTypes, c.arrivedContentTypes);
        for (const auto& [name, value] : c.arrivedHeaders) {
            EXPECT_EQ(HeaderValue(record, name), value) << name;
        }
    }
}

TEST(RequestServiceTest, ReturnsAtOnceWhileTheReceiverHoldsTheRequest) {
    auto receiver = StartReceiver(Answer::Stall);
    TestHost host;  // a total time-out far beyond this test's steps
    Completions done;
    ASSERT_TRUE(Post(receiver->BaseUrl() + kPath, done));
    // The receiver holds it until it stops, so nothing can have answered yet.
    ASSERT_TRUE(receiver->WaitForArrivals(1, kWait));
    EXPECT_TRUE(done.Calls().empty());
    receiver->Stop();  // answers the held request with 503
    ASSERT_TRUE(done.WaitFor(1, kWait));
    EXPECT_FALSE(done.Calls()[0].success);
    EXPECT_EQ(done.Calls()[0].thread, host.Game().Id());
}

TEST(RequestServiceTest, RefusedRequestsReturnFalseAndNeverComplete) {
    struct Case {
        std::string url;
        std::string contentType;
        std::vector<std::string> lines;
        std::string logged;
    };
    const Case cases[] = {
        {"", "application/json", {}, "[AsaApi][error] Requests: not sent to : empty URL"},
        {"ftp://127.0.0.1/x",
         "application/json",
         {},
         "[AsaApi][error] Requests: not sent to ftp://127.0.0.1/***: not an http:// or https:// "
         "URL"},
        {"https://",
         "application/json",
         {},
         "[AsaApi][error] Requests: not sent to https://: not an http:// or https:// URL"},
        {"http://127.0.0.1:9/api/webhooks/1/t",
         "application/json\r\nX-Injected: 1",
         {},
         "[AsaApi][error] Requests: not sent to http://127.0.0.1:9/api/webhooks/1/***: line "
         "break in the content type"},
        {"http://127.0.0.1:9/api/webhooks/1/t",
         "application/json",
         {"X-A: 1\nX-Injected: 1"},
         "[AsaApi][error] Requests: not sent to http://127.0.0.1:9/api/webhooks/1/***: line "
         "break in a header line"},
        {"http://127.0.0.1:9/api/webhooks/1/t/slack",
         "application/json",
         {"X-A: 1\nX-Injected: 1"},
         "[AsaApi][error] Requests: not sent to http://127.0.0.1:9/api/webhooks/1/***: line "
         "break in a header line"},
        {"http://127.0.0.1:9/hooks/t/",
         "application/json",
         {"X-A: 1\nX-Injected: 1"},
         "[AsaApi][error] Requests: not sent to http://127.0.0.1:9/hooks/***: line break in a "
         "header line"},
    };
    TestHost host;
    Completions done;
    for (const auto& c : cases) {
        EXPECT_FALSE(Post(c.url, done, "{}", c.contentType, c.lines)) << c.url;
        EXPECT_EQ(host.Lines().back(), c.logged);
    }
    host.Stop();
    EXPECT_FALSE(Post("http://127.0.0.1:9/api/webhooks/1/t", done));
    EXPECT_TRUE(done.Calls().empty());
}

TEST(RequestServiceTest, StopDropsQueuedAndInFlightRequestsWithoutCompleting) {
    auto receiver = StartReceiver(Answer::Stall);
    HostSettings oneThread;
    oneThread.threads = 1;
    TestHost host(oneThread);
    Completions done;
    ASSERT_TRUE(Post(receiver->BaseUrl() + kPath, done));  // in flight, held
    ASSERT_TRUE(Post(receiver->BaseUrl() + kPath, done));  // queued behind it
    ASSERT_TRUE(receiver->WaitForArrivals(1, kWait));
    host.Stop();
    EXPECT_TRUE(done.Calls().empty());
    EXPECT_EQ(host.Lines().back(),
              "[AsaApi][info] Requests: 2 unfinished request(s) dropped at shutdown");
}

}  // namespace
