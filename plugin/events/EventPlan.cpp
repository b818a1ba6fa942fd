#include "events/EventPlan.h"

#include <algorithm>
#include <utility>

#include "base/Host.h"
#include "platform/Platform.h"

namespace quorvane {

std::int32_t MinutesToSeconds(std::int32_t minutes) {
    const std::int64_t seconds = std::int64_t{minutes} * 60;
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(seconds, INT32_MIN, INT32_MAX));
}

EventPlan::EventPlan(std::function<void(std::uint64_t)> onTimer)
    : onTimer_(std::move(onTimer)), timerId_(platform::OwnModulePath() + L"_0") {}

std::uint64_t EventPlan::Arm(PlannedEvent event, const std::vector<std::int32_t>& warnings) {
    const std::uint64_t entry = next_++;
    // The framework forgets a timer armed during its pass with a delay below zero: the chain
    // would end there.
    event.Seconds = (std::max)(event.Seconds, 0);
    event.ArmedAt = std::chrono::steady_clock::now();
    event.Warnings.clear();
    for (const auto minutes : warnings) {
        const std::int32_t before = MinutesToSeconds(minutes);
        if (before < event.Seconds) {
            event.Warnings.push_back(minutes);
            ArmStep(entry, minutes, event.Seconds - before);
        }
    }
    ArmStep(entry, 0, event.Seconds);
    entries_.emplace(entry, std::move(event));
    return entry;
}

void EventPlan::ArmStep(std::uint64_t entry, std::int32_t warningMinutes, std::int32_t seconds) {
    const std::uint64_t step = next_++;
    steps_.emplace(step, Step{entry, warningMinutes});
    API::Timer::Get().DelayExecute(FString(timerId_), onTimer_, seconds, step);
}

std::optional<EventPlan::Step> EventPlan::Fired(std::uint64_t step) {
    const auto found = steps_.find(step);
    if (found == steps_.end()) {
        return std::nullopt;
    }
    const Step fired = found->second;
    steps_.erase(found);
    return fired;
}

PlannedEvent* EventPlan::Find(std::uint64_t entry) {
    const auto found = entries_.find(entry);
    return found == entries_.end() ? nullptr : &found->second;
}

std::optional<PlannedEvent> EventPlan::Take(std::uint64_t entry) {
    const auto found = entries_.find(entry);
    if (found == entries_.end()) {
        return std::nullopt;
    }
    std::erase_if(steps_, [&](const auto& step) { return step.second.Entry == entry; });
    PlannedEvent taken = std::move(found->second);
    entries_.erase(found);
    return taken;
}

void EventPlan::DropAll() {
    API::Timer::Get().UnloadTimer(FString(timerId_));
    entries_.clear();
    steps_.clear();
}

}  // namespace quorvane
