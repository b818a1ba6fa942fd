// A plugin that does what none may: it uses the framework in its load notification, which on
// Windows runs under the loader lock, instead of from Plugin_Init.

#include "API/ARK/Ark.h"
#include "Timer.h"

namespace {

void Nothing() {}

__attribute__((constructor)) void OnAttach() {
    API::Timer::Get().DelayExecute(FString("early"), &Nothing, 3600);
    AsaApi::GetApiUtils().GetStatus();
}

}  // namespace
