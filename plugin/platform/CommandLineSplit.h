#pragma once
// How Windows turns one command line into a program's arguments, for starting the RCON
// client on systems without cmd.exe: the client gets the same arguments there as here.

#include <string>
#include <string_view>
#include <vector>

namespace quorvane::platform {

// What `cmd.exe /C` hands on to the program when the line starts with a quotation mark:
// the line without its first and its last quotation mark.
std::string StripOuterQuotes(std::string_view line);

struct ProgramLine {
    std::string program;
    std::string parameters;
};
// The program, by the same rule as the first argument below, and the rest of the line after
// the blanks that follow it.
ProgramLine SplitProgram(std::string_view line);

// The arguments as CommandLineToArgvW splits them. The first one, the program, ends at the
// next quotation mark when it starts with one, else at a blank, and knows no escapes. The
// others: blanks (space, tab) outside quotes separate; 2n backslashes before a quotation
// mark give n backslashes and the mark opens or closes quoting; 2n+1 give n backslashes and
// a literal mark; backslashes before anything else are literal; a third quotation mark in
// a row gives a literal mark and ends quoting.
std::vector<std::string> SplitCommandLine(std::string_view line);

}  // namespace quorvane::platform
