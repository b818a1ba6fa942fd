// The Windows command line of one RCON client run, {program, -H.., -P.., -p.., text}, split
// back by the Windows rules (tests/support/CommandLineSplit) must give exactly those
// arguments; a line that no command line can carry must be refused, and only such a one.
// Input (FuzzedDataProvider): program, address, port and password, then the text.

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "Check.h"
#include "CommandLineSplit.h"
#include "platform/WindowsCommandLine.h"

namespace {

// What WindowsCommandLine documents that it refuses.
bool NoLineCanCarry(const std::vector<std::string>& arguments) {
    const std::string& program = arguments.front();
    return program.find('"') != std::string::npos || program.ends_with('\\') ||
           std::any_of(arguments.begin(), arguments.end(), [](const std::string& argument) {
               return argument.find('\0') != std::string::npos;
           });
}

std::string Joined(const std::vector<std::string>& arguments) {
    std::string out;
    for (const auto& argument : arguments) {
        out += "[" + fuzzing::Shown(argument) + "]";
    }
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    std::vector<std::string> arguments;
    arguments.push_back(input.ConsumeRandomLengthString(128));
    arguments.push_back("-H" + input.ConsumeRandomLengthString(64));
    arguments.push_back("-P" + input.ConsumeRandomLengthString(16));
    arguments.push_back("-p" + input.ConsumeRandomLengthString(64));
    arguments.push_back(input.ConsumeRemainingBytesAsString());

    std::string line;
    try {
        line = quorvane::platform::WindowsCommandLine(arguments);
    } catch (const std::invalid_argument&) {
        fuzzing::Require(NoLineCanCarry(arguments), "refused arguments that a line can carry");
        return 0;
    }
    fuzzing::Require(!NoLineCanCarry(arguments), "wrote a line for arguments it must refuse");
    const auto split = testing_support::SplitCommandLine(line);
    if (split != arguments) {
        fuzzing::Fail("the line " + fuzzing::Shown(line) + " splits into " + Joined(split) +
                      ", not " + Joined(arguments));
    }
    return 0;
}
