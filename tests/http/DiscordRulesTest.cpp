// The receiver's checks of a webhook post, with the exact answer each gets.

#include <gtest/gtest.h>

#include "DiscordRules.h"

namespace {

using webhook::CheckPost;

TEST(DiscordRulesTest, BodiesAndTheirAnswers) {
    struct Case {
        std::string body;
        int status;
        std::string error;
    };
    const std::string x2000(2000, 'x');
    const std::string e4096(4096, 'e');
    // 1999 three-byte characters and one more: the limit counts characters, not bytes.
    std::string euros;
    for (int i = 0; i < 2000; ++i) {
        euros += "\xE2\x82\xAC";
    }
    std::string elevenEmbeds = R"({"embeds":[)";
    for (int i = 0; i < 11; ++i) {
        elevenEmbeds += std::string(i ? "," : "") + R"({"description":"d"})";
    }
    elevenEmbeds += "]}";
    const Case cases[] = {
        // What the plugin sends.
        {R"({"content":"**Meteor** on Island","embeds":[{"description":"Go","color":"15105570"}]})",
         204, ""},
        {R"({"content":")" + x2000 + R"("})", 204, ""},
        {R"({"content":")" + euros + R"("})", 204, ""},
        {R"({"embeds":[{"description":")" + e4096 + R"(","color":16777215}]})", 204, ""},
        {R"({"embeds":[{"title":"t","color":0}]})", 204, ""},
        {R"({"content":"x","embeds":null,"username":"Events"})", 204, ""},
        // Refused.
        {R"({"content":")" + x2000 + R"(x"})", 400,
         R"({"code":50035,"errors":{"content":{"_errors":[{"code":"BASE_TYPE_MAX_LENGTH","message":"Must be 2000 or fewer in length."}]}},"message":"Invalid Form Body"})"},
        {R"({"content":")" + euros + "\xE2\x82\xAC" + R"("})", 400,
         R"({"code":50035,"errors":{"content":{"_errors":[{"code":"BASE_TYPE_MAX_LENGTH","message":"Must be 2000 or fewer in length."}]}},"message":"Invalid Form Body"})"},
        {R"({"content":5})", 400,
         R"({"code":50035,"errors":{"content":{"_errors":[{"code":"BASE_TYPE_STRING","message":"Could not interpret \"5\" as string."}]}},"message":"Invalid Form Body"})"},
        {elevenEmbeds, 400,
         R"({"code":50035,"errors":{"embeds":{"_errors":[{"code":"BASE_TYPE_MAX_LENGTH","message":"Must be 10 or fewer in length."}]}},"message":"Invalid Form Body"})"},
        {R"({"embeds":[{"description":")" + e4096 + R"(e"}]})", 400,
         R"({"code":50035,"errors":{"embeds":{"0":{"description":{"_errors":[{"code":"BASE_TYPE_MAX_LENGTH","message":"Must be 4096 or fewer in length."}]}}}},"message":"Invalid Form Body"})"},
        {R"({"embeds":[{"title":"t","color":"0x12"}]})", 400,
         R"({"code":50035,"errors":{"embeds":{"0":{"color":{"_errors":[{"code":"NUMBER_TYPE_COERCE","message":"Value \"0x12\" is not int."}]}}}},"message":"Invalid Form Body"})"},
        {R"({"embeds":[{"title":"t","color":"15105570 "}]})", 400,
         R"({"code":50035,"errors":{"embeds":{"0":{"color":{"_errors":[{"code":"NUMBER_TYPE_COERCE","message":"Value \"15105570 \" is not int."}]}}}},"message":"Invalid Form Body"})"},
        {R"({"embeds":[{"title":"t","color":1.5}]})", 400,
         R"({"code":50035,"errors":{"embeds":{"0":{"color":{"_errors":[{"code":"NUMBER_TYPE_COERCE","message":"Value \"1.5\" is not int."}]}}}},"message":"Invalid Form Body"})"},
        {R"({"embeds":[{"title":"t","color":"16777216"}]})", 400,
         R"({"code":50035,"errors":{"embeds":{"0":{"color":{"_errors":[{"code":"NUMBER_TYPE_MAX","message":"int value should be less than or equal to 16777215."}]}}}},"message":"Invalid Form Body"})"},
        {R"({"embeds":[{"title":"t","color":"99999999999999999999999"}]})", 400,
         R"({"code":50035,"errors":{"embeds":{"0":{"color":{"_errors":[{"code":"NUMBER_TYPE_MAX","message":"int value should be less than or equal to 16777215."}]}}}},"message":"Invalid Form Body"})"},
        {R"({"embeds":[{"title":"t","color":-1}]})", 400,
         R"({"code":50035,"errors":{"embeds":{"0":{"color":{"_errors":[{"code":"NUMBER_TYPE_MIN","message":"int value should be greater than or equal to 0."}]}}}},"message":"Invalid Form Body"})"},
        {R"({"embeds":[{"title":"t","fields":[{"name":"n"}]}]})", 400,
         R"({"code":50035,"errors":{"embeds":{"0":{"fields":{"0":{"value":{"_errors":[{"code":"BASE_TYPE_REQUIRED","message":"This field is required"}]}}}}}},"message":"Invalid Form Body"})"},
        {R"({"embeds":[{"title":")" + std::string(256, 't') + R"(","description":")" + e4096 +
             R"(","footer":{"text":")" + std::string(1649, 'f') + R"("}}]})",
         400,
         R"({"code":50035,"errors":{"embeds":{"_errors":[{"code":"MAX_EMBED_SIZE_EXCEEDED","message":"Embed size exceeds maximum size of 6000"}]}},"message":"Invalid Form Body"})"},
        {R"({"embeds":"no"})", 400,
         R"({"code":50035,"errors":{"embeds":{"_errors":[{"code":"LIST_TYPE_CONVERT","message":"Only iterables may be used in a ListType"}]}},"message":"Invalid Form Body"})"},
        {R"({"content":"x","username":""})", 400,
         R"({"code":50035,"errors":{"username":{"_errors":[{"code":"BASE_TYPE_BAD_LENGTH","message":"Must be between 1 and 80 in length."}]}},"message":"Invalid Form Body"})"},
        {R"(["content"])", 400,
         R"({"code":50035,"errors":{"_errors":[{"code":"DICT_TYPE_CONVERT","message":"Only dictionaries may be used in a DictType"}]},"message":"Invalid Form Body"})"},
        {R"({"content":"x")", 400,
         R"({"code":50109,"message":"The request body contains invalid JSON."})"},
        {"", 400, R"({"code":50109,"message":"The request body contains invalid JSON."})"},
        // A number beyond double: the library refuses it with another kind of exception.
        {R"({"content":"x","embeds":[{"color":9e99999}]})", 400,
         R"({"code":50109,"message":"The request body contains invalid JSON."})"},
        {R"({"content":"","embeds":[]})", 400,
         R"({"code":50006,"message":"Cannot send an empty message"})"},
        {R"({"username":"Events"})", 400,
         R"({"code":50006,"message":"Cannot send an empty message"})"},
    };
    for (const auto& c : cases) {
        const auto verdict = CheckPost({"application/json"}, c.body);
        EXPECT_EQ(verdict.status, c.status) << c.body.substr(0, 120);
        EXPECT_EQ(verdict.error, c.error) << c.body.substr(0, 120);
    }
}

