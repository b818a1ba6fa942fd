#pragma once
// Live control over RCON and the server console: quorvane.status, quorvane.next [EVENT_ID],
// quorvane.reload and quorvane.coords. Everything they touch runs on the game thread.

#include <string>

namespace quorvane {

void RegisterCommands();
void RemoveCommands();

// The answer to a command line (its first word one of the commands'), plain ASCII, one fact a
// line.
std::string CommandReply(const std::string& line);

}  // namespace quorvane
