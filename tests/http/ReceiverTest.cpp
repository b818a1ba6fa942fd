// The webhook receiver over HTTP: its paths, its control endpoint, and the program itself.

#include <gtest/gtest.h>

#include <httplib.h>

#include <fstream>
#include <random>

#include "BackgroundProcess.h"
#include "Receiver.h"

namespace {

using webhook::Answer;
using webhook::Receiver;

const std::string kPost =
    R"({"content":"**Meteor** on Island","embeds":[{"description":"Head to Lat 1\nand hurry","color":"15105570"}]})";

struct Exchange {
    std::string method;
    std::string target;
    std::string body;
    int status;
    std::string answer;
};

httplib::Result Send(httplib::Client& client, const Exchange& e) {
    if (e.method == "GET") {
        return client.Get(e.target.c_str());
    }
    if (e.method == "DELETE") {
        return client.Delete(e.target.c_str());
    }
    return client.Post(e.target.c_str(), e.body, "application/json");
}

void Check(httplib::Client& client, const std::vector<Exchange>& exchanges) {
    for (const auto& e : exchanges) {
        const auto result = Send(client, e);
        ASSERT_TRUE(result) << e.method << " " << e.target;
        EXPECT_EQ(result->status, e.status) << e.method << " " << e.target;
        EXPECT_EQ(result->body, e.answer) << e.method << " " << e.target;
    }
}

webhook::ReceiverOptions ShownOn(std::ostream& console) {
    webhook::ReceiverOptions options;
    options.console = &console;
    return options;
}

TEST(ReceiverTest, AnswersWebhookPathsLikeDiscordAndRecordsEveryRequest) {
    std::ostringstream console;
    Receiver receiver(ShownOn(console));
    httplib::Client client("127.0.0.1", receiver.Start());
    Check(
        client,
        {
            {"POST", "/api/webhooks/123/tok", kPost, 204, ""},
            {"POST", "/api/v10/webhooks/123/tok", R"({"content":"versioned"})", 204, ""},
            {"POST", "/api/webhooks/123/tok?wait=true", R"({"content":"w"})", 200,
             R"({"channel_id":"1","content":"w","embeds":[],"id":"1","type":0,"webhook_id":"123"})"},
            {"POST", "/api/webhooks/abc/tok", kPost, 400,
             R"({"code":50035,"errors":{"webhook_id":{"_errors":[{"code":"NUMBER_TYPE_COERCE","message":"Value \"abc\" is not snowflake."}]}},"message":"Invalid Form Body"})"},
            {"POST", "/api/webhooks/123/tok", "{}", 400,
             R"({"code":50006,"message":"Cannot send an empty message"})"},
            {"GET", "/api/webhooks/123/tok", "", 405,
             R"({"code":0,"message":"405: Method Not Allowed"})"},
            {"DELETE", "/elsewhere", "", 404, R"({"code":0,"message":"404: Not Found"})"},
        });
    const auto records = receiver.Records();
    ASSERT_EQ(records.size(), 7u);
    EXPECT_EQ(records[0].method, "POST");
    EXPECT_EQ(records[0].target, "/api/webhooks/123/tok");
    EXPECT_EQ(records[0].contentTypes, std::vector<std::string>{"application/json"});
    EXPECT_EQ(records[0].body, kPost);
    EXPECT_EQ(records[0].status, 204);
    EXPECT_EQ(records[2].target, "/api/webhooks/123/tok?wait=true");
    EXPECT_EQ(records[6].method, "DELETE");
    EXPECT_EQ(records[6].status, 404);
    EXPECT_EQ(console.str(),
              "Discord | **Meteor** on Island\n"
              "Discord |   Head to Lat 1\n"
              "Discord |   and hurry\n"
              "Discord | versioned\n"
              "Discord | w\n"
              "Discord | (answered 400: {\"code\":50035,\"errors\":{\"webhook_id\":{\"_errors\":[{"
              "\"code\":\"NUMBER_TYPE_COERCE\",\"message\":\"Value \\\"abc\\\" is not "
              "snowflake.\"}]}},\"message\":\"Invalid Form Body\"})\n"
              "Discord | (answered 400: {\"code\":50006,\"message\":\"Cannot send an empty "
              "message\"})\n");
}

