#pragma once
// How Windows turns one command line into a program's arguments: the model that the plugin's
// command-line writer is checked against here, and that is checked against Windows (Wine).

#include <string>
#include <string_view>
#include <vector>

namespace testing_support {

// The arguments as CommandLineToArgvW splits them. The first one, the program, ends at the
// next quotation mark when it starts with one, else at a blank, and knows no escapes. The
// others: blanks (space, tab) outside quotes separate; 2n backslashes before a quotation
// mark give n backslashes and the mark opens or closes quoting; 2n+1 give n backslashes and
// a literal mark; backslashes before anything else are literal; a third quotation mark in
// a row gives a literal mark and ends quoting.
std::vector<std::string> SplitCommandLine(std::string_view line);

}  // namespace testing_support
