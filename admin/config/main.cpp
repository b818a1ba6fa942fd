// quorvane-config: checks, previews and tests a cluster file before any server restarts, through
// the plugin's own reading and composing code (the part of it that needs no game).

#include <cstdio>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "Check.h"
#include "History.h"
#include "MapData.h"
#include "Preview.h"
#include "SendTest.h"
#include "config/ConfigParser.h"

namespace {

using namespace quorvane;
using namespace quorvane::admin;

constexpr int kUsage = 3;

const char* kUsageText =
    "usage: quorvane-config check FILE [--key KEY] [--map-data FILE] [--json]\n"
    "       quorvane-config preview FILE --key KEY [--event ID] [--map-data FILE] [--json]\n"
    "       quorvane-config send-test FILE [--key KEY] [--text TEXT] [--json]\n"
    "       quorvane-config history FILE... [--json]\n"
    "check: whether each server section (or KEY's) would load active, and every warning.\n"
    "  Exit 0 clean, 1 warnings, 2 a server would be inactive.\n"
    "preview: for each event and coordinate of KEY's server, the console command, each\n"
    "  client's arguments and the Discord request, as the plugin sends them, and its\n"
    "  countdown warnings and next fixed time. With --map-data\n"
    "  (the game server stand-in's map-data format) Lat and Lon come from that map, else 0.\n"
    "send-test: one broadcast (TEXT, or a test line) to every server through the configured\n"
    "  client, and one post to the webhook. Exit 0 when everything arrived, 1 otherwise.\n"
    "history: what a server's events.jsonl (and events.1.jsonl, named first) says: per event\n"
    "  how often it started, its share and when it last started; the skips by reason.\n";

struct Arguments {
    std::string command;
    std::string file;
    std::optional<std::string> key;
    std::optional<std::string> event;
    std::optional<std::string> mapData;
    std::optional<std::string> text;
    bool json = false;
    std::vector<std::string> more;  // further files, for history
};

std::optional<Arguments> Parse(int argc, char** argv) {
    if (argc < 3) {
        return std::nullopt;
    }
    Arguments out{argv[1], argv[2], {}, {}, {}, {}, false, {}};
    for (int i = 3; i < argc; ++i) {
        const std::string option = argv[i];
        if (option == "--json") {
            out.json = true;
            continue;
        }
        if (out.command == "history" && !option.starts_with("--")) {
            out.more.push_back(option);
            continue;
        }
        if (i + 1 >= argc) {
            return std::nullopt;
        }
        const std::string value = argv[++i];
        if (option == "--key") {
            out.key = value;
        } else if (option == "--event") {
            out.event = value;
        } else if (option == "--map-data") {
            out.mapData = value;
        } else if (option == "--text") {
            out.text = value;
        } else {
            return std::nullopt;
        }
    }
    const bool known = out.command == "check" || out.command == "send-test" ||
                       out.command == "history" || (out.command == "preview" && out.key);
    return known ? std::optional(out) : std::nullopt;
}

void Print(const Arguments& arguments, const nlohmann::json& json, const std::string& text) {
    std::cout << (arguments.json ? json.dump(2) + "\n" : text);
}

// The settings of one server, or the reason it would be inactive (printed; exit code 2).
std::optional<Settings> ServerSettings(const Arguments& arguments, const nlohmann::json& document,
                                       const std::string& key) {
    auto parsed = ParseConfig(document, [&] { return key; });
    if (parsed.problem) {
        std::cout << key << ": inactive: " << parsed.problem->pointer << ": "
                  << parsed.problem->reason << "\n";
        return std::nullopt;
    }
    (void)arguments;
    return std::move(parsed.settings);
}

std::string FirstSection(const nlohmann::json& document) {
    if (document.is_object()) {
        for (const auto& [name, value] : document.items()) {
            if (value.is_object()) {
                return name;
            }
        }
    }
    return {};
}

int Run(const Arguments& arguments) {
    if (arguments.command == "history") {
        std::vector<std::filesystem::path> files{arguments.file};
        files.insert(files.end(), arguments.more.begin(), arguments.more.end());
        const auto summary = ReadHistory(files);
        Print(arguments, ToJson(summary), ToText(arguments.file, summary));
        return 0;
    }
    const MapData map(arguments.mapData ? std::optional<std::filesystem::path>(*arguments.mapData)
                                        : std::nullopt);
    if (arguments.command == "check") {
        const auto report = CheckConfig(arguments.file, arguments.key, map);
        Print(arguments, ToJson(report), ToText(report));
        return report.ExitCode();
    }
    nlohmann::json document;
    try {
        document = ReadDocument(arguments.file);
    } catch (const std::exception& e) {
        std::cout << arguments.file << ": not a cluster file: " << ReasonOf(e.what()) << "\n";
        return 2;
    }
    const std::string key = arguments.key ? *arguments.key : FirstSection(document);
    const auto settings = ServerSettings(arguments, document, key);
    if (!settings) {
        return 2;
    }
    if (arguments.command == "preview") {
        const auto preview = Preview(*settings, arguments.event, map);
        Print(arguments, preview, PreviewText(preview));
        return 0;
    }
    const auto report =
        SendTest(*settings, arguments.text ? *arguments.text : "Quorvane test from " + key);
    Print(arguments, ToJson(report), ToText(report));
    return report.ExitCode();
}

}  // namespace

int main(int argc, char** argv) {
    const auto arguments = Parse(argc, argv);
    if (!arguments) {
        std::cerr << kUsageText;
        return kUsage;
    }
    try {
        return Run(*arguments);
    } catch (const std::exception& e) {
        std::cerr << "quorvane-config: " << e.what() << "\n";
        return kUsage;
    }
}
