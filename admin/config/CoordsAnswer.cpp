#include "CoordsAnswer.h"

#include <charconv>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <unordered_map>
#include <vector>

#include "base/Text.h"

namespace quorvane::admin {
namespace {

constexpr std::string_view kLat = ": Lat ";
constexpr std::string_view kLon = ", Lon ";
constexpr std::string_view kOutside = ", outside the playable area";
constexpr std::string_view kNoMap = "No map: ";
constexpr std::string_view kUnknown = "; Lat and Lon are unknown";

// A percentage as printf's %f writes it, with a point or, in some locales, a comma.
std::optional<double> Percent(std::string text) {
    if (const auto comma = text.find(','); comma != std::string::npos) {
        text[comma] = '.';
    }
    double value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return value;
}

// "Lat A, Lon B" and what follows, after ": Lat ".
std::optional<KnownPosition> Position(std::string_view tail) {
    KnownPosition out;
    if (tail.ends_with(kOutside)) {
        out.Outside = true;
        tail.remove_suffix(kOutside.size());
    }
    const auto lon = tail.find(kLon);
    if (lon == std::string_view::npos) {
        return std::nullopt;
    }
    const auto lat = Percent(std::string(tail.substr(0, lon)));
    const auto lonValue = Percent(std::string(tail.substr(lon + kLon.size())));
    if (!lat || !lonValue) {
        return std::nullopt;
    }
    out.Position = {*lat, *lonValue};
    return out;
}

}  // namespace

CoordsAnswer ParseCoordsAnswer(const std::string& text, const Settings& settings) {
    // What the command writes before ": Lat " for each coordinate, ASCII as RCON carries it.
    using Indices = std::vector<std::pair<std::size_t, std::size_t>>;
    std::unordered_map<std::string, Indices> heads;
    for (std::size_t e = 0; e < settings.RandomEvents.size(); ++e) {
        const auto& event = settings.RandomEvents[e];
        for (std::size_t c = 0; c < event.RandomCCCs.size(); ++c) {
            const auto& at = event.RandomCCCs[c];
            heads[AsciiOnly(event.EventId + " (" + event.Eventlabel + ") " + FormatG(at.X) + " " +
                            FormatG(at.Y) + " " + FormatG(at.Z))]
                .emplace_back(e, c);
        }
    }
    const auto coordinatesOf = [&](std::string_view head) -> const Indices* {
        if (const auto found = heads.find(std::string(head)); found != heads.end()) {
            return &found->second;
        }
        for (const auto& [known, indices] : heads) {
            if (head.size() > known.size() && head.ends_with(known) &&
                head[head.size() - known.size() - 1] == ' ') {
                return &indices;
            }
        }
        return nullptr;
    };

    CoordsAnswer out;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) {
            line.pop_back();
        }
        const std::string_view view(line);
        const auto lat = view.rfind(kLat);
        if (lat == std::string_view::npos) {
            if (const auto noMap = view.find(kNoMap); noMap != std::string_view::npos) {
                auto reason = view.substr(noMap + kNoMap.size());
                if (reason.ends_with(kUnknown)) {
                    reason.remove_suffix(kUnknown.size());
                }
                out.NoMap = std::string(reason);
            }
            continue;  // else a coordinate without a map, an event without coordinates, chatter
        }
        const auto* coordinates = coordinatesOf(view.substr(0, lat));
        const auto position = Position(view.substr(lat + kLat.size()));
        if (coordinates == nullptr || !position) {
            ++out.Unmatched;
            continue;
        }
        for (const auto& index : *coordinates) {
            out.Positions[index] = *position;
        }
    }
    return out;
}

CoordsAnswer ReadCoordsAnswer(const std::filesystem::path& file, const Settings& settings) {
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        throw std::runtime_error("cannot read " + file.string());
    }
    std::ostringstream text;
    text << in.rdbuf();
    return ParseCoordsAnswer(text.str(), settings);
}

}  // namespace quorvane::admin
