#pragma once
// The command line that gives a Windows program exactly the arguments meant for it, both
// through CommandLineToArgvW and through the C runtime's argv: the inverse of
// SplitCommandLine.

#include <string>
#include <vector>

namespace quorvane::platform {

// The arguments joined by single blanks. The first one, the program, is always quoted and
// must hold no quotation mark: the Windows rule for the program knows no escape, so no line
// could carry one (a Windows path cannot hold one either). Nor may it end in a backslash (a
// folder, not a program): some C runtimes (Wine's) read \" there as an escaped mark. The
// last argument is always quoted, so that a command that starts with '-' or is empty still
// arrives as one argument; the others only when empty or holding a blank, tab or quotation
// mark. Inside quotes a mark is written \" and only the backslashes right before a mark or
// the closing quote are doubled.
// Bytes from 128 up are copied unchanged, which is exact in UTF-8 and the single-byte code
// pages, whose characters never contain a blank, quotation mark or backslash byte.
// Throws std::invalid_argument for no arguments, a program as above or a NUL byte anywhere.
std::string WindowsCommandLine(const std::vector<std::string>& arguments);

}  // namespace quorvane::platform
