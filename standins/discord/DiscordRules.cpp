#include "DiscordRules.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <regex>

#include <nlohmann/json.hpp>

#include "Reply.h"

namespace webhook {
namespace {

using nlohmann::json;

constexpr std::size_t kContentMax = 2000;
constexpr std::size_t kEmbedsMax = 10;
constexpr std::size_t kEmbedTotalMax = 6000;
constexpr std::uint64_t kColorMax = 0xFFFFFF;

// Discord counts characters, not bytes: Unicode code points of the UTF-8 text.
std::size_t Characters(const std::string& text) {
    std::size_t count = 0;
    for (const unsigned char c : text) {
        count += (c & 0xC0) != 0x80 ? 1 : 0;
    }
    return count;
}

std::vector<std::string> Append(std::vector<std::string> path, std::string key) {
    path.push_back(std::move(key));
    return path;
}

// Field errors, nested like the body: {"embeds": {"0": {"color": {"_errors": [...]}}}}.
class FormErrors {
  public:
    void Add(const std::vector<std::string>& path, const std::string& code,
             const std::string& message) {
        json* node = &errors_;
        for (const auto& key : path) {
            node = &(*node)[key];
        }
        (*node)["_errors"].push_back({{"code", code}, {"message", message}});
    }
    bool Empty() const { return errors_.is_null(); }
    std::string Body() const {
        return JsonText({{"code", 50035}, {"errors", errors_}, {"message", "Invalid Form Body"}});
    }

  private:
    json errors_;
};

// A string no longer than `max` characters, when present; counts it into `total`.
void CheckText(const json& parent, const char* key, std::size_t max,
               const std::vector<std::string>& path, FormErrors& errors,
               std::size_t* total = nullptr) {
    if (!parent.contains(key) || parent[key].is_null()) {
        return;
    }
    const auto at = Append(path, key);
    const json& value = parent[key];
    if (!value.is_string()) {
        errors.Add(at, "BASE_TYPE_STRING",
                   "Could not interpret \"" + JsonText(value) + "\" as string.");
        return;
    }
    const std::size_t length = Characters(value.get<std::string>());
    if (length > max) {
        errors.Add(at, "BASE_TYPE_MAX_LENGTH",
                   "Must be " + std::to_string(max) + " or fewer in length.");
    }
    if (total != nullptr) {
        *total += length;
    }
}

// An integer from 0 to 0xFFFFFF, as a JSON integer or as a text of decimal digits.
void CheckColor(const json& embed, const std::vector<std::string>& path, FormErrors& errors) {
    if (!embed.contains("color") || embed["color"].is_null()) {
        return;
    }
    const json& color = embed["color"];
    const auto at = Append(path, "color");
    const std::string shown = color.is_string() ? color.get<std::string>() : JsonText(color);
    std::uint64_t value = 0;
    bool number = true;
    if (color.is_number_unsigned()) {
        value = color.get<std::uint64_t>();
    } else if (color.is_number_integer()) {  // the parser keeps only negative ones signed
        errors.Add(at, "NUMBER_TYPE_MIN", "int value should be greater than or equal to 0.");
        return;
    } else if (color.is_string() && !shown.empty() &&
               shown.find_first_not_of("0123456789") == std::string::npos) {
        const auto [end, ec] = std::from_chars(shown.data(), shown.data() + shown.size(), value);
        value = ec == std::errc() ? value : kColorMax + 1;  // too long for 64 bits
    } else {
        number = false;
    }
    if (!number) {
        errors.Add(at, "NUMBER_TYPE_COERCE", "Value \"" + shown + "\" is not int.");
    } else if (value > kColorMax) {
        errors.Add(at, "NUMBER_TYPE_MAX",
                   "int value should be less than or equal to " + std::to_string(kColorMax) + ".");
    }
}

bool IsSnowflake(const json& value) {
    if (!value.is_string()) {
        return false;
    }
    const std::string text = value.get<std::string>();
    std::uint64_t number = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), number);
    return !text.empty() && ec == std::errc() && end == text.data() + text.size();
}

