#include "ReportPage.h"

#include <algorithm>

#include "History.h"
#include "Markup.h"
#include "ReportCharts.h"
#include "base/Text.h"

namespace quorvane::admin {
namespace {

// Okabe and Ito's colours; black in the light scheme gives way to yellow in the dark one.
constexpr const char* kStyle =
    R"(:root{color-scheme:light dark;--bg:#fff;--fg:#1b1b1b;--muted:#595959;--line:#d4d4d4;--ground:#f3f3f0;--area:#e3eef6;--c0:#0072B2;--c1:#E69F00;--c2:#009E73;--c3:#D55E00;--c4:#CC79A7;--c5:#56B4E9;--c6:#000}
@media (prefers-color-scheme:dark){:root{--bg:#141414;--fg:#ececec;--muted:#ababab;--line:#3b3b3b;--ground:#1e1e1e;--area:#1b2b36;--c6:#F0E442}}
*{box-sizing:border-box}
body{margin:0 auto;max-width:76rem;padding:1rem;font:16px/1.45 system-ui,-apple-system,"Segoe UI",sans-serif;background:var(--bg);color:var(--fg);overflow-wrap:break-word}
h1{font-size:1.6rem;margin:.2rem 0 .6rem}h2{font-size:1.35rem;margin:0 0 .4rem}h3{font-size:1.05rem;margin:1rem 0 .4rem}
a{color:inherit}code{font-size:.92em}h1,h2,code,.wrap{overflow-wrap:anywhere}.muted,small,figcaption{color:var(--muted)}
.warn{border-left:.3rem solid var(--c3);padding:.2rem .6rem}
section.server{border-top:1px solid var(--line);margin-top:1.6rem;padding-top:1rem}
.cols{display:grid;grid-template-columns:repeat(auto-fit,minmax(min(100%,22rem),1fr));gap:1rem 2rem;align-items:start}
figure{margin:0}svg{display:block;width:100%;height:auto}svg.map{max-width:36rem}svg.hours{max-width:40rem}
svg text{fill:var(--fg);font-size:3.2px}svg.hours text{font-size:9px}svg text.axis{font-weight:600}
.ground{fill:var(--ground);stroke:var(--muted);stroke-width:.3}.playable{fill:var(--area);stroke:var(--muted);stroke-width:.3;stroke-dasharray:1.5 1}
.map .grid path{stroke:var(--line);stroke-width:.2;fill:none}.hours .grid path{stroke:var(--line);stroke-width:.6}
.e0{color:var(--c0)}.e1{color:var(--c1)}.e2{color:var(--c2)}.e3{color:var(--c3)}.e4{color:var(--c4)}.e5{color:var(--c5)}.e6{color:var(--c6)}.eo{color:var(--muted)}
.ran{fill:currentColor;fill-opacity:.8;stroke:var(--bg);stroke-width:.3}
.cfg{fill:none;stroke:currentColor;stroke-width:.7}.never{stroke-dasharray:1.2 .8}
.flag{stroke:var(--fg);stroke-width:.7;fill:none}
.hours .started{fill:var(--c0)}.hours .skipped{fill:var(--c3)}
.legend{list-style:none;padding:0;margin:.5rem 0;display:flex;flex-wrap:wrap;gap:.2rem 1rem}
svg.mark{display:inline-block;width:1.1em;height:1.1em;vertical-align:-.15em;margin-right:.3em}
.scroll{overflow-x:auto;container-type:inline-size}table{border-collapse:collapse;width:100%;font-size:.94rem}
th,td{text-align:left;padding:.25rem .5rem;border-bottom:1px solid var(--line);vertical-align:top}
td.n,th.n{text-align:right;font-variant-numeric:tabular-nums}
.bars{min-width:8rem}.bar{height:.55rem;margin:.12rem 0;background:currentColor}.bar.want{background:none;border:1.5px solid var(--fg);opacity:.7}
.key{display:inline-block;width:1.4em;height:.55rem;vertical-align:middle;background:currentColor}.key.want{background:none;border:1.5px solid var(--fg)}
@media (max-width:32rem){body{padding:.6rem}svg.map text{font-size:4.2px}th,td{padding:.25rem .3rem}}
)";

// A table in a box narrower than the width shows each row as a card, each cell beside its
// heading; a table in a wider box scrolls inside it when it must. The box's width decides, not
// the screen's: one column of the page's grid is narrower than a tablet.
constexpr const char* kStacked =
    R"(%,% tbody,% tr{display:block}% thead{display:none}% tr{border-bottom:1px solid var(--line);padding:.3rem 0}% td{display:grid;grid-template-columns:6.5rem minmax(0,1fr);gap:.6rem;border:0;padding:.1rem 0;text-align:left}% td:empty{display:none}% td::before{content:attr(data-h);color:var(--muted)})";

// The servers' table keeps its numbers in a row under each server's name.
constexpr const char* kSummaryNarrow =
    R"(.summary,.summary thead,.summary tbody{display:block}.summary tr{display:grid;grid-template-columns:repeat(4,minmax(0,1fr))}.summary tr>:first-child{grid-column:1/-1;border:0;padding-bottom:0})";

// The shares and reasons fit a phone's column; the coordinates and the last events, wider.
std::string Style() {
    const auto stacked = [](const char* width, const std::string& table) {
        std::string rules;
        for (const char* c = kStacked; *c != '\0'; ++c) {
            rules += *c == '%' ? table : std::string(1, *c);
        }
        return "@container (max-width:" + std::string(width) + "){" + rules + "}\n";
    };
    return kStyle + stacked("22rem", ".stack") + stacked("40rem", ".stack.wide") +
           "@container (max-width:26rem){" + kSummaryNarrow + "}\n";
}

std::string Percent(double share) {
    return Number(share * 100, 1) + " %";
}

std::string Coordinate(const WorldCoordinate& c) {
    return FormatG(c.X) + " " + FormatG(c.Y) + " " + FormatG(c.Z);
}

std::string Plural(std::size_t count, const char* one, const char* many) {
    return std::to_string(count) + " " + (count == 1 ? one : many);
}

// A column of a table that, in a narrow box, stacks each row: every cell beside its heading.
struct Column {
    const char* Heading;
    const char* Classes;  // "n": a number; "wrap": long words from the files
};

std::string ClassAttribute(const char* classes) {
    return *classes == '\0' ? std::string() : std::string(" class=\"") + classes + "\"";
}

// Wide: a table that needs more room than one column of the page's grid.
template <std::size_t N>
std::string TableStart(const Column (&columns)[N], bool wide) {
    std::string out = std::string("<div class=\"scroll\"><table class=\"stack") +
                      (wide ? " wide" : "") + "\"><thead><tr>";
    for (const auto& column : columns) {
        out += "<th" + ClassAttribute(column.Classes) + ">" + column.Heading + "</th>";
    }
    return out + "</tr></thead><tbody>";
}

// Its content in one box, so that a stacked cell is two columns: the heading and the content.
std::string Cell(const Column& column, const std::string& content) {
    return "<td" + ClassAttribute(column.Classes) + " data-h=\"" + column.Heading + "\">" +
           (content.empty() ? "" : "<div>" + content + "</div>") + "</td>";
}

std::string Span(const std::optional<TimePoint>& first, const std::optional<TimePoint>& last,
                 const TimeZone& zone) {
    if (!first || !last) {
        return "";
    }
    return ", from " + ClockText(*first, zone) + " to " + ClockText(*last, zone);
}

// The event's mark as the legend shows it.
std::string Key(std::optional<std::size_t> event, const char* classes) {
    return "<svg class=\"mark\" viewBox=\"-3 -3 6 6\" aria-hidden=\"true\">" +
           Shape(event, 0, 0, 2, classes, "") + "</svg>";
}

// Labels and ids are the admin's: a long one without a space wraps anywhere.
std::string EventName(const std::string& label, const std::string& id) {
    return "<span class=\"wrap\">" + Escaped(label.empty() ? id : label) + " <code>" + Escaped(id) +
           "</code></span>";
}

std::string EventName(const EventLine& event) {
    return EventName(event.Label, event.Id);
}

std::string Legend(const ServerReport& server) {
    std::string out = "<ul class=\"legend\">";
    for (std::size_t i = 0; i < server.Events.size(); ++i) {
        out += "<li data-event=\"" + Escaped(server.Events[i].Id) + "\">" + Key(i, "ran") +
               EventName(server.Events[i]) + "</li>";
    }
    out += "</ul>";
    if (server.HiddenEvents > 0) {
        out += "<p>" + Plural(server.HiddenEvents, "more event", "more events") +
               " that only the history names, each run less often, are not listed; their runs "
               "are grey.</p>";
    }
    return out;
}

std::string MapSection(const ServerReport& server, const TimeZone& zone, const std::string& id) {
    std::string out = "<figure>" + MapPicture(server, zone, id + "-map") + "<figcaption>";
    out += Legend(server);
    out += "<p>";
    if (server.EachRun) {
        out += "A filled mark is one run, where the plugin placed it in the game. ";
    } else {
        out += "More than " + std::to_string(ServerTally::kEachRun) +
               " runs: the runs of an event on one spot are one filled mark, its area by their "
               "number; the " +
               std::to_string(ServerReport::kSpots) + " spots most run are drawn. ";
        if (server.UndrawnRuns > 0) {
            out += Plural(server.UndrawnRuns, "run", "runs") + " on other spots are not drawn. ";
        }
    }
    out +=
        "A ring is a configured coordinate, dashed while it never ran; a cross marks one outside "
        "the playable area. Marks beyond the map's edge sit on it.";
    if (!server.PositionsFrom.empty() && !server.NoPositions) {
        out += " Positions of the coordinates from " + Escaped(server.PositionsFrom) + ".";
    }
    out += "</p>";
    if (server.NoPositions) {
        out += "<p class=\"warn\">" + Escaped(*server.NoPositions) +
               " The configured coordinates are not drawn.</p>";
    }
    const std::size_t runs = server.History.Started;
    if (runs > server.History.Positioned) {
        out += "<p>" + Plural(runs - server.History.Positioned, "run has", "runs have") +
               " no Lat and Lon in the history and is not drawn.</p>";
    }
    return out + "</figcaption></figure>";
}

std::string CoordinatesTable(const ServerReport& server) {
    if (server.Coordinates.empty()) {
        return "";
    }
    constexpr Column kColumns[] = {{"Event", ""}, {"X Y Z", ""}, {"Lat", "n"},
                                   {"Lon", "n"},  {"Runs", "n"}, {"Note", ""}};
    std::string out = "<h3>Configured coordinates</h3>" + TableStart(kColumns, true);
    for (const auto& line : server.Coordinates) {
        const auto& event = server.Events[line.Event];
        std::string note;
        if (line.Outside) {
            note = "outside the playable area";
        }
        if (line.Runs == 0) {
            note += (note.empty() ? "" : "; ") + std::string("never ran");
        }
        if (!line.Position && !server.NoPositions) {
            note += (note.empty() ? "" : "; ") + std::string("no position given");
        }
        out += "<tr>" + Cell(kColumns[0], EventName(event)) +
               Cell(kColumns[1], "<code>" + Coordinate(line.At) + "</code>") +
               Cell(kColumns[2], line.Position ? Number(line.Position->Lat, 2) : "") +
               Cell(kColumns[3], line.Position ? Number(line.Position->Lon, 2) : "") +
               Cell(kColumns[4], std::to_string(line.Runs)) + Cell(kColumns[5], note) + "</tr>";
    }
    out += "</tbody></table></div>";
    if (server.RunsElsewhere > 0) {
        out += "<p>" + Plural(server.RunsElsewhere, "run was", "runs were") +
               " at a coordinate its event no longer has.</p>";
    }
    return out;
}

std::string SharesTable(const ServerReport& server, const TimeZone& zone) {
    const auto& h = server.History;
    std::string out =
        "<h3>How often each event ran</h3><p class=\"muted\"><span class=\"key\"></span> share "
        "of the runs &nbsp; <span class=\"key want\"></span> share its weights give</p>";
    if (server.AvoidRepeats > 0) {
        out += "<p>With AvoidRepeats " + std::to_string(server.AvoidRepeats) +
               " an event among the last started is not drawn while another can be, so the runs "
               "come out more even than the weights.</p>";
    }
    constexpr Column kColumns[] = {
        {"Event", ""}, {"Runs", "n"}, {"Share", ""}, {"Last run", ""}, {"Duration", ""}};
    out += TableStart(kColumns, false);
    for (std::size_t i = 0; i < server.Events.size(); ++i) {
        const auto& event = server.Events[i];
        const double share =
            h.Started > 0 ? static_cast<double>(event.Runs) / static_cast<double>(h.Started) : 0;
        std::string bars = "<div class=\"bars " + EventClass(i) +
                           "\"><div class=\"bar\" style=\"width:" + Number(share * 100, 1) +
                           "%\"></div>";
        if (event.Configured) {
            bars += "<div class=\"bar want\" style=\"width:" + Number(event.WeightShare * 100, 1) +
                    "%\"></div>";
        }
        bars += "</div>" + Percent(share) +
                (!event.Configured   ? std::string(" (not configured)")
                 : !event.CanStart   ? std::string(" (never starts: no coordinates)")
                 : event.Weight == 0 ? std::string(" (weight 0: only at its fixed times)")
                                     : " (weights: " + Percent(event.WeightShare) + ")");
        // What it is set to last, and what its ends show it ran.
        std::string duration = event.DurationMinutes > 0
                                   ? std::to_string(event.DurationMinutes) + " min"
                                   : std::string(event.Configured ? "never ends" : "");
        if (event.Ended > 0) {
            duration += (duration.empty() ? "" : "; ") + std::string("ran ") +
                        Number(event.RanMinutes / static_cast<double>(event.Ended), 1) +
                        " min on average over " + Plural(event.Ended, "end", "ends");
        }
        out += "<tr>" + Cell(kColumns[0], Key(i, "ran") + EventName(event)) +
               Cell(kColumns[1], std::to_string(event.Runs)) + Cell(kColumns[2], bars) +
               Cell(kColumns[3], event.Last ? ClockText(*event.Last, zone) : "never") +
               Cell(kColumns[4], Escaped(duration)) + "</tr>";
    }
    return out + "</tbody></table></div>";
}

std::string Reasons(const ServerReport& server) {
    const auto& h = server.History;
    if (h.Skipped == 0 && h.NotStarted == 0) {
        return "<h3>Skipped and refused</h3><p>Every due event started.</p>";
    }
    std::vector<std::pair<std::string, std::size_t>> rows;
    for (const auto& [kind, count] : h.Skips) {
        rows.emplace_back("skipped: " + SkipText(kind), count);
    }
    for (const auto& [reason, count] : h.Refusals) {
        rows.emplace_back("not started: " + reason, count);
    }
    std::stable_sort(rows.begin(), rows.end(),
                     [](const auto& a, const auto& b) { return a.second > b.second; });
    constexpr std::size_t kRows = 12;
    std::size_t others = 0;
    for (std::size_t i = kRows; i < rows.size(); ++i) {
        others += rows[i].second;
    }
    rows.resize((std::min)(rows.size(), kRows));
    constexpr Column kColumns[] = {{"Why", "wrap"}, {"Times", "n"}, {"Of the due events", ""}};
    std::string out = "<h3>Skipped and refused</h3>" + TableStart(kColumns, false);
    for (const auto& [why, count] : rows) {
        const double share = static_cast<double>(count) / static_cast<double>(h.Due);
        out += "<tr>" + Cell(kColumns[0], Escaped(why)) + Cell(kColumns[1], std::to_string(count)) +
               Cell(kColumns[2], "<div class=\"bars e3\"><div class=\"bar\" style=\"width:" +
                                     Number(share * 100, 1) + "%\"></div></div>" + Percent(share)) +
               "</tr>";
    }
    out += "</tbody></table></div>";
    if (others > 0) {
        out += "<p>" + Plural(others, "more time", "more times") + " for other reasons.</p>";
    }
    return out;
}

std::string LastTable(const ServerReport& server, const TimeZone& zone) {
    constexpr Column kColumns[] = {
        {"Time", ""}, {"Event", ""}, {"Outcome", ""}, {"Lat, Lon", ""}, {"Details", "wrap"}};
    std::string out = "<h3>Last events</h3>" + TableStart(kColumns, true);
    for (const auto& r : server.History.Last) {
        std::string details = r.Reason;
        if (r.Outcome != "skipped") {
            std::string rcon;
            std::size_t shown = 0;
            for (const auto& [key, outcome] : r.Rcon) {
                if (++shown > 10) {
                    rcon += ", and " + std::to_string(r.Rcon.size() - 10) + " more";
                    break;
                }
                rcon += (rcon.empty() ? "" : ", ") + Cut(key, 60) + " " + Cut(outcome, 100);
            }
            if (!rcon.empty()) {
                details += (details.empty() ? "" : "; ") + std::string("RCON ") + rcon;
            }
            if (r.Discord) {
                details +=
                    (details.empty() ? "" : "; ") + std::string("Discord ") + Cut(*r.Discord, 100);
            }
        }
        out += "<tr>" + Cell(kColumns[0], ClockText(r.Time, zone)) +
               Cell(kColumns[1], r.EventId && !r.EventId->empty()
                                     ? EventName(r.Eventlabel.value_or(""), *r.EventId)
                                     : std::string()) +
               Cell(kColumns[2], Escaped(Cut(r.Outcome, 40))) +
               Cell(kColumns[3],
                    r.Position ? Number(r.Position->Lat, 2) + ", " + Number(r.Position->Lon, 2)
                               : std::string()) +
               Cell(kColumns[4], Escaped(details)) + "</tr>";
    }
    return out + "</tbody></table></div>";
}

std::string ServerSection(const ServerReport& server, const TimeZone& zone, std::size_t index) {
    const std::string id = "s" + std::to_string(index);
    const auto& h = server.History;
    std::string out = "<section class=\"server\" id=\"" + id + "\" data-server=\"" +
                      Escaped(server.Key) + "\"><h2>" + Escaped(server.Label) + " <small>" +
                      Escaped(server.Key) + "</small></h2>";
    if (!server.InConfig) {
        out +=
            "<p class=\"warn\">The cluster file has no section of this name; only its history "
            "is shown.</p>";
    }
    if (server.Inactive) {
        out += "<p class=\"warn\">The plugin would be inactive on this server: " +
               Escaped(*server.Inactive) + "</p>";
    }
    out += "<p>";
    if (h.Due == 0) {
        out += "The histories hold no line of this server.";
    } else {
        out += Plural(h.Due, "due event", "due events") + ": " + std::to_string(h.Started) +
               " started, " + std::to_string(h.NotStarted) + " not started, " +
               std::to_string(h.Skipped) + " skipped" + Span(h.First, h.Latest, zone) + ".";
    }
    out += "</p>";
    for (const auto& note : server.Notes) {
        out += "<p class=\"warn\">" + Escaped(note) + "</p>";
    }
    if (h.Untallied > 0) {
        out += "<p>" + Plural(h.Untallied, "record names", "records name") +
               " an event, reason or spot beyond the first " +
               std::to_string(HistoryTally::kNames) +
               " of its kind: counted in the totals only.</p>";
    }
    out += "<div class=\"cols\"><div>" + MapSection(server, zone, id) + "</div><div>" +
           SharesTable(server, zone) + Reasons(server) + "<h3>Per hour of the day</h3>" +
           "<p class=\"muted\"><span class=\"key e0\"></span> started &nbsp; <span class=\"key "
           "e3\"></span> skipped</p>" +
           HoursPicture(server, zone, id + "-hours") + "</div></div>";
    out += CoordinatesTable(server);
    if (!h.Last.empty()) {
        out += LastTable(server, zone);
    }
    return out + "</section>";
}

std::string Header(const ClusterReport& report) {
    const auto& h = report.History;
    std::string out = "<header><h1>Quorvane events</h1><p>Cluster file <code>" +
                      Escaped(report.ConfigName) + "</code>, " +
                      Plural(report.Servers.size(), "server", "servers") + ". " +
                      Escaped(report.ZoneNote) + "</p><p>";
    if (report.HistoryNames.empty()) {
        out += "No history given: only the configured coordinates are shown.</p>";
    } else {
        out += "History: " + Plural(h.Records, "record", "records") +
               Span(h.First, h.Latest, report.Zone) + ", in</p><ul>";
        for (std::size_t i = 0; i < report.HistoryNames.size(); ++i) {
            const FileTally file = i < h.Files.size() ? h.Files[i] : FileTally{};
            out += "<li><code>" + Escaped(report.HistoryNames[i]) +
                   "</code>: " + Plural(file.Lines, "line", "lines") + "</li>";
        }
        out += "</ul>";
    }
    if (h.Unreadable > 0) {
        out += "<div class=\"warn\"><p>" +
               Plural(h.Unreadable, "line is no record", "lines are no record") +
               " and counted nowhere else";
        out += h.BadLines.size() < h.Unreadable ? "; the first ones:" : ":";
        out += "</p><ul>";
        for (const auto& line : h.BadLines) {
            const std::string file = line.File < report.HistoryNames.size()
                                         ? report.HistoryNames[line.File]
                                         : "file " + std::to_string(line.File + 1);
            out += "<li><code>" + Escaped(file) + ":" + std::to_string(line.Line) +
                   "</code> <code>" + Escaped(line.Start) + "</code></li>";
        }
        out += "</ul></div>";
    }
    if (h.Untallied > 0 || report.HiddenServers > 0) {
        out += "<p class=\"warn\">" +
               Plural(h.Untallied + report.HiddenServerRecords, "record names", "records name") +
               " a server the cluster file does not have, beyond the first " +
               std::to_string(ClusterReport::kOtherServers) + " such: not shown.</p>";
    }
    out +=
        "<nav class=\"scroll\"><table class=\"summary\"><thead><tr><th>Server</th><th "
        "class=\"n\">Due</th><th "
        "class=\"n\">"
        "Started</th><th class=\"n\">Not started</th><th class=\"n\">Skipped</th></tr>"
        "</thead><tbody>";
    for (std::size_t i = 0; i < report.Servers.size(); ++i) {
        const auto& s = report.Servers[i];
        out += "<tr><td><a class=\"wrap\" href=\"#s" + std::to_string(i) + "\">" +
               Escaped(s.Label) + "</a></td><td class=\"n\">" + std::to_string(s.History.Due) +
               "</td><td class=\"n\">" + std::to_string(s.History.Started) +
               "</td><td class=\"n\">" + std::to_string(s.History.NotStarted) +
               "</td><td class=\"n\">" + std::to_string(s.History.Skipped) + "</td></tr>";
    }
    return out + "</tbody></table></nav></header>";
}

}  // namespace

std::string ReportPage(const ClusterReport& report) {
    std::string out =
        "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\"><meta name=\"viewport\" "
        "content=\"width=device-width, initial-scale=1\"><meta name=\"color-scheme\" "
        "content=\"light dark\"><title>Quorvane events: " +
        Escaped(report.ConfigName) + "</title><style>" + Style() + "</style></head><body>";
    out += Header(report) + "<main>";
    for (std::size_t i = 0; i < report.Servers.size(); ++i) {
        out += ServerSection(report.Servers[i], report.Zone, i);
    }
    out +=
        "</main><footer><p class=\"muted\">Written by <code>quorvane-config report</code>. The "
        "page stands alone: no script, and nothing loaded from elsewhere.</p></footer></body>"
        "</html>\n";
    return out;
}

}  // namespace quorvane::admin
