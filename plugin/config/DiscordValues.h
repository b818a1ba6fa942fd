#pragma once
// What Discord takes as the ids, addresses and sender's name of a post: it refuses a whole
// post over any one of them, so each is checked when the settings are read. Pure.

#include <cstddef>
#include <optional>
#include <string>

namespace quorvane {

// Role mentions at the start of a post's content: so many of the longest ids still leave
// most of Discord's 2000 characters to the header.
inline constexpr std::size_t kDiscordMostRoleMentions = 50;

// Each gives why Discord would refuse `text`, to follow the quoted value in a warning, or
// none when Discord takes it.
// A role's or thread's id: decimal digits of a 64-bit number.
std::optional<std::string> SnowflakeProblem(const std::string& text);
// An image's or avatar's address: http:// or https:// with a host, without blanks.
std::optional<std::string> WebAddressProblem(const std::string& text);
// The name a webhook posts under: 1 to 80 characters, not blank, and without "clyde" or
// "discord" in any letter case.
std::optional<std::string> WebhookNameProblem(const std::string& text);

}  // namespace quorvane