// What the cluster demonstration shows of a post into a thread with a role mention and an
// image; a thread id that is no snowflake is refused as Discord refuses it.
TEST(ReceiverTest, ShowsThePingsTheImageAndTheThread) {
    std::ostringstream console;
    Receiver receiver(ShownOn(console));
    httplib::Client client("127.0.0.1", receiver.Start());
    const std::string post =
        R"({"allowed_mentions":{"parse":[],"roles":["7"]},"content":"<@&7> @everyone Meteor",)"
        R"("embeds":[{"description":"Go","image":{"url":"https://e.org/m.png"}}]})";
    Check(
        client,
        {{"POST", "/api/webhooks/1/t?thread_id=9", post, 204, ""},
         {"POST", "/api/webhooks/1/t?thread_id=x", post, 400,
          R"({"code":50035,"errors":{"thread_id":{"_errors":[{"code":"NUMBER_TYPE_COERCE","message":"Value \"x\" is not snowflake."}]}},"message":"Invalid Form Body"})"}});
    // Under the receiver's lock, which its console writes are made under.
    ASSERT_TRUE(receiver.WaitForRecords(2, std::chrono::seconds(10)));
    EXPECT_EQ(console.str().substr(0, console.str().find("Discord | (answered 400")),
              "Discord | <@&7> @everyone Meteor\n"
              "Discord |   Go\n"
              "Discord |   image: https://e.org/m.png\n"
              "Discord | pings: role 7\n"
              "Discord | in thread 9\n");
}

TEST(ReceiverTest, ControlEndpointChangesTheAnswerBetweenRequests) {
    Receiver receiver;
    httplib::Client client("127.0.0.1", receiver.Start());
    const std::string kExpected =
        R"({"message":"expected {\"answer\": \"204|400|401|404|429|500|stall\", \"retry_after\": )"
        R"(seconds, \"times\": posts}"})";
    const std::string limited =
        R"({"global":false,"message":"You are being rate limited.","retry_after":0.25})";
    Check(
        client,
        {
            {"GET", "/control/answer", "", 200, R"({"answer":"204","retry_after":1.5,"times":0})"},
            {"POST", "/control/answer", R"({"answer":"429","retry_after":0.25})", 200,
             R"({"answer":"429","retry_after":0.25,"times":0})"},
            {"POST", "/api/webhooks/1/t", kPost, 429, limited},
            {"POST", "/control/answer", R"({"answer":"500"})", 200,
             R"({"answer":"500","retry_after":0.25,"times":0})"},
            {"POST", "/api/webhooks/1/t", kPost, 500,
             R"({"code":0,"message":"500: Internal Server Error"})"},
            {"POST", "/control/answer", R"({"answer":"400"})", 200,
             R"({"answer":"400","retry_after":0.25,"times":0})"},
            {"POST", "/api/webhooks/1/t", kPost, 400, R"({"code":0,"message":"400: Bad Request"})"},
            {"POST", "/control/answer", R"({"answer":"418"})", 400, kExpected},
            {"POST", "/control/answer", R"({"retry_after":-1})", 400, kExpected},
            {"POST", "/control/answer", R"({"times":-1})", 400, kExpected},
            // A deleted webhook and a wrong token, as Discord answers them.
            {"POST", "/control/answer", R"({"answer":"404","times":1})", 200,
             R"({"answer":"404","retry_after":0.25,"times":1})"},
            {"POST", "/api/webhooks/1/t", kPost, 404,
             R"({"code":10015,"message":"Unknown Webhook"})"},
            // ...for one post only: then Discord's own answers again.
            {"GET", "/control/answer", "", 200, R"({"answer":"204","retry_after":1.5,"times":0})"},
            {"POST", "/control/answer", R"({"answer":"401","times":2})", 200,
             R"({"answer":"401","retry_after":1.5,"times":2})"},
            {"POST", "/api/webhooks/1/t", kPost, 401,
             R"({"code":50027,"message":"Invalid Webhook Token"})"},
            {"POST", "/api/webhooks/1/t", kPost, 401,
             R"({"code":50027,"message":"Invalid Webhook Token"})"},
            {"POST", "/api/webhooks/1/t", kPost, 204, ""},
        });
    // Retry-After is whole seconds, rounded up.
    receiver.SetBehaviour({Answer::RateLimited, 0.25});
    const auto limitedAnswer = client.Post("/api/webhooks/1/t", kPost, "application/json");
    ASSERT_TRUE(limitedAnswer);
    EXPECT_EQ(limitedAnswer->get_header_value("Retry-After"), "1");
    // Control requests are not among the records.
    const auto records = client.Get("/control/requests");
    ASSERT_TRUE(records);
    std::vector<int> statuses;
    for (const auto& record : nlohmann::json::parse(records->body)) {
        statuses.push_back(record["status"]);
    }
    EXPECT_EQ(statuses, (std::vector<int>{429, 500, 400, 404, 401, 401, 204, 429}));
}

