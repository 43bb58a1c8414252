// The engine's own CPU cost per frame outside GL work: one curve value, one timeline
// frame of the production's eleven effects with stub draws (each reads its curves), and
// the allocations such a frame makes. Prints Google Benchmark's table, then a summary:
//
//   timeline drawFrame   ms/frame   goal <= 0.05
//   allocations          per frame  goal 0
#include "AllocationCounter.h"
#include "StubTimeline.h"

#include <benchmark/benchmark.h>

#include <cstdio>

namespace {

double drawFrameMs = -1.0;
double allocationsPerFrame = -1.0;

void BM_TrackInterpolateGetValue(benchmark::State& state)
{
    // One curve of a whole demo: a key every two seconds, every kind of segment.
    TrackInterpolate curve("fade");
    for (uint32_t row = 0, k = 0; row <= stubtimeline::StubTimeline::lengthRows; row += 40, ++k)
        curve.insertKey(InterpolateKey(row, static_cast<float>(k % 11) / 10.0f, k % 5));
    uint32_t timeMs = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(curve.getValue(timeMs));
        timeMs = (timeMs + 20) % stubtimeline::StubTimeline::lengthMs;
    }
}
BENCHMARK(BM_TrackInterpolateGetValue);

void BM_TrackManagerDrawFrame(benchmark::State& state)
{
    stubtimeline::StubTimeline stub;
    stub.drawFrame(0);
    uint32_t k = 0;
    const long before = allocation::count();
    for (auto _ : state)
        stub.drawFrame(k++);
    const long allocations = allocation::count() - before;
    state.counters["allocs/frame"] = static_cast<double>(allocations) / static_cast<double>(k);
    allocationsPerFrame = static_cast<double>(allocations) / static_cast<double>(k);
    long draws = 0;
    for (const auto& effect : stub.effects)
        draws += effect->draws;
    state.counters["draws/frame"] = static_cast<double>(draws) / static_cast<double>(k + 1);
}
BENCHMARK(BM_TrackManagerDrawFrame);

class Summary : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& run : runs)
            if (run.benchmark_name().find("DrawFrame") != std::string::npos)
                drawFrameMs = run.GetAdjustedRealTime() * 1e3 / benchmark::GetTimeUnitMultiplier(run.time_unit);
        ConsoleReporter::ReportRuns(runs);
    }
};

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    Summary reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    if (drawFrameMs >= 0.0) {
        std::printf("%-28s %10.4f ms/frame   goal <= 0.05  %s\n", "timeline drawFrame (11 fx)", drawFrameMs,
                    drawFrameMs <= 0.05 ? "met" : "MISSED");
        std::printf("%-28s %10.2f per frame  goal 0       %s\n", "allocations", allocationsPerFrame,
                    allocationsPerFrame == 0.0 ? "met" : "MISSED");
    }
    return 0;
}
