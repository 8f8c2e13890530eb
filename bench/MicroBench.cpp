// Per-call costs of the pieces every source row goes through.
#include "revision/BuildingNumber.h"
#include "runtime/Conversion.h"

#include <benchmark/benchmark.h>

namespace {

void BM_BuildingNumberFromInteger(benchmark::State& state) {
    const vb::Variant value(std::int64_t{123456});
    for (auto _ : state)
        benchmark::DoNotOptimize(BuildingNumber(value));
}
BENCHMARK(BM_BuildingNumberFromInteger);

void BM_BuildingNumberFromText(benchmark::State& state) {
    const vb::Variant value(QStringLiteral(" 12 345.5 "));
    for (auto _ : state)
        benchmark::DoNotOptimize(BuildingNumber(value));
}
BENCHMARK(BM_BuildingNumberFromText);

void BM_ValHex(benchmark::State& state) {
    const QString text = QStringLiteral("&H7FFF");
    for (auto _ : state)
        benchmark::DoNotOptimize(vb::Val(text));
}
BENCHMARK(BM_ValHex);

} // namespace

BENCHMARK_MAIN();