TEST(ReceiverTest, RetryAfterIsWholeSecondsRoundedUpUpToTwoToThe31) {
    Receiver receiver;
    httplib::Client client("127.0.0.1", receiver.Start());
    // Any number from 0 is a valid retry_after of the control endpoint.
    const std::pair<double, const char*> cases[] = {
        {0, "0"}, {0.25, "1"}, {2, "2"}, {2147483647.5, "2147483648"}, {1e300, "2147483648"},
    };
    for (const auto& [seconds, header] : cases) {
        receiver.SetBehaviour({Answer::RateLimited, seconds});
        const auto answer = client.Post("/api/webhooks/1/t", kPost, "application/json");
        ASSERT_TRUE(answer) << seconds;
        EXPECT_EQ(answer->status, 429) << seconds;
        EXPECT_EQ(answer->get_header_value("Retry-After"), header) << seconds;
    }
}

std::filesystem::path TempFile() {
    std::random_device random;
    return std::filesystem::temp_directory_path() /
           ("quorvane-webhook-" + std::to_string(random()) + ".jsonl");
}

TEST(ReceiverTest, ProgramPrintsPostsRecordsThemAndEndsCleanlyOnSigterm) {
    const auto recordFile = TempFile();
    testing_support::BackgroundProcess program(
        WEBHOOK_RECEIVER_FILE,
        {"--port=0", "--record=" + recordFile.string(), "--answer=429", "--retry-after=4"},
        std::filesystem::temp_directory_path());
    const auto listening = program.WaitForLine(
        std::regex(R"(Listening on http://127\.0\.0\.1:(\d+))"), std::chrono::seconds(10));
    ASSERT_TRUE(listening) << program.Output();
    const int port = std::stoi(listening->at(1));
    httplib::Client client("127.0.0.1", port);
    const auto first = client.Post("/api/webhooks/9/t", kPost, "application/json");
    ASSERT_TRUE(first);
    EXPECT_EQ(first->status, 429);
    EXPECT_EQ(first->get_header_value("Retry-After"), "4");
    ASSERT_TRUE(client.Post("/control/answer", R"({"answer":"204"})", "application/json"));
    const auto second = client.Post("/api/webhooks/9/t", kPost, "application/json");
    ASSERT_TRUE(second);
    EXPECT_EQ(second->status, 204);

    EXPECT_EQ(program.Stop(), 0);
    EXPECT_EQ(program.Output(),
              "Listening on http://127.0.0.1:" + std::to_string(port) +
                  " (answering 429)\n"
                  "Discord | (answered 429: "
                  R"({"global":false,"message":"You are being rate limited.","retry_after":4.0}))"
                  "\n"
                  "Discord | **Meteor** on Island\n"
                  "Discord |   Head to Lat 1\n"
                  "Discord |   and hurry\n"
                  "Stopped\n");
    std::ifstream file(recordFile);
    std::vector<nlohmann::json> lines;
    for (std::string line; std::getline(file, line);) {
        lines.push_back(nlohmann::json::parse(line));
    }
    std::filesystem::remove(recordFile);
    ASSERT_EQ(lines.size(), 2u);
    for (std::size_t i = 0; i < 2; ++i) {
        EXPECT_EQ(lines[i]["method"], "POST");
        EXPECT_EQ(lines[i]["path"], "/api/webhooks/9/t");
        EXPECT_EQ(lines[i]["content_type"], nlohmann::json::array({"application/json"}));
        EXPECT_EQ(lines[i]["body"], kPost);
    }
    EXPECT_EQ(lines[0]["status"], 429);
    EXPECT_EQ(lines[1]["status"], 204);
}

}  // namespace
