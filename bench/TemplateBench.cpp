// Filling and escaping announcement templates of growing length.

#include <benchmark/benchmark.h>

#include "PluginHost.h"
#include "base/Host.h"
#include "base/Text.h"
#include "events/EventTexts.h"

namespace {

std::string LongTemplate(std::size_t repeats) {
    std::string text;
    for (std::size_t i = 0; i < repeats; ++i) {
        text += "The {Eventlabel} on {SERVERLABEL} is at {lat} / {Lon} - \"hurry\"\n";
    }
    return text;
}

// Letter case ignored through the game's function, as the plugin does.
int GameStrnicmp(const wchar_t* a, const wchar_t* b, std::size_t count) {
    return FGenericPlatformStricmp::Strnicmp(a, b, count);
}

void BM_FillTemplate(benchmark::State& state) {
    testing_support::PluginHost host;
    const std::wstring text =
        quorvane::WidenBytes(LongTemplate(static_cast<std::size_t>(state.range(0))));
    const quorvane::TemplateValues values{quorvane::WidenBytes("Meteor Shower"),
                                          quorvane::WidenBytes("The Island"), L"25.000000",
                                          L"75.000000"};
    for (auto _ : state) {
        const auto filled = quorvane::EscapeLineFeeds(
            quorvane::FillTemplate(text, values, &GameStrnicmp), &GameStrnicmp);
        benchmark::DoNotOptimize(quorvane::NarrowToAscii(filled));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(text.size()));
}
BENCHMARK(BM_FillTemplate)->Arg(1)->Arg(16)->Arg(256)->Arg(4096);

}  // namespace
