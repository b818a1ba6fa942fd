#pragma once
// Host-internal seams between its services and the plugin loader.

#include <filesystem>

#include "API/UE/FString.h"
#include "Host/Runtime.h"

namespace asahost {

const Options& CurrentOptions();

// Timer service.
void StartTimers(double timeScale);
void StopTimers();
// Drops the pending timers whose owner is `module` and waits for one of them that is running.
void DropTimersOf(const std::filesystem::path& module);

// Request service.
void StartRequests();
void StopRequests();
// Drops the pending requests that `module` made and waits for a completion of it that runs.
void DropRequestsOf(const std::filesystem::path& module);

// Gives every shared sink a formatter built by the host again. A plugin that set a pattern
// left formatter objects of its own code in them, which must not outlive that code.
void ReclaimSinkFormatters();

// FString code units as a path or as UTF-8.
std::filesystem::path ToPath(const FString& text);
std::string ToUtf8(const wchar_t* units, int count);

}  // namespace asahost
