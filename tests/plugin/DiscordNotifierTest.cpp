// Discord announcements to the local receiver through either transport, the host's real
// request service and the plugin's own verified client (DiscordVerifiedTransport), each test
// run over both: the request, what each of Discord's answers makes of a post, the retries, and
// texts over Discord's limits. The host runs 100 game seconds a second, so a retry's wait is
// short.

#include <gtest/gtest.h>

#include <strings.h>

#include <regex>
#include <thread>

#include "DiscordRules.h"
#include "Host/Timers.h"
#include "PluginHost.h"
#include "Receiver.h"
#include "TlsFront.h"
#include "notify/DiscordNotifier.h"

namespace {

using quorvane::DiscordNotifier;
using Lines = std::vector<std::string>;
using webhook::Answer;

constexpr auto kWait = std::chrono::seconds(20);
const std::string kUserAgent = "Quorvane (https://example.org/quorvane, 1.0)";

// The parameter: whether DiscordVerifiedTransport is set.
std::string TransportName(const ::testing::TestParamInfo<bool>& transport) {
    return transport.param ? "Verified" : "Framework";
}

class DiscordNotifierTest : public ::testing::TestWithParam<bool> {
  protected:
    // A request times out only where a test means it to: sanitizer builds answer slowly.
    explicit DiscordNotifierTest(std::chrono::milliseconds timeout = std::chrono::seconds(15))
        : host_({100.0, timeout, 1}), timeout_(timeout) {
        receiver_.Start();
        settings_.DiscordWebhook = receiver_.BaseUrl() + "/api/webhooks/1234/token";
        settings_.DiscordWebhookColor = "255";
        settings_.DiscordVerifiedTransport = GetParam();
    }
    ~DiscordNotifierTest() override {
        // Completions and timers run on the game thread: after this, none reaches the notifier.
        host_.Game().Run([&] {
            alive_ = false;
            notifier_.DropTimers();
        });
        receiver_.Stop();
    }

