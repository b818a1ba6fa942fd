#include <dlfcn.h>
#include <link.h>
#include <pthread.h>
#include <sched.h>

#include <stdexcept>
#include <string>
#include <thread>

#include "platform/Platform.h"

namespace quorvane::platform {
namespace {

// A hold on the plugin's own library: while a thread of the plugin's runs, the library cannot
// be unmapped under it, whether or not Plugin_Unload came first to join it. Only the joiner
// lets go, since a thread cannot close the library its own code is in and return into it.
void* HoldOwnLibrary() {
    Dl_info info{};
    link_map* map = nullptr;
    if (dladdr1(reinterpret_cast<const void*>(&HoldOwnLibrary), &info,
                reinterpret_cast<void**>(&map), RTLD_DL_LINKMAP) == 0 ||
        map == nullptr) {
        throw std::runtime_error("the plugin's library cannot be found");
    }
    // The program itself, which has no name, when the plugin's code is linked into it.
    void* library = dlopen(map->l_name[0] != '\0' ? map->l_name : nullptr, RTLD_LAZY | RTLD_NOLOAD);
    if (library == nullptr) {
        const char* error = dlerror();
        throw std::runtime_error(std::string("the plugin's library cannot be held: ") +
                                 (error != nullptr ? error : "unknown error"));
    }
    return library;
}

}  // namespace

struct PluginThread::State {
    void* library;
    std::thread thread;
};

PluginThread::PluginThread(std::function<void()> work) {
    auto run = [work = std::move(work)] {
#if defined(SCHED_BATCH)
        // Background work: woken, it waits for the scheduler's next turn instead of preempting
        // the game thread that woke it; it keeps its fair share of the cores.
        sched_param none{};
        pthread_setschedparam(pthread_self(), SCHED_BATCH, &none);
#endif
        // The owner of `work` reports its failures; whatever escapes it ends here, not the
        // process.
        try {
            work();
        } catch (...) {
        }
    };
    void* library = HoldOwnLibrary();
    try {
        state_ = std::make_unique<State>(State{library, std::thread(std::move(run))});
    } catch (...) {
        dlclose(library);
        throw;
    }
}

PluginThread::~PluginThread() {
    state_->thread.join();
    dlclose(state_->library);
}

}  // namespace quorvane::platform
