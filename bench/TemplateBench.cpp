// Filling and escaping announcement templates of growing length.

#include <benchmark/benchmark.h>

#include "PluginHost.h"
#include "core/FStringText.h"
#include "events/EventTexts.h"

namespace {

std::string LongTemplate(std::size_t repeats) {
    std::string text;
    for (std::size_t i = 0; i < repeats; ++i) {
        text += "The {Eventlabel} on {SERVERLABEL} is at {lat} / {Lon} - \"hurry\"\n";
    }
    return text;
}

void BM_FillTemplate(benchmark::State& state) {
    testing_support::PluginHost host;
    const FString text(LongTemplate(static_cast<std::size_t>(state.range(0))).c_str());
    const quorvane::TemplateValues values{quorvane::WidenBytes("Meteor Shower"),
                                          quorvane::WidenBytes("The Island"), FString(L"25.000000"),
                                          FString(L"75.000000")};
    for (auto _ : state) {
        const FString filled = quorvane::EscapeLineFeeds(quorvane::FillTemplate(text, values));
        benchmark::DoNotOptimize(quorvane::Narrow(filled));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * text.Len());
}
BENCHMARK(BM_FillTemplate)->Arg(1)->Arg(16)->Arg(256)->Arg(4096);

}  // namespace