// The optional parts of a post: the plugin's post with all of them, and Discord's answer to
// each that it refuses.
TEST(DiscordRulesTest, OptionalPartsOfAPost) {
    const std::string invalid = R"({"code":50035,"errors":)";
    const std::pair<std::string, std::string> cases[] = {
        {R"({"allowed_mentions":{"parse":[],"roles":["111"]},"avatar_url":"https://e.org/a.png",)"
         R"("content":"<@&111> x","embeds":[{"color":"1","description":"d","image":{"url":)"
         R"("https://e.org/m.png"},"timestamp":"2026-12-08T23:51:53Z"}],"username":"Event Bot"})",
         ""},
        {R"({"content":"x","username":"Clyde Bot"})",
         invalid +
             R"({"username":{"_errors":[{"code":"USERNAME_INVALID_CONTAINS","message":"Username cannot contain \"clyde\""}]}},"message":"Invalid Form Body"})"},
        {R"({"content":"x","avatar_url":"ftp://e.org/a.png"})",
         invalid +
             R"({"avatar_url":{"_errors":[{"code":"URL_TYPE_INVALID_SCHEME","message":"Scheme \"ftp\" is not supported. Scheme must be one of ('http', 'https')."}]}},"message":"Invalid Form Body"})"},
        {R"({"embeds":[{"description":"d","image":{"url":"m.png"},"timestamp":"08.12.2026"}]})",
         invalid +
             R"({"embeds":{"0":{"image":{"url":{"_errors":[{"code":"URL_TYPE_INVALID_URL","message":"Not a well formed URL."}]}},"timestamp":{"_errors":[{"code":"DATE_TIME_TYPE_PARSE","message":"Could not parse 08.12.2026. Should be ISO8601."}]}}}},"message":"Invalid Form Body"})"},
        {R"({"content":"x","allowed_mentions":{"parse":["roles","all"],"roles":["1"]}})",
         invalid +
             R"({"allowed_mentions":{"_errors":[{"code":"MESSAGE_ALLOWED_MENTIONS_PARSE_EXCLUSIVE","message":"parse:[\"roles\"] and roles: [ids] are mutually exclusive."}],"parse":{"1":{"_errors":[{"code":"BASE_TYPE_CHOICES","message":"Value must be one of {'roles', 'users', 'everyone'}."}]}}}},"message":"Invalid Form Body"})"},
    };
    for (const auto& [body, error] : cases) {
        const auto verdict = CheckPost({"application/json"}, body);
        EXPECT_EQ(verdict.error, error) << body;
        EXPECT_EQ(verdict.status, error.empty() ? 204 : 400) << body;
    }
}

