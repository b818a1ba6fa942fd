#include <signal.h>

#include <cerrno>
#include <cmath>
#include <ctime>

#include "StopSignal.h"

namespace standin {
namespace {
sigset_t StopSignals() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    return set;
}
}  // namespace

void PrepareStopSignal() {
    // Blocked in every thread; only WaitForStop takes them.
    const sigset_t set = StopSignals();
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

bool WaitForStop(std::optional<double> seconds) {
    const sigset_t set = StopSignals();
    if (!seconds) {
        int signal = 0;
        sigwait(&set, &signal);
        return true;
    }
    const double whole = std::floor(*seconds > 0 ? *seconds : 0);
    timespec timeout{static_cast<time_t>(whole),
                     static_cast<long>((*seconds > 0 ? *seconds - whole : 0) * 1e9)};
    int signal = -1;
    while ((signal = sigtimedwait(&set, nullptr, &timeout)) < 0 && errno == EINTR) {
    }
    return signal > 0;
}

}  // namespace standin
