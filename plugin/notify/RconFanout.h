#pragma once
// Delivery of events over RCON through the external client: the own server's event command
// first, then the broadcast to every server at once, at most 16 clients at a time, each with
// a deadline. One long-lived service, started at load and stopped at unload, so that nothing
// of it runs on the game thread but the hand-over.

#include <chrono>
#include <string>
#include <vector>

#include "notify/RconJob.h"

namespace quorvane {

// The arguments of one client run: the client, -H<address>, -P<port>, -p<password>, the text,
// each exactly as configured; "--" (the end of the options) before a text that begins with '-'.
std::vector<std::string> ClientArguments(const std::string& clientPath, const RconTarget& target,
                                         const std::string& text);

// One event's job, with a copy of the settings it needs.
RconJob MakeRconJob(const Settings& settings, const std::string& eventId,
                    const std::string& eventCommand, const std::string& broadcastText);

namespace RconFanout {

// Jobs are taken from now on.
void Start();
// For unloading: takes no more jobs, drops those waiting, ends every running client at once
// and waits for the service's threads. Every wait ends, since every client is ended. Does
// nothing when not started.
void Stop();
// Hands one event over and returns at once; false, with the reason in the log, when the
// service is not running or too much is waiting already.
bool Submit(RconJob job);
// Until every job handed over so far is done; false at the limit. For tests and benchmarks.
bool WaitUntilIdle(std::chrono::milliseconds limit);

// What became of the last event's messages to each server since the service started: in
// order of the server keys.
struct ServerDelivery {
    std::string ServerKey;
    std::string Address;  // "127.0.0.1:27020"
    std::string Outcome;  // "delivered", or why not ("exit code 4", "ended after 10 s")
    std::chrono::steady_clock::time_point At;
};
std::vector<ServerDelivery> LastDeliveries();

}  // namespace RconFanout
}  // namespace quorvane
