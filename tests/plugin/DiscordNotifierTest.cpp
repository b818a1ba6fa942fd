// Discord announcements through the host's real request service to the local receiver.

#include <gtest/gtest.h>

#include <thread>

#include "PluginHost.h"
#include "Receiver.h"
#include "config/Settings.h"
#include "notify/DiscordNotifier.h"

namespace {

class DiscordNotifierTest : public ::testing::Test {
  protected:
    DiscordNotifierTest() : host_({1.0, std::chrono::milliseconds(700), 1}) {
        receiver_.Start();
        settings_.DiscordWebhook = receiver_.BaseUrl() + "/api/webhooks/1234/token";
        settings_.DiscordWebhookColor = "255";
        settings_.Debug = true;
    }
    ~DiscordNotifierTest() override { receiver_.Stop(); }

    quorvane::Settings& EventSettings() { return settings_; }
    void SetDebug(bool on) { settings_.Debug = on; }
    void PostAnnouncement(const std::string& message, const std::string& header) {
        quorvane::DiscordNotifier::PostAnnouncement(settings_, message, header);
    }

    // The plugin's lines once `count` of them are there (or the time is up).
    std::vector<std::string> LinesAfter(std::size_t count) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (host_.PluginLines().size() < count && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return host_.PluginLines();
    }

    testing_support::PluginHost host_;
    webhook::Receiver receiver_;
    quorvane::Settings settings_;
};

TEST_F(DiscordNotifierTest, PostsTheHeaderAsContentAndTheMessageAsAnEmbed) {
    EventSettings().DiscordWebhookColor = "16711680";
    PostAnnouncement("Meteor at 75.000000\nsay \"go\"", "");
    ASSERT_TRUE(receiver_.WaitForRecords(1, std::chrono::seconds(10)));
    const auto record = receiver_.Records().at(0);
    EXPECT_EQ(record.method, "POST");
    EXPECT_EQ(record.target, "/api/webhooks/1234/token");
    EXPECT_EQ(record.contentTypes, std::vector<std::string>{"application/json"});
    // Keys in byte order, no blanks, the colour a string even when all digits, and the
    // line feed and quotation mark escaped by JSON alone.
    EXPECT_EQ(
        record.body,
        R"({"content":"","embeds":[{"color":"16711680","description":"Meteor at 75.000000\nsay \"go\""}]})");
    EXPECT_EQ(record.status, 204);
    EXPECT_EQ(LinesAfter(1), std::vector<std::string>{"[Quorvane][info] Message sent to discord"});
}

TEST_F(DiscordNotifierTest, NothingIsSentWithoutWebhookColourOrMessage) {
    const std::string webhook = EventSettings().DiscordWebhook;
    EventSettings().DiscordWebhook = "";
    PostAnnouncement("message", "header");
    EventSettings().DiscordWebhook = webhook;
    EventSettings().DiscordWebhookColor = "";
    PostAnnouncement("message", "header");
    EventSettings().DiscordWebhookColor = "255";
    PostAnnouncement("", "header");
    // One request at a time, in order: once this one is done, any earlier one would be too.
    PostAnnouncement("last", "header");
    ASSERT_TRUE(receiver_.WaitForRecords(1, std::chrono::seconds(10)));
    EXPECT_EQ(LinesAfter(1), std::vector<std::string>{"[Quorvane][info] Message sent to discord"});
    ASSERT_EQ(receiver_.Records().size(), 1u);
    EXPECT_EQ(receiver_.Records()[0].body,
              R"({"content":"header","embeds":[{"color":"255","description":"last"}]})");
}

TEST_F(DiscordNotifierTest, EveryFailureIsOneErrorLineWithDebugOn) {
    struct Case {
        const char* what;
        webhook::Answer answer;
    };
    const Case cases[] = {
        {"400", webhook::Answer::BadRequest},
        {"429", webhook::Answer::RateLimited},
        {"500", webhook::Answer::ServerError},
        {"stall past the time-out", webhook::Answer::Stall},
    };
    std::size_t expected = 0;
    for (const auto& c : cases) {
        receiver_.SetBehaviour({c.answer, 1.0});
        PostAnnouncement("message", "header");
        const auto lines = LinesAfter(++expected);
        ASSERT_EQ(lines.size(), expected) << c.what;
        EXPECT_EQ(lines.back(), "[Quorvane][error] Failed to send message to discord") << c.what;
    }
    receiver_.SetBehaviour({});
    receiver_.Stop();  // nothing listens on the port any more: the connection is refused
    PostAnnouncement("message", "header");
    const auto lines = LinesAfter(++expected);
    ASSERT_EQ(lines.size(), expected);
    EXPECT_EQ(lines.back(), "[Quorvane][error] Failed to send message to discord");
}

TEST_F(DiscordNotifierTest, WithDebugOffNothingIsLoggedWhateverHappens) {
    SetDebug(false);
    receiver_.SetBehaviour({webhook::Answer::ServerError, 1.0});
    PostAnnouncement("fails", "header");
    receiver_.SetBehaviour({});
    PostAnnouncement("succeeds", "header");
    PostAnnouncement("\xFF not UTF-8", "header");  // the body cannot be serialised
    ASSERT_TRUE(receiver_.WaitForRecords(2, std::chrono::seconds(10)));
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_TRUE(host_.PluginLines().empty());
}

TEST_F(DiscordNotifierTest, AnExceptionIsCaughtAndLoggedWithDebugOn) {
    PostAnnouncement("\xFF not UTF-8", "header");
    EXPECT_EQ(host_.PluginLines(),
              std::vector<std::string>{"[Quorvane][info] [json.exception.type_error.316] invalid "
                                       "UTF-8 byte at index 0: 0xFF"});
    EXPECT_TRUE(receiver_.Records().empty());
}

}  // namespace