// Only the content notifies anyone, and with "allowed_mentions" only whom it allows.
TEST(DiscordRulesTest, WhomAPostPings) {
    const std::string content = R"("content":"@everyone <@&1> <@!2> <@&3> @here")";
    const std::pair<std::string, std::vector<std::string>> cases[] = {
        {"{" + content + "}", {"@everyone", "role 1", "user 2", "role 3", "@here"}},
        {"{" + content + R"(,"allowed_mentions":{"parse":[]}})", {}},
        {"{" + content + R"(,"allowed_mentions":{"parse":[],"roles":["3"]}})", {"role 3"}},
        {"{" + content + R"(,"allowed_mentions":{"parse":["everyone","users"]}})",
         {"@everyone", "user 2", "@here"}},
        {R"({"content":"","embeds":[{"description":"@everyone <@&1>"}]})", {}},
    };
    for (const auto& [body, pings] : cases) {
        EXPECT_EQ(webhook::Pings(body), pings) << body;
    }
}

TEST(DiscordRulesTest, ContentTypeHeaders) {
    const std::string refused =
        R"({"code":50035,"errors":{"_errors":[{"code":"CONTENT_TYPE_INVALID","message":"Expected one \"Content-Type\" header, application/json."}]},"message":"Invalid Form Body"})";
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{"application/json"}, ""},
        {{"Application/JSON; charset=utf-8"}, ""},
        {{}, refused},
        {{"text/plain"}, refused},
        {{"application/json", "application/json"}, refused},
        {{"application/jsonx"}, refused},
    };
    for (const auto& [types, error] : cases) {
        const auto verdict = CheckPost(types, R"({"content":"x"})");
        EXPECT_EQ(verdict.error, error) << testing::PrintToString(types);
        EXPECT_EQ(verdict.status, error.empty() ? 204 : 400) << testing::PrintToString(types);
    }
}

}  // namespace
