#include "events/EventDraw.h"

#include <algorithm>

namespace quorvane {
namespace {

// The settings keep weights from 0 to 1000.
std::uint32_t WeightOf(const RandomEvent& event) {
    return event.Weight < 0 ? 0u : static_cast<std::uint32_t>(event.Weight);
}

}  // namespace

std::uint32_t DrawEventIndex(const std::vector<RandomEvent>& events,
                             const std::deque<std::string>& recent, std::int32_t avoidRepeats,
                             EventRandom& random) {
    // The events that may come. Avoiding repeats, those that can start (an event without
    // coordinates never can, and would be left as the only one, at every turn) and were not
    // started lately; when none is left, those that can start; when none can, all.
    const std::size_t avoided =
        avoidRepeats > 0 ? (std::min)(recent.size(), static_cast<std::size_t>(avoidRepeats)) : 0;
    const auto lately = recent.end() - static_cast<std::ptrdiff_t>(avoided);
    const auto those = [&](auto&& wanted) {
        std::vector<std::uint32_t> found;
        for (std::uint32_t i = 0; i < events.size(); ++i) {
            // Weight 0: only at its fixed times.
            if (events[i].Weight != 0 && wanted(events[i])) {
                found.push_back(i);
            }
        }
        return found;
    };
    const auto canStart = [](const RandomEvent& e) { return !e.RandomCCCs.empty(); };
    std::vector<std::uint32_t> candidates;
    if (avoidRepeats > 0) {
        candidates = those([&](const RandomEvent& e) {
            return canStart(e) && std::find(lately, recent.end(), e.EventId) == recent.end();
        });
        if (candidates.empty()) {
            candidates = those(canStart);
        }
    }
    if (candidates.empty()) {
        candidates = those([](const RandomEvent&) { return true; });
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
        shares.push_back(total > 0 ? WeightOf(event) / total : 0.0);
    }
    return shares;
}

}  // namespace quorvane
