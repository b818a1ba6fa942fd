// quorvane-config: checks, previews and tests a cluster file before any server restarts, through
// the plugin's own reading and composing code (the part of it that needs no game).

#include <cstdio>
#include <fstream>
#include <iostream>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "Check.h"
#include "History.h"
#include "MapData.h"
#include "Preview.h"
#include "Report.h"
#include "ReportPage.h"
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
    "       quorvane-config report FILE [HISTORY...] [--out FILE] [--map-data [KEY=]FILE]...\n"
    "                              [--coords KEY=FILE]...\n"
    "check: whether each server section (or KEY's) would load active, and every warning.\n"
    "  Exit 0 clean, 1 warnings, 2 a server would be inactive.\n"
    "preview: for each event and coordinate of KEY's server, the console command, each\n"
    "  client's arguments (the built-in client: each text it sends) and the Discord request,\n"
    "  as the plugin sends them, and its countdown warnings and next fixed time. With\n"
    "  --map-data\n"
    "  (the game server stand-in's map-data format) Lat and Lon come from that map, else 0.\n"
    "send-test: one broadcast (TEXT, or a test line) to every server through the client the\n"
    "  file names (RconClient), and one post to the webhook. Exit 0 when everything arrived,\n"
    "  1 otherwise.\n"
    "history: what a server's events.jsonl (and events.1.jsonl, named first) says: per event\n"
    "  how often it started, its share and when it last started; the skips by reason.\n"
    "report: one HTML page (--out, else report.html here) that stands alone: per server the\n"
    "  map with where its events ran (from the histories, every server's events.jsonl and\n"
    "  events.1.jsonl together) and where its coordinates lie, how often each event ran\n"
    "  against its weights, skips and refusals by reason, events per hour of the day and the\n"
    "  last events, in the cluster file's TimeZone or UTC. Positions of the coordinates from\n"
    "  map data (every server's, or KEY's) or from the answer of quorvane.coords on server\n"
    "  KEY saved to FILE. Exit 2 when FILE is no cluster file.\n";

struct Arguments {
    std::string command;
    std::string file;
    std::optional<std::string> key;
    std::optional<std::string> event;
    std::optional<std::string> mapData;
    std::optional<std::string> text;
    bool json = false;
    std::vector<std::string> more;  // further files, for history and report
    std::optional<std::string> out;
    std::vector<std::string> maps;  // report: [KEY=]FILE
    std::vector<std::string> coords;
};

std::optional<Arguments> Parse(int argc, char** argv) {
    if (argc < 3) {
        return std::nullopt;
    }
    Arguments out{argv[1], argv[2], {}, {}, {}, {}, false, {}, {}, {}, {}};
    const bool report = out.command == "report";
    for (int i = 3; i < argc; ++i) {
        const std::string option = argv[i];
        if (option == "--json") {
            out.json = true;
            continue;
        }
        if ((out.command == "history" || report) && !option.starts_with("--")) {
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
        } else if (option == "--map-data" && report) {
            out.maps.push_back(value);
        } else if (option == "--map-data") {
            out.mapData = value;
        } else if (option == "--out" && report) {
            out.out = value;
        } else if (option == "--coords" && report && value.find('=') != std::string::npos) {
            out.coords.push_back(value);
        } else if (option == "--text") {
            out.text = value;
        } else {
            return std::nullopt;
        }
    }
    const bool known = out.command == "check" || out.command == "send-test" ||
                       out.command == "history" || report || (out.command == "preview" && out.key);
    return known ? std::optional(out) : std::nullopt;
}

void Print(const Arguments& arguments, const nlohmann::json& json, const std::string& text) {
    std::cout << (arguments.json ? json.dump(2) + "\n" : text);
}

// The settings of one server, or the reason it would be inactive (printed; exit code 2).
std::optional<Settings> ServerSettings(const Arguments& arguments, const nlohmann::json& document,
                                       const std::string& key) {
    auto parsed = ParseConfig(
        document, [&] { return key; }, ZoneFolderFor(arguments.file));
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

int Report(const Arguments& arguments) {
    ReportOptions options;
    options.Config = arguments.file;
    options.Histories.assign(arguments.more.begin(), arguments.more.end());
    for (const auto& map : arguments.maps) {
        // KEY=FILE, unless the whole is a file of its own.
        const auto equals = map.find('=');
        if (equals == std::string::npos || std::filesystem::exists(map)) {
            options.MapFile = map;
        } else {
            options.MapFileOf[map.substr(0, equals)] = map.substr(equals + 1);
        }
    }
    for (const auto& coords : arguments.coords) {
        const auto equals = coords.find('=');
        options.Coords[coords.substr(0, equals)] = coords.substr(equals + 1);
    }
    ClusterReport report;
    try {
        report = MakeReport(options);
    } catch (const ConfigFileError& e) {
        std::cout << e.what() << "\n";
        return 2;
    }
    const std::filesystem::path out = arguments.out ? *arguments.out : "report.html";
    const std::string page = ReportPage(report);
    std::ofstream file(out, std::ios::binary | std::ios::trunc);
    if (!(file << page) || !file.flush()) {
        throw std::runtime_error("cannot write " + out.string());
    }
    std::cout << "Report written to " << std::filesystem::absolute(out).string() << " ("
              << (page.size() + 1023) / 1024 << " kB): " << report.Servers.size() << " server(s), "
              << report.History.Records << " record(s), " << report.History.Unreadable
              << " line(s) that are no record\n";
    return 0;
}

int Run(const Arguments& arguments) {
    if (arguments.command == "report") {
        return Report(arguments);
    }
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