std::string Lower(std::string text) {
    for (auto& c : text) {
        c = c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c;
    }
    return text;
}

// An http(s) URL with a host; Discord names the scheme it refuses.
void CheckUrl(const json& parent, const char* key, const std::vector<std::string>& path,
              FormErrors& errors, bool attachments) {
    if (!parent.contains(key) || parent[key].is_null()) {
        return;
    }
    const auto at = Append(path, key);
    if (!parent[key].is_string()) {
        errors.Add(at, "BASE_TYPE_STRING",
                   "Could not interpret \"" + JsonText(parent[key]) + "\" as string.");
        return;
    }
    const std::string url = parent[key].get<std::string>();
    const auto colon = url.find("://");
    const bool blank = std::any_of(url.begin(), url.end(),
                                   [](char c) { return static_cast<unsigned char>(c) <= ' '; });
    if (colon == std::string::npos || colon == 0 || blank ||
        url.find_first_of("/?#", colon + 3) == colon + 3 || url.size() == colon + 3) {
        errors.Add(at, "URL_TYPE_INVALID_URL", "Not a well formed URL.");
        return;
    }
    const std::string scheme = Lower(url.substr(0, colon));
    if (scheme != "http" && scheme != "https" && !(attachments && scheme == "attachment")) {
        errors.Add(at, "URL_TYPE_INVALID_SCHEME",
                   "Scheme \"" + scheme + "\" is not supported. Scheme must be one of ('http', " +
                       "'https')" + (attachments ? ", or 'attachment'." : "."));
    }
}

// ISO 8601: a date and a time of day with an offset, to the fraction of a second.
void CheckTimestamp(const json& embed, const std::vector<std::string>& path, FormErrors& errors) {
    if (!embed.contains("timestamp") || embed["timestamp"].is_null()) {
        return;
    }
    static const std::regex iso(
        R"(\d{4}-(0[1-9]|1[0-2])-(0[1-9]|[12]\d|3[01])T([01]\d|2[0-3]):[0-5]\d:[0-5]\d(\.\d+)?(Z|[+-]([01]\d|2[0-3]):[0-5]\d))");
    const json& value = embed["timestamp"];
    const std::string text = value.is_string() ? value.get<std::string>() : JsonText(value);
    if (!value.is_string() || !std::regex_match(text, iso)) {
        errors.Add(Append(path, "timestamp"), "DATE_TIME_TYPE_PARSE",
                   "Could not parse " + text + ". Should be ISO8601.");
    }
}

void CheckAllowedMentions(const json& message, FormErrors& errors) {
    if (!message.contains("allowed_mentions") || message["allowed_mentions"].is_null()) {
        return;
    }
    const json& allowed = message["allowed_mentions"];
    const std::vector<std::string> at{"allowed_mentions"};
    if (!allowed.is_object()) {
        errors.Add(at, "DICT_TYPE_CONVERT", "Only dictionaries may be used in a DictType");
        return;
    }
    std::vector<std::string> parsed;
    if (allowed.contains("parse") && allowed["parse"].is_array()) {
        for (std::size_t i = 0; i < allowed["parse"].size(); ++i) {
            const json& kind = allowed["parse"][i];
            if (kind != "roles" && kind != "users" && kind != "everyone") {
                errors.Add({"allowed_mentions", "parse", std::to_string(i)}, "BASE_TYPE_CHOICES",
                           "Value must be one of {'roles', 'users', 'everyone'}.");
            } else {
                parsed.push_back(kind.get<std::string>());
            }
        }
    }
    for (const char* kind : {"roles", "users"}) {
        if (!allowed.contains(kind)) {
            continue;
        }
        const json& ids = allowed[kind];
        const auto list = Append(at, kind);
        if (!ids.is_array()) {
            errors.Add(list, "LIST_TYPE_CONVERT", "Only iterables may be used in a ListType");
            continue;
        }
        if (ids.size() > 100) {
            errors.Add(list, "BASE_TYPE_MAX_LENGTH", "Must be 100 or fewer in length.");
        }
        for (std::size_t i = 0; i < ids.size(); ++i) {
            if (!IsSnowflake(ids[i])) {
                errors.Add(Append(list, std::to_string(i)), "NUMBER_TYPE_COERCE",
                           "Value \"" +
                               (ids[i].is_string() ? ids[i].get<std::string>() : JsonText(ids[i])) +
                               "\" is not snowflake.");
            }
        }
        if (std::find(parsed.begin(), parsed.end(), kind) != parsed.end()) {
            errors.Add(at, "MESSAGE_ALLOWED_MENTIONS_PARSE_EXCLUSIVE",
                       std::string("parse:[\"") + kind + "\"] and " + kind +
                           ": [ids] are mutually exclusive.");
        }
    }
}

