// The cheapest possible RCON client, for soak runs: tens of thousands of them are started,
// and only the plugin's side of each start is under test. The run that has the argument named
// by QUORVANE_SOAK_SILENT (say "-P27027") never ends, as a client without a time-out does
// against a server that never answers.

#include <unistd.h>

#include <cstdlib>
#include <cstring>

int main(int argc, char** argv) {
    const char* silent = std::getenv("QUORVANE_SOAK_SILENT");
    for (int i = 1; silent != nullptr && i < argc; ++i) {
        if (std::strcmp(argv[i], silent) == 0) {
            for (;;) {
                pause();
            }
        }
    }
    return 0;
}
