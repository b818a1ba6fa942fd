#include "HostInternal.h"

#include <algorithm>

namespace asahost {
namespace {

// The framework calls made by the library that this thread is opening; null when it opens
// none.
thread_local std::vector<std::string>* callsUnderLoad = nullptr;

}  // namespace

LoadNotification::LoadNotification() {
    previous_ = std::exchange(callsUnderLoad, &calls_);
}

LoadNotification::~LoadNotification() {
    callsUnderLoad = previous_;
}

void NoteFrameworkCall(const char* what) {
    if (callsUnderLoad != nullptr &&
        std::find(callsUnderLoad->begin(), callsUnderLoad->end(), what) == callsUnderLoad->end()) {
        callsUnderLoad->push_back(what);
    }
}

}  // namespace asahost