    // On the game thread, where completions and timers run too.
    void Post(const std::string& message, const std::string& header = "header") {
        host_.Game().Run([&] { notifier_.Post("meteor", {message, header, "", ""}); });
    }
    std::string LastOutcome() {
        std::string outcome;
        host_.Game().Run(
            [&] { outcome = notifier_.Last() ? notifier_.Last()->Outcome : "(none)"; });
        return outcome;
    }
    // Until the last post's outcome is no longer on its way.
    std::string SettledOutcome() {
        const auto deadline = std::chrono::steady_clock::now() + kWait;
        std::string outcome = LastOutcome();
        while ((outcome == "sending" || outcome.starts_with("retrying")) &&
               std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            outcome = LastOutcome();
        }
        return outcome;
    }
    // Until `count` posts have their final outcome.
    bool WaitForFinished(std::size_t count) {
        const auto deadline = std::chrono::steady_clock::now() + kWait;
        std::size_t done = 0;
        while (done < count && std::chrono::steady_clock::now() < deadline) {
            host_.Game().Run([&] { done = finished_.size(); });
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return done >= count;
    }
    void Answering(webhook::Answer answer, int times = 0) {
        receiver_.SetBehaviour({answer, 1, times});
    }

    testing_support::PluginHost host_;
    std::chrono::milliseconds timeout_;
    webhook::Receiver receiver_;
    quorvane::Settings settings_;
    bool alive_ = true;
    // The final outcomes of posts, as the history is told them; on the game thread.
    Lines finished_;
    DiscordNotifier notifier_{settings_, kUserAgent,
                              [this](const auto& what) {
                                  if (alive_) {
                                      what(notifier_);
                                  }
                              },
                              timeout_};
};
INSTANTIATE_TEST_SUITE_P(Transports, DiscordNotifierTest, ::testing::Bool(), TransportName);

std::string Header(const webhook::Record& record, const char* name) {
    for (const auto& [header, value] : record.headers) {
        if (strcasecmp(header.c_str(), name) == 0) {
            return value;
        }
    }
    return "(none)";
}

// Each optional part of a post as the body carries it, each accepted by our receiver as by
// Discord, and whom the post then pings. Without any of them the body is what it always was,
// and "@everyone" in a text pings everyone; with any, only the listed roles are pinged.
TEST_P(DiscordNotifierTest, EachPartOfAPostItsBody) {
    const std::string webhook = settings_.DiscordWebhook;
    const std::string embed = R"("embeds":[{"color":"255","description":"Go"}])";
    const std::string nobody = R"("allowed_mentions":{"parse":[]},)";
    struct Case {
        const char* what;
        std::function<void(quorvane::Settings&)> set;
        std::string image;
        std::string target;  // after the webhook's path
        std::string body;
        Lines pings;
    };
    const Case cases[] = {
        {"none",
         [](auto&) {},
         "",
         "",
         R"({"content":"@everyone Meteor",)" + embed + "}",
         {"@everyone"}},
        {"role mentions",
         [](auto& s) {
             s.DiscordMentionRoleIds = {"111", "222"};
         },
         "",
         "",
         R"({"allowed_mentions":{"parse":[],"roles":["111","222"]},"content":"<@&111> <@&222> )"
         R"(@everyone Meteor",)" +
             embed + "}",
         {"role 111", "role 222"}},
        {"a name",
         [](auto& s) { s.DiscordUsername = "Event Bot"; },
         "",
         "",
         "{" + nobody + R"("content":"@everyone Meteor",)" + embed + R"(,"username":"Event Bot"})",
         {}},
        {"an avatar",
         [](auto& s) { s.DiscordAvatarUrl = "https://example.org/a.png"; },
         "",
         "",
         "{" + nobody +
             R"("avatar_url":"https://example.org/a.png","content":"@everyone Meteor",)" + embed +
             "}",
         {}},
        {"a thread",
         [](auto& s) { s.DiscordThreadId = "333"; },
         "",
         "?thread_id=333",
         "{" + nobody + R"("content":"@everyone Meteor",)" + embed + "}",
         {}},
        {"a thread after the webhook's own query",
         [&](auto& s) {
             s.DiscordWebhook = webhook + "?wait=true";
             s.DiscordThreadId = "333";
         },
         "",
         "?wait=true&thread_id=333",
         "{" + nobody + R"("content":"@everyone Meteor",)" + embed + "}",
         {}},
        {"a timestamp",
         [](auto& s) { s.DiscordTimestamp = true; },
         "",
         "",
         "{" + nobody +
             R"("content":"@everyone Meteor","embeds":[{"color":"255","description":"Go",)"
             R"("timestamp":"2026-12-08T23:51:53Z"}]})",
         {}},
        {"an image",
         [](auto&) {},
         "https://example.org/m.png",
         "",
         "{" + nobody +
             R"("content":"@everyone Meteor","embeds":[{"color":"255","description":"Go",)"
             R"("image":{"url":"https://example.org/m.png"}}]})",
         {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        settings_ = {};
        settings_.DiscordWebhook = webhook;
        settings_.DiscordWebhookColor = "255";
        settings_.DiscordVerifiedTransport = GetParam();
        c.set(settings_);
        const auto before = receiver_.Records().size();
        host_.Game().Run([&] {
            notifier_.Post("meteor", {"Go", "@everyone Meteor", c.image, "2026-12-08T23:51:53Z"});
        });
        EXPECT_EQ(SettledOutcome(), "posted");
        ASSERT_EQ(receiver_.Records().size(), before + 1);
        const auto record = receiver_.Records().back();
        EXPECT_EQ(record.target, "/api/webhooks/1234/token" + c.target);
        EXPECT_EQ(record.body, c.body);
        EXPECT_EQ(webhook::Pings(record.body), c.pings);
    }
}

TEST_P(DiscordNotifierTest, PostsTheHeaderAsContentAndTheMessageAsAnEmbed) {
    settings_.DiscordWebhookColor = "16711680";
    Post("Meteor at 75.000000\nsay \"go\"", "");
    EXPECT_EQ(SettledOutcome(), "posted");
    const auto record = receiver_.Records().at(0);
    EXPECT_EQ(record.method, "POST");
    EXPECT_EQ(record.target, "/api/webhooks/1234/token");
    EXPECT_EQ(record.contentTypes, std::vector<std::string>{"application/json"});
    EXPECT_EQ(Header(record, "User-Agent"), kUserAgent);
    // Keys in byte order, no blanks, the colour a string even when all digits, and the
    // line feed and quotation mark escaped by JSON alone.
    EXPECT_EQ(
        record.body,
        R"({"content":"","embeds":[{"color":"16711680","description":"Meteor at 75.000000\nsay \"go\""}]})");
    EXPECT_EQ(record.status, 204);
    // A success is quiet unless Debug is on.
    EXPECT_TRUE(host_.PluginLines().empty());
    settings_.Debug = true;
    Post("again");
    EXPECT_EQ(SettledOutcome(), "posted");
    EXPECT_EQ(host_.PluginLines(), Lines{"[Quorvane][info] Message sent to discord"});
}

