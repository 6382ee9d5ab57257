// One day's sun and moon values computed here (sky::ComputeDay): both
// bodies' rises and sets, the fraction and the phase word, for places from
// the equator to the polar circle, where the scan also looks for grazes.
// The figure to compare with the target (under 1 ms a call) is the median.
//
//     selvorra_sky_bench [Google Benchmark options]

#include "sky/Sky.h"

#include <benchmark/benchmark.h>

namespace {

constexpr int kRepetitions = 9;

struct Place {
    const char *name;
    double latitude, longitude, utcOffsetHours;
};

constexpr Place kPlaces[] = {
    {"new-york", 40.7831, -73.9712, -4.0},
    {"mayapur", 23.4242, 88.3888, 5.5},
    {"svalbard", 78.22, 15.65, 1.0},
};

void ComputeDay(benchmark::State &state, Place place)
{
    // A different day on each call, so that nothing carries over between them.
    int day = 0;
    for (auto _ : state) {
        const sky::DayValues values = sky::ComputeDay(place.latitude, place.longitude,
                                                      place.utcOffsetHours, {2026, 1, 1 + day});
        benchmark::DoNotOptimize(values);
        day = (day + 1) % 365;
    }
}

void Register()
{
    for (const Place &place : kPlaces)
        benchmark::RegisterBenchmark((std::string("ComputeDay/") + place.name).c_str(), ComputeDay, place)
            ->Unit(benchmark::kMicrosecond)
            ->Repetitions(kRepetitions)
            ->ReportAggregatesOnly(true);
}

} // namespace

int main(int argc, char **argv)
{
    Register();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
