#include "events/EventDraw.h"

#include <algorithm>

namespace quorvane {
namespace {

// The settings keep weights from 1 to 1000.
std::uint32_t WeightOf(const RandomEvent& event) {
    return event.Weight < 1 ? 1u : static_cast<std::uint32_t>(event.Weight);
}

}  // namespace

std::uint32_t DrawEventIndex(const std::vector<RandomEvent>& events,
                             const std::deque<std::string>& recent, std::int32_t avoidRepeats,
                             EventRandom& random) {
    // The events that may come: those not started lately, or all when none of them is left.
    const std::size_t avoided =
        avoidRepeats > 0 ? (std::min)(recent.size(), static_cast<std::size_t>(avoidRepeats)) : 0;
    const auto lately = recent.end() - static_cast<std::ptrdiff_t>(avoided);
    std::vector<std::uint32_t> candidates;
    for (std::uint32_t i = 0; i < events.size(); ++i) {
        if (std::find(lately, recent.end(), events[i].EventId) == recent.end()) {
            candidates.push_back(i);
        }
    }
    if (candidates.empty()) {
        for (std::uint32_t i = 0; i < events.size(); ++i) {
            candidates.push_back(i);
        }
    }
    const bool alike = std::all_of(candidates.begin(), candidates.end(),
                                   [&](std::uint32_t i) { return WeightOf(events[i]) == 1; });
    if (alike) {
        return candidates[random.Index(static_cast<std::uint32_t>(candidates.size()))];
    }
    // At most 1000 each: a sum beyond 32 bits would take four million events.
    std::uint32_t total = 0;
    for (const auto i : candidates) {
        total += WeightOf(events[i]);
    }
    std::uint32_t ticket = random.Index(total);
    for (const auto i : candidates) {
        if (ticket < WeightOf(events[i])) {
            return i;
        }
        ticket -= WeightOf(events[i]);
    }
    return candidates.back();
}

std::vector<double> EventShares(const std::vector<RandomEvent>& events) {
    double total = 0;
    for (const auto& event : events) {
        total += WeightOf(event);
    }
    std::vector<double> shares;
    for (const auto& event : events) {
        shares.push_back(WeightOf(event) / total);
    }
    return shares;
}

}  // namespace quorvane