TEST_P(DiscordNotifierTest, NothingIsSentWithoutWebhookColourOrMessage) {
    const std::string webhook = settings_.DiscordWebhook;
    settings_.DiscordWebhook = "";
    Post("message");
    settings_.DiscordWebhook = webhook;
    settings_.DiscordWebhookColor = "";
    Post("message");
    settings_.DiscordWebhookColor = "255";
    Post("");
    EXPECT_EQ(LastOutcome(), "(none)");
    // One request at a time, in order: once this one is done, any earlier one would be too.
    Post("last");
    EXPECT_EQ(SettledOutcome(), "posted");
    ASSERT_EQ(receiver_.Records().size(), 1u);
    EXPECT_EQ(receiver_.Records()[0].body,
              R"({"content":"header","embeds":[{"color":"255","description":"last"}]})");
}

// Each failed attempt is one warning whatever Debug says; a retry when Discord asks for one
// (429, after its Retry-After, twice at most) or fails for a moment (5xx, once); never for
// anything else.
TEST_P(DiscordNotifierTest, EachAnswerItsOwnFate) {
    const std::string failed = "[Quorvane][warning] Discord announcement of event meteor failed: ";
    struct Case {
        const char* what;
        webhook::Answer answer;
        int times;
        std::vector<int> statuses;
        std::string outcome;
        Lines lines;
    };
    const Case cases[] = {
        {"a 429, then a success",
         Answer::RateLimited,
         1,
         {429, 204},
         "posted after 1 retry",
         {failed + "429 Too Many Requests, retried after 1 s"}},
        {"429 three times",
         Answer::RateLimited,
         0,
         {429, 429, 429},
         "failed: 429 Too Many Requests",
         {failed + "429 Too Many Requests, retried after 1 s",
          failed + "429 Too Many Requests, retried after 1 s", failed + "429 Too Many Requests"}},
        {"a 500, then a success",
         Answer::ServerError,
         1,
         {500, 204},
         "posted after 1 retry",
         {failed + "500 Internal Server Error, retried after 5 s"}},
        {"500 twice",
         Answer::ServerError,
         0,
         {500, 500},
         "failed: 500 Internal Server Error",
         {failed + "500 Internal Server Error, retried after 5 s",
          failed + "500 Internal Server Error"}},
        {"a 400, never retried",
         Answer::BadRequest,
         0,
         {400},
         "failed: 400 Bad Request",
         {failed + "400 Bad Request"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        webhook::Receiver receiver;
        receiver.Start();
        settings_.DiscordWebhook = receiver.BaseUrl() + "/api/webhooks/1234/token";
        receiver.SetBehaviour({c.answer, 1, c.times});
        host_.ClearLines();
        Post("message");
        EXPECT_EQ(SettledOutcome(), c.outcome);
        std::vector<int> statuses;
        for (const auto& record : receiver.Records()) {
            statuses.push_back(record.status);
        }
        EXPECT_EQ(statuses, c.statuses);
        EXPECT_EQ(host_.PluginLines(), c.lines);
        receiver.Stop();
    }
}

// A deleted webhook or a wrong token: one warning, and no more posts until the settings are
// read again.
TEST_P(DiscordNotifierTest, AGoneWebhookStopsPostingUntilRestarted) {
    for (const auto& [answer, thread, what] :
         {std::tuple{Answer::UnknownWebhook, "", "404 Not Found (the webhook no longer exists)"},
          std::tuple{Answer::InvalidToken, "", "401 Unauthorized (the webhook's token is wrong)"},
          std::tuple{Answer::UnknownWebhook, "333",
                     "404 Not Found (the webhook, or thread 333, no longer exists)"}}) {
        SCOPED_TRACE(what);
        settings_.DiscordThreadId = thread;
        host_.ClearLines();
        const auto before = receiver_.Records().size();
        Answering(answer);
        Post("first");
        EXPECT_EQ(SettledOutcome(),
                  std::string("posting stopped: ") + what + "; quorvane.reload starts it again");
        Post("second");
        Post("third");
        EXPECT_EQ(receiver_.Records().size(), before + 1);
        EXPECT_EQ(host_.PluginLines(),
                  Lines{std::string("[Quorvane][warning] Discord announcement of event meteor "
                                    "failed: ") +
                        what + "; no more posts until quorvane.reload"});
        Answering(Answer::Discord);
        host_.Game().Run([&] { notifier_.Reloaded(); });
        Post("after the reload");
        EXPECT_EQ(SettledOutcome(), "posted");
        EXPECT_EQ(receiver_.Records().size(), before + 2);
    }
}

// Posts under way when the first 401 or 404 arrives: one warning however many they are, and
// each post's own outcome.
TEST_P(DiscordNotifierTest, PostsUnderWayWhenTheWebhookIsGoneAreOneWarning) {
    Answering(Answer::UnknownWebhook);
    host_.Game().Run([&] {
        notifier_.OnFinished(
            [&](std::uint64_t, const std::string& outcome) { finished_.push_back(outcome); });
        for (const char* message : {"one", "two", "three"}) {
            notifier_.Post("meteor", {message, "", "", ""});
        }
    });
    ASSERT_TRUE(WaitForFinished(3));
    const std::string gone = "404 Not Found (the webhook no longer exists)";
    EXPECT_EQ(finished_, Lines(3, "failed: " + gone));
    EXPECT_EQ(host_.PluginLines(),
              Lines{"[Quorvane][warning] Discord announcement of event meteor failed: " + gone +
                    "; no more posts until quorvane.reload"});
    EXPECT_EQ(LastOutcome(), "posting stopped: " + gone + "; quorvane.reload starts it again");
}

// A reload is a clean break. The old webhook answers 429, then 404: the retry it asked for is
// dropped at the reload, its 404 to a post still under way stops nothing, and the new webhook
// takes the next post. Emptying the webhook drops a waiting retry too.
TEST_P(DiscordNotifierTest, AReloadDropsTheOldWebhooksRetriesAndItsAnswersStopNothing) {
    webhook::Receiver old;
    old.Start();
    old.SetBehaviour({Answer::RateLimited, 60, 1});
    settings_.DiscordWebhook = old.BaseUrl() + "/api/webhooks/1/old";
    const std::string replaced = receiver_.BaseUrl() + "/api/webhooks/2/new";
    host_.Game().Run([&] {
        notifier_.OnFinished([&](std::uint64_t id, const std::string& outcome) {
            finished_.push_back(std::to_string(id) + " " + outcome);
        });
        notifier_.Post("meteor", {"first", "", "", ""}, 1);
    });
    // The retry's timer runs on the game thread too: the reload comes before it.
    const auto reloadWhileRetrying = [&](const std::string& webhook,
                                         const std::function<void()>& before) {
        const auto deadline = std::chrono::steady_clock::now() + kWait;
        bool reloaded = false;
        while (!reloaded && std::chrono::steady_clock::now() < deadline) {
            host_.Game().Run([&] {
                if (notifier_.Last() && notifier_.Last()->Outcome.starts_with("retrying")) {
                    before();
                    settings_.DiscordWebhook = webhook;
                    notifier_.Reloaded();
                    reloaded = true;
                }
            });
        }
        return reloaded;
    };
    ASSERT_TRUE(reloadWhileRetrying(replaced, [&] {
        old.SetBehaviour({Answer::UnknownWebhook, 1, 0});
        notifier_.Post("storm", {"second", "", "", ""}, 2);
    }));
    ASSERT_TRUE(WaitForFinished(2));
    host_.Game().Run([&] { notifier_.Post("supply", {"third", "", "", ""}, 3); });
    EXPECT_EQ(SettledOutcome(), "posted");

    receiver_.SetBehaviour({Answer::RateLimited, 60, 1});
    host_.Game().Run([&] { notifier_.Post("eclipse", {"fourth", "", "", ""}, 4); });
    ASSERT_TRUE(reloadWhileRetrying("", [] {}));
    // Until the dropped retries' timers have fired.
    const auto deadline = std::chrono::steady_clock::now() + kWait;
    while (!asahost::PendingTimers().empty() && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ASSERT_TRUE(WaitForFinished(4));

    const auto statuses = [](const webhook::Receiver& receiver) {
        std::vector<std::pair<std::string, int>> out;
        for (const auto& record : receiver.Records()) {
            out.emplace_back(record.target, record.status);
        }
        return out;
    };
    using Sent = std::vector<std::pair<std::string, int>>;
    EXPECT_EQ(statuses(old), (Sent{{"/api/webhooks/1/old", 429}, {"/api/webhooks/1/old", 404}}));
    EXPECT_EQ(statuses(receiver_),
              (Sent{{"/api/webhooks/2/new", 204}, {"/api/webhooks/2/new", 429}}));
    const std::string changed = "DiscordWebhook was changed by quorvane.reload";
    const std::string gone = "404 Not Found (the webhook no longer exists)";
    EXPECT_EQ(finished_, (Lines{"1 not retried: " + changed,
                                "2 failed: " + gone + "; posting goes on: " + changed, "3 posted",
                                "4 not retried: " + changed}));
    const std::string about = "[Quorvane][warning] Discord announcement of event ";
    EXPECT_EQ(host_.PluginLines(),
              (Lines{about + "meteor failed: 429 Too Many Requests, retried after 60 s",
                     about + "meteor not retried: " + changed,
                     about + "storm failed: " + gone + "; posting goes on: " + changed,
                     about + "eclipse failed: 429 Too Many Requests, retried after 60 s",
                     about + "eclipse not retried: " + changed}));
    old.Stop();
}

// A thread is part of where a post goes: a reload that moves the posts into another thread
// drops the retry waiting for the old one, and the old thread's 404 stops nothing.
TEST_P(DiscordNotifierTest, AReloadToAnotherThreadIsACleanBreakToo) {
    settings_.DiscordThreadId = "333";
    receiver_.SetBehaviour({Answer::RateLimited, 60, 1});
    host_.Game().Run([&] {
        notifier_.OnFinished(
            [&](std::uint64_t, const std::string& outcome) { finished_.push_back(outcome); });
        notifier_.Post("meteor", {"first", "", "", ""});
    });
    const auto deadline = std::chrono::steady_clock::now() + kWait;
    bool reloaded = false;
    while (!reloaded && std::chrono::steady_clock::now() < deadline) {
        host_.Game().Run([&] {
            if (notifier_.Last() && notifier_.Last()->Outcome.starts_with("retrying")) {
                settings_.DiscordThreadId = "444";
                notifier_.Reloaded();
                reloaded = true;
            }
        });
    }
    ASSERT_TRUE(reloaded);
    ASSERT_TRUE(WaitForFinished(1));
    Post("second");
    EXPECT_EQ(SettledOutcome(), "posted");
    EXPECT_EQ(finished_,
              (Lines{"not retried: DiscordThreadId was changed by quorvane.reload", "posted"}));
    const auto records = receiver_.Records();
    ASSERT_EQ(records.size(), 2u);
    EXPECT_TRUE(records[0].target.ends_with("?thread_id=333")) << records[0].target;
    EXPECT_TRUE(records[1].target.ends_with("?thread_id=444")) << records[1].target;
}

// A stalled request costs its whole timeout, so this one is short.
class DiscordNotifierStallTest : public DiscordNotifierTest {
  protected:
    DiscordNotifierStallTest() : DiscordNotifierTest(std::chrono::seconds(2)) {}
};
INSTANTIATE_TEST_SUITE_P(Transports, DiscordNotifierStallTest, ::testing::Bool(), TransportName);

// Why nothing answered, from the one warning line of a post that got no answer.
std::string NoAnswerReason(const Lines& lines, const std::string& after) {
    static const std::regex line(
        R"(\[Quorvane\]\[warning\] Discord announcement of event meteor failed: no answer: (.+))");
    std::smatch match;
    if (lines.size() != 1 || !std::regex_match(lines[0], match, line) ||
        !match[1].str().ends_with(after)) {
        ADD_FAILURE() << "not one warning of no answer ending in \"" << after
                      << "\": " << ::testing::PrintToString(lines);
        return {};
    }
    return match[1].str().substr(0, match[1].length() - after.size());
}

// Nothing answers in time: one warning and one retry. The framework logs why itself; the
// plugin's own client says why in the warning.
TEST_P(DiscordNotifierStallTest, NoAnswerIsOneWarningAndOneRetry) {
    Answering(Answer::Stall, 1);
    Post("message");
    EXPECT_EQ(SettledOutcome(), "posted after 1 retry");
    const auto reason = NoAnswerReason(host_.PluginLines(), ", retried after 5 s");
    if (GetParam()) {
        EXPECT_FALSE(reason.empty());
        EXPECT_NE(reason, "the connection failed or timed out");
    } else {
        EXPECT_EQ(reason, "the connection failed or timed out");
    }
}

// Over https with a certificate nobody vouches for: the framework's service posts anyway, its
// token readable by whoever answered; the plugin's own client sends nothing, neither at first
// nor at its retry.
TEST_P(DiscordNotifierTest, OnlyTheVerifiedClientRefusesAnUntrustedCertificate) {
    const testing_support::TlsFront front(host_.Dir().Path() / "tls", receiver_.Port());
    ASSERT_FALSE(front.BaseUrl().empty());
    settings_.DiscordWebhook = front.BaseUrl() + "/api/webhooks/1234/token";
    Post("message");
    const std::string outcome = SettledOutcome();
    if (!GetParam()) {
        EXPECT_EQ(outcome, "posted");
        ASSERT_EQ(receiver_.Records().size(), 1u);
        EXPECT_EQ(receiver_.Records()[0].target, "/api/webhooks/1234/token");
        return;
    }
    EXPECT_TRUE(outcome.starts_with("failed: no answer: ")) << outcome;
    EXPECT_TRUE(receiver_.Records().empty());
    const auto lines = host_.PluginLines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_FALSE(NoAnswerReason({lines[0]}, ", retried after 5 s").empty());
}

// Unloading ends the own client's post on the wire at once, however long its server would hold
// it, and nothing of it reaches the notifier afterwards.
class DiscordVerifiedStopTest : public DiscordNotifierTest {
  protected:
    DiscordVerifiedStopTest() : DiscordNotifierTest(std::chrono::minutes(5)) {}
};
INSTANTIATE_TEST_SUITE_P(Transports, DiscordVerifiedStopTest, ::testing::Values(true),
                         TransportName);

TEST_P(DiscordVerifiedStopTest, AnUnloadEndsAPostThatNeverGetsAnAnswer) {
    Answering(Answer::Stall);
    host_.Game().Run([&] {
        notifier_.OnFinished(
            [&](std::uint64_t, const std::string& outcome) { finished_.push_back(outcome); });
    });
    Post("message");
    ASSERT_TRUE(receiver_.WaitForArrivals(1, kWait));
    const auto start = std::chrono::steady_clock::now();
    host_.Game().Run([&] { notifier_.DropTimers(); });
    // Far below the post's own five minutes.
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30));
    EXPECT_TRUE(asahost::PendingTimers().empty());
    EXPECT_EQ(LastOutcome(), "sending");
    host_.Game().Run([&] { EXPECT_TRUE(finished_.empty()); });
}

// Discord refuses a whole post with a text over its limit: each is cut to the limit, ending in
// "...", with a warning, and the post goes out. Characters, not bytes, count.
TEST_P(DiscordNotifierTest, TextsOverDiscordsLimitsAreCutAndPosted) {
    const std::string header(2001, 'h');
    std::string message;
    for (int i = 0; i < 4100; ++i) {
        message += "\xC3\xA9";  // é: two bytes, one character
    }
    Post(message, header);
    EXPECT_EQ(SettledOutcome(), "posted");
    const auto body = nlohmann::json::parse(receiver_.Records().at(0).body);
    EXPECT_EQ(body["content"], std::string(1997, 'h') + "...");
    std::string cut;
    for (int i = 0; i < 4093; ++i) {
        cut += "\xC3\xA9";
    }
    EXPECT_EQ(body["embeds"][0]["description"], cut + "...");
    const std::string about = "[Quorvane][warning] Discord announcement of event meteor: the ";
    EXPECT_EQ(host_.PluginLines(),
              (Lines{about + "header has 2001 characters, more than Discord takes (2000): it is "
                             "cut to that, ending in \"...\"",
                     about + "message has 4100 characters, more than Discord takes (4096): it is "
                             "cut to that, ending in \"...\""}));
}

TEST_P(DiscordNotifierTest, APostThatCannotBeMadeIsAWarning) {
    Post("\xFF not UTF-8");  // the body cannot be serialised
    settings_.DiscordWebhook = "ftp://127.0.0.1/api/webhooks/1/x";
    Post("message");
    EXPECT_EQ(host_.PluginLines(),
              (Lines{"[Quorvane][warning] Discord announcement of event meteor failed: "
                     "[json.exception.type_error.316] invalid UTF-8 byte at index 0: 0xFF",
                     "[Quorvane][warning] Discord announcement of event meteor failed: the "
                     "request could not be made"}));
    EXPECT_TRUE(receiver_.Records().empty());
}

}  // namespace
