// quorvane-config report over hostile history lines: any bytes as the histories of a fixed
// cluster file's servers (and of others), read into the page. Never a crash; every non-empty
// line a record or counted as none; each run its own mark while a server has few, and the page
// draws exactly the marks; valid UTF-8; and no markup but the page's own, whatever the lines
// hold.
// Input: the files' bytes; a line "--" starts the second file.

#include <cstdint>
#include <set>
#include <sstream>
#include <string>

#include <nlohmann/json.hpp>

#include "Check.h"
#include "Report.h"
#include "ReportPage.h"
#include "config/ConfigParser.h"

namespace {

using fuzzing::Require;
using namespace quorvane;
using namespace quorvane::admin;

const nlohmann::json& Cluster() {
    static const auto document = nlohmann::json::parse(R"({
      "TimeZone": "Europe/Berlin",
      "DiscordWebhook": "", "DiscordWebhookColor": "", "DiscordBroadcastHeader": "",
      "DiscordBroadcastMessage": "", "BroadcastStartEventMessage": "{Eventlabel}",
      "ServerEventsCommand": "StartWorldEvent", "MCRconPath": "rcon",
      "Island": {
        "Serverlabel": "The <Island>",
        "RconSettings": {"RconIP": "127.0.0.1", "RconPort": 27020, "RconPassword": "pw"},
        "StartEventOnBootSettings": {"MinimumTimeToWait": 1, "MaximumTimeToWait": 2},
        "TimeBetweenEvents": {"MinimumTimeToNextEvent": 1, "MaximumTimeToNextEvent": 2},
        "RandomEvents": {
          "meteor": {"Eventlabel": "Meteor", "RandomCCCs": ["50000 -50000 1200", "0.1 0 0"]},
          "supply": {"Eventlabel": "Drop & \"more\"", "RandomCCCs": ["1000 -2000 350"],
                     "Weight": 3}}
      },
      "Scorched": {"RconSettings": {"RconIP": "127.0.0.1", "RconPort": 1, "RconPassword": "x"}}
    })");
    return document;
}

// Every tag the page writes itself.
bool OwnTag(const std::string& name) {
    static const std::set<std::string> tags = {
        "!DOCTYPE", "html",    "head",  "meta",   "title",      "style", "body", "header",
        "h1",       "h2",      "h3",    "p",      "ul",         "li",    "code", "div",
        "nav",      "table",   "thead", "tbody",  "tr",         "th",    "td",   "a",
        "main",     "section", "small", "figure", "figcaption", "svg",   "desc", "rect",
        "g",        "path",    "text",  "circle", "span",       "footer"};
    return tags.contains(name);
}

std::size_t Count(const std::string& text, const std::string& part) {
    std::size_t count = 0;
    for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
        ++count;
    }
    return count;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const TimeZone zone("Europe/Berlin");
    std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
    HistoryTally history;
    HistoryTally later;
    std::size_t file = 0;
    std::size_t number = 0;
    std::size_t nonEmpty = 0;
    for (std::string line; std::getline(in, line);) {
        if (line == "--" && file == 0) {
            file = 1;
            number = 0;
            continue;
        }
        nonEmpty += line.empty() ? 0 : 1;
        (file == 0 ? history : later).AddLine(file, ++number, line, zone);
    }
    history.Merge(std::move(later));
    Require(history.Records + history.Unreadable == nonEmpty, "a line neither record nor none");

    PositionSource source;
    source.Answer = ParseCoordsAnswer(
        "meteor (Meteor) 50000 -50000 1200: Lat 56.250000, Lon 43.750000, outside the playable "
        "area\n",
        ParseConfig(Cluster(), [] { return std::string("Island"); }).settings);
    source.AnswerName = "coords.txt";
    const auto report =
        MakeClusterReport("config.json", Cluster(), {{"Island", source}},
                          {"events.1.jsonl", "events.jsonl"}, std::move(history), zone, "note");
    std::size_t marks = 0;
    for (const auto& server : report.Servers) {
        const bool few = server.History.Positioned <= ServerTally::kEachRun;
        Require(server.EachRun == few, "runs drawn one by one, or not, against their number");
        Require(!few || server.Marks.size() == server.History.Positioned, "a run without its mark");
        Require(server.Marks.size() <= ServerReport::kSpots || few, "more spots than drawn");
        marks += server.Marks.size();
    }

    const std::string page = ReportPage(report);
    Require(Count(page, "class=\"point ran") == marks, "the page draws other marks");
    try {
        (void)nlohmann::json(page).dump();
    } catch (const nlohmann::json::exception&) {
        fuzzing::Fail("the page is no UTF-8");
    }
    for (auto at = page.find('<'); at != std::string::npos; at = page.find('<', at + 1)) {
        std::size_t end = at + 1 + (page[at + 1] == '/' ? 1 : 0);
        const std::size_t start = end;
        while (end < page.size() && page[end] != ' ' && page[end] != '>' && page[end] != '/') {
            ++end;
        }
        const std::string name = page.substr(start, end - start);
        if (!OwnTag(name)) {
            fuzzing::Fail("markup from the lines: <" + fuzzing::Shown(name));
        }
    }
    return 0;
}
