#pragma once
// The webhook-receiver program's command line.

#include <string>
#include <vector>

#include "Receiver.h"

namespace webhook {

// --port=N (0: any free port), --record=FILE, --answer=204|400|429|500|stall,
// --retry-after=SECONDS. Throws std::invalid_argument naming what is wrong.
ReceiverOptions ParseReceiverArgs(const std::vector<std::string>& arguments);

extern const char* const kReceiverUsage;

}  // namespace webhook