void CheckEmbed(const json& embed, const std::vector<std::string>& path, FormErrors& errors,
                std::size_t& total) {
    if (!embed.is_object()) {
        errors.Add(path, "DICT_TYPE_CONVERT", "Only dictionaries may be used in a DictType");
        return;
    }
    CheckText(embed, "title", 256, path, errors, &total);
    CheckText(embed, "description", 4096, path, errors, &total);
    CheckColor(embed, path, errors);
    if (embed.contains("footer") && embed["footer"].is_object()) {
        CheckText(embed["footer"], "text", 2048, Append(path, "footer"), errors, &total);
    }
    if (embed.contains("image") && embed["image"].is_object()) {
        CheckUrl(embed["image"], "url", Append(path, "image"), errors, true);
    }
    CheckTimestamp(embed, path, errors);
    if (embed.contains("author") && embed["author"].is_object()) {
        CheckText(embed["author"], "name", 256, Append(path, "author"), errors, &total);
    }
    if (!embed.contains("fields") || !embed["fields"].is_array()) {
        return;
    }
    const auto at = Append(path, "fields");
    const json& fields = embed["fields"];
    if (fields.size() > 25) {
        errors.Add(at, "BASE_TYPE_MAX_LENGTH", "Must be 25 or fewer in length.");
    }
    for (std::size_t i = 0; i < fields.size(); ++i) {
        const auto field = Append(at, std::to_string(i));
        for (const auto& [key, limit] : {std::pair{"name", 256u}, std::pair{"value", 1024u}}) {
            if (!fields[i].contains(key)) {
                errors.Add(Append(field, key), "BASE_TYPE_REQUIRED", "This field is required");
            } else {
                CheckText(fields[i], key, limit, field, errors, &total);
            }
        }
    }
}

bool HasText(const json& message, const char* key) {
    return message.contains(key) && message[key].is_string() &&
           !message[key].get<std::string>().empty();
}

// The media type without parameters, in lower case: "Application/JSON; charset=x" -> ...
std::string MediaType(const std::string& value) {
    std::string type = value.substr(0, value.find(';'));
    const auto first = type.find_first_not_of(" \t");
    const auto last = type.find_last_not_of(" \t");
    type = first == std::string::npos ? "" : type.substr(first, last - first + 1);
    for (auto& c : type) {
        c = c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c;
    }
    return type;
}

}  // namespace

