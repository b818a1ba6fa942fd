#include "events/EventLauncher.h"

#include <cmath>

#include "config/Settings.h"
#include "core/FStringText.h"
#include "core/PluginLog.h"
#include "events/EventRandom.h"
#include "events/EventTexts.h"
#include "events/EventTimer.h"
#include "map/MapProjector.h"
#include "notify/DiscordNotifier.h"
#include "notify/RconFanout.h"

namespace quorvane {

void ScheduleFirstEvent() {
    const Settings& s = EventSettings();
    if (s.Debug) {
        PluginLog()->info("Server Ready");
    }
    const std::int32_t minutes = RandomInt(s.MinimumTimeToWait, s.MaximumTimeToWait);
    if (s.Debug) {
        PluginLog()->info("Time to wait: {}", minutes);
    }
    ArmEventTimer(&StartEvent, MinutesToSeconds(minutes));
}

namespace {

void StartRandomEvent() {
    const Settings& s = EventSettings();
    const std::int32_t minutes = RandomInt(s.MinimumTimeToNextEvent, s.MaximumTimeToNextEvent);
    // First, so that the chain goes on whatever becomes of this event.
    ArmEventTimer(&StartEvent, MinutesToSeconds(minutes));

    if (s.RandomEvents.empty()) {
        PluginLog()->warn("No events are configured for this server; none started");
        return;
    }
    const RandomEvent& event =
        s.RandomEvents[RandomIndex(static_cast<std::uint32_t>(s.RandomEvents.size()))];
    if (event.RandomCCCs.empty()) {
        PluginLog()->warn("Event {} ({}) has no coordinates; not started", event.EventId,
                          event.Eventlabel);
        return;
    }
    const WorldCoordinate& coordinate =
        event.RandomCCCs[RandomIndex(static_cast<std::uint32_t>(event.RandomCCCs.size()))];
    const std::string eventCommand =
        MakeEventCommand(s.ServerEventsCommand, event.EventId, coordinate);

    if (s.Debug) {
        auto& log = *PluginLog();
        log.info("Starting event!");
        log.info("Event: {}", event.Eventlabel);
        log.info("Coordinate: {:g}, {:g}, {:g}", static_cast<double>(coordinate.X),
                 static_cast<double>(coordinate.Y), static_cast<double>(coordinate.Z));
        log.info("Command: {}", eventCommand);
        log.info("Time to next event: {}", minutes);
    }

    const FString broadcast(s.BroadcastStartEventMessage.c_str());
    const FString message(s.DiscordBroadcastMessage.c_str());
    const FString header(s.DiscordBroadcastHeader.c_str());
    TemplateValues values{WidenBytes(event.Eventlabel), WidenBytes(s.Serverlabel), {}, {}};
    const LatLon position = MapProjector::WorldToLatLon(coordinate);
    values.Lat = FormatPercent(position.Lat);
    values.Lon = FormatPercent(position.Lon);

    const std::string messageText = Narrow(FillTemplate(message, values));
    const std::string headerText = Narrow(FillTemplate(header, values));

    RconJob job;
    job.EventId = event.EventId;
    job.EventCommand = eventCommand;
    job.BroadcastText = Narrow(EscapeLineFeeds(FillTemplate(broadcast, values)));
    job.ClientPath = s.MCRconPath;
    job.Own = s.RconSettings;
    job.Targets = s.RconInfos;
    job.Deadline = std::chrono::milliseconds(
        static_cast<long long>(std::ceil(s.RconClientTimeoutSeconds * 1000)));
    job.Debug = s.Debug;
    // An event that cannot reach the servers is not announced on Discord either.
    if (RconFanout::Submit(std::move(job))) {
        DiscordNotifier::PostAnnouncement(messageText, headerText);
    }
}

}  // namespace

void StartEvent() {
    // A timer callback runs on the game thread with nothing around it: what escapes here
    // would end the server.
    try {
        StartRandomEvent();
    } catch (const std::exception& e) {
        PluginLog()->error("Event not started: {}", e.what());
    } catch (...) {
        PluginLog()->error("Event not started: unknown error");
    }
}

}  // namespace quorvane
