#include <pthread.h>
#include <sched.h>

#include <thread>

#include "platform/Platform.h"

namespace quorvane::platform {

// A shared object's code stays mapped until dlclose, which runs the library's destructors
// first; those join every thread of the plugin.
struct PluginThread::State {
    std::thread thread;
};

PluginThread::PluginThread(std::function<void()> work)
    : state_(std::make_unique<State>(State{std::thread([work = std::move(work)] {
#if defined(SCHED_BATCH)
          // Background work: woken, it waits for the scheduler's next turn instead of
          // preempting the game thread that woke it; it keeps its fair share of the cores.
          sched_param none{};
          pthread_setschedparam(pthread_self(), SCHED_BATCH, &none);
#endif
          // The owner of `work` reports its failures; whatever escapes it ends here, not the
          // process.
          try {
              work();
          } catch (...) {
          }
      })})) {
}

PluginThread::~PluginThread() {
    state_->thread.join();
}

}  // namespace quorvane::platform