Verdict CheckPost(const std::vector<std::string>& contentTypes, const std::string& body) {
    if (contentTypes.size() != 1 || MediaType(contentTypes.front()) != "application/json") {
        FormErrors errors;
        errors.Add({}, "CONTENT_TYPE_INVALID",
                   "Expected one \"Content-Type\" header, application/json.");
        return {400, errors.Body()};
    }
    json message;
    try {
        message = json::parse(body);
    } catch (const json::exception&) {  // a number beyond double is out_of_range, not parse_error
        return {400, JsonText({{"code", 50109},
                               {"message", "The request body contains invalid JSON."}})};
    }
    FormErrors errors;
    if (!message.is_object()) {
        errors.Add({}, "DICT_TYPE_CONVERT", "Only dictionaries may be used in a DictType");
        return {400, errors.Body()};
    }
    CheckText(message, "content", kContentMax, {}, errors);
    if (message.contains("username") && message["username"].is_string()) {
        const std::size_t length = Characters(message["username"].get<std::string>());
        if (length < 1 || length > 80) {
            errors.Add({"username"}, "BASE_TYPE_BAD_LENGTH", "Must be between 1 and 80 in length.");
        }
        const std::string name = Lower(message["username"].get<std::string>());
        for (const char* word : {"clyde", "discord"}) {
            if (name.find(word) != std::string::npos) {
                errors.Add({"username"}, "USERNAME_INVALID_CONTAINS",
                           std::string("Username cannot contain \"") + word + "\"");
            }
        }
    }
    CheckUrl(message, "avatar_url", {}, errors, false);
    CheckAllowedMentions(message, errors);
    bool hasEmbeds = false;
    if (message.contains("embeds") && !message["embeds"].is_null()) {
        const json& embeds = message["embeds"];
        if (!embeds.is_array()) {
            errors.Add({"embeds"}, "LIST_TYPE_CONVERT", "Only iterables may be used in a ListType");
        } else {
            hasEmbeds = !embeds.empty();
            if (embeds.size() > kEmbedsMax) {
                errors.Add({"embeds"}, "BASE_TYPE_MAX_LENGTH",
                           "Must be " + std::to_string(kEmbedsMax) + " or fewer in length.");
            }
            std::size_t total = 0;
            for (std::size_t i = 0; i < embeds.size(); ++i) {
                CheckEmbed(embeds[i], {"embeds", std::to_string(i)}, errors, total);
            }
            if (total > kEmbedTotalMax) {
                errors.Add({"embeds"}, "MAX_EMBED_SIZE_EXCEEDED",
                           "Embed size exceeds maximum size of " + std::to_string(kEmbedTotalMax));
            }
        }
    }
    if (!errors.Empty()) {
        return {400, errors.Body()};
    }
    if (!HasText(message, "content") && !hasEmbeds) {
        return {400, JsonText({{"code", 50006}, {"message", "Cannot send an empty message"}})};
    }
    return {204, {}};
}

std::vector<std::string> Pings(const std::string& body) {
    const json message = json::parse(body, nullptr, false);
    if (!message.is_object() || !HasText(message, "content")) {
        return {};
    }
    // Without allowed_mentions Discord parses every kind of mention.
    const bool limited =
        message.contains("allowed_mentions") && message["allowed_mentions"].is_object();
    const json allowed = limited ? message["allowed_mentions"] : json::object();
    const auto allows = [&](const char* kind, const char* list, const std::string& id) {
        if (!limited) {
            return true;
        }
        const json parse = allowed.value("parse", json::array());
        const json ids = allowed.value(list, json::array());
        return std::find(parse.begin(), parse.end(), kind) != parse.end() ||
               std::find(ids.begin(), ids.end(), id) != ids.end();
    };
    static const std::regex mention(R"(@(everyone|here)|<@(&|!)?(\d+)>)");
    const std::string content = message["content"];
    std::vector<std::string> out;
    for (std::sregex_iterator it(content.begin(), content.end(), mention), end; it != end; ++it) {
        const auto& m = *it;
        std::string ping;
        if (m[1].matched) {
            ping = allows("everyone", "", "") ? "@" + m[1].str() : "";
        } else if (m[2].str() == "&") {
            ping = allows("roles", "roles", m[3].str()) ? "role " + m[3].str() : "";
        } else {
            ping = allows("users", "users", m[3].str()) ? "user " + m[3].str() : "";
        }
        if (!ping.empty() && std::find(out.begin(), out.end(), ping) == out.end()) {
            out.push_back(ping);
        }
    }
    return out;
}

}  // namespace webhook
