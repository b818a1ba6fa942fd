// quorvane-rcon's command line, parsed in-process: every form the plugin and admins use.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Arguments.h"

namespace {

using rcon::cli::ParseArguments;
using Args = std::vector<std::string>;

TEST(ArgumentsTest, ReadsAttachedAndSeparateValues) {
    struct Case {
        Args arguments;
        std::string host;
        int port;
        std::string password;
        long long timeoutMs;
        Args commands;
    };
    const Case cases[] = {
        // Exactly what the plugin passes.
        {{"-H127.0.0.1", "-P27020", "-psecret", "Meteor Shower started on \"The Island\""},
         "127.0.0.1",
         27020,
         "secret",
         5000,
         {"Meteor Shower started on \"The Island\""}},
        {{"-H", "10.0.0.5", "-P", "1", "-p", "pw", "a", "b"},
         "10.0.0.5",
         1,
         "pw",
         5000,
         {"a", "b"}},
        {{"-p", "pw", "-t0.25", "-P65535", "-H", "::1", "x"}, "::1", 65535, "pw", 250, {"x"}},
        {{"-H", "h", "-P", "2", "-pa", "-t", "30", "x"}, "h", 2, "a", 30000, {"x"}},
        {{"-Hold", "-Hnew", "-P2", "-pa", "x"}, "new", 2, "a", 5000, {"x"}},
        // Options end at the first command, or at "--".
        {{"-Hh", "-P2", "-pa", "x", "-H", "y"}, "h", 2, "a", 5000, {"x", "-H", "y"}},
        {{"-Hh", "-P2", "-pa", "--", "-dash", ""}, "h", 2, "a", 5000, {"-dash", ""}},
        {{"-Hh", "-P2", "-pa", "--", "-Hx", "--"}, "h", 2, "a", 5000, {"-Hx", "--"}},
        {{"-Hh", "-P2", "-p-secret", "x"}, "h", 2, "-secret", 5000, {"x"}},
        // Whatever is not -H, -P, -p, -t, --help or -- is a command, dash or not.
        {{"-Hh", "-P2", "-pa", "-x", "cmd"}, "h", 2, "a", 5000, {"-x", "cmd"}},
        {{"-Hh", "-P2", "-pa", "-= Meteor =- incoming"},
         "h",
         2,
         "a",
         5000,
         {"-= Meteor =- incoming"}},
        {{"-Hh", "-P2", "-pa", "-dash"}, "h", 2, "a", 5000, {"-dash"}},
        {{"-Hh", "-P2", "-pa", "-", "-t1"}, "h", 2, "a", 5000, {"-", "-t1"}},
        {{"-Hh", "-P2", "-pa", "--x", "-pb"}, "h", 2, "a", 5000, {"--x", "-pb"}},
        {{"-Hh", "-P2", "-pa", "", "-x"}, "h", 2, "a", 5000, {"", "-x"}},
        {{"-Hh", "-P2", "-pa", "-h", "-P3"}, "h", 2, "a", 5000, {"-h", "-P3"}},
        // A bare option does not take a value that starts with '-'.
        {{"-Hh", "-P2", "-pa", "-t", "-dash"}, "h", 2, "a", 5000, {"-dash"}},
    };
    for (const auto& c : cases) {
        const auto parsed = ParseArguments(c.arguments);
        EXPECT_EQ(parsed.host, c.host);
        EXPECT_EQ(parsed.port, c.port);
        EXPECT_EQ(parsed.password, c.password);
        EXPECT_EQ(parsed.timeout.count(), c.timeoutMs);
        EXPECT_EQ(parsed.commands, c.commands);
    }
}

TEST(ArgumentsTest, RefusesWithOneLineReason) {
    struct Case {
        Args arguments;
        std::string error;
    };
    const Case cases[] = {
        // The plugin's bare -H and -p for an empty address or password.
        {{"-H", "-P27020", "-psecret", "text"}, "no server address (-H)"},
        {{"-H127.0.0.1", "-P27020", "-p", "text"},
         "no command to send (the last argument was read as the value of -p)"},
        {{"-H127.0.0.1", "-P27020", "-p"}, "no password (-p)"},
        {{"-H127.0.0.1", "-P27020", "-p", "-t1", "x"}, "no password (-p)"},
        {{"-Hh", "-pa", "x"}, "no port (-P)"},
        {{"-Hh", "-P0", "-pa", "x"}, "-P needs a port from 1 to 65535, not '0'"},
        {{"-Hh", "-P65536", "-pa", "x"}, "-P needs a port from 1 to 65535, not '65536'"},
        {{"-Hh", "-P27020x", "-pa", "x"}, "-P needs a port from 1 to 65535, not '27020x'"},
        {{"-Hh", "-P2", "-pa", "-t0", "x"}, "-t needs seconds above 0 and up to 86400, not '0'"},
        {{"-Hh", "-P2", "-pa", "-t-1", "x"}, "-t needs seconds above 0 and up to 86400, not '-1'"},
        {{"-Hh", "-P2", "-pa", "-tsoon", "x"},
         "-t needs seconds above 0 and up to 86400, not 'soon'"},
        {{"-Hh", "-P2", "-pa", "-t", "x"}, "-t needs seconds above 0 and up to 86400, not 'x'"},
        {{"-Hh", "-P2", "-pa"}, "no command to send"},
        // An option followed by anything, -Pfoo too, is that option.
        {{"-Hh", "-pa", "-Pfoo", "x"}, "-P needs a port from 1 to 65535, not 'foo'"},
        {{"-Hh", "-P2", "-pa", "-Hello"}, "no command to send"},
        {{"-Hh", "-P2", "-p", "-= Meteor =-"}, "no password (-p)"},
        // A first argument that is no option makes every later one a command.
        {{"-", "-Hh", "-P2", "-pa"}, "no server address (-H)"},
        {{"-x", "-Hh", "-P2", "-pa"}, "no server address (-H)"},
        {{}, "no server address (-H)"},
    };
    for (const auto& c : cases) {
        try {
            ParseArguments(c.arguments);
            ADD_FAILURE() << "accepted, expected: " << c.error;
        } catch (const rcon::cli::UsageError& e) {
            EXPECT_EQ(e.what(), c.error);
        }
    }
}

}  // namespace
