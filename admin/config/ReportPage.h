#pragma once
// The report as one HTML page that stands alone: its style and pictures inside it, no script,
// and nothing it loads from elsewhere. Light and dark as the reader's system prefers, colours
// that colour-blind readers tell apart (Okabe and Ito's), and a layout for phones too.

#include <string>

#include "Report.h"

namespace quorvane::admin {

std::string ReportPage(const ClusterReport& report);

}  // namespace quorvane::admin
