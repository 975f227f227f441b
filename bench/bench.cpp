// bench.cpp - how fast the simulated PC and the class INF patch are on
// real-sized inputs, each at two sizes to show the growth:
//   Registry/Load, Registry/Save, Registry/LoadSave  a REGEDIT4 export of
//       5 and 10 MB (about 30,000 and 60,000 keys)
//   Install                 a whole idesetup run on the K6417 sample PC
//       with such a registry merged in
//   PatchClassInf           the patch of a class INF of 2.5 and 5 MB
// Each reports the process's peak resident memory so far (peak_rss_MB);
// run one benchmark alone (--benchmark_filter) to read its own peak.
#include <benchmark/benchmark.h>

#include <sys/resource.h>

#include <string>

#include "classinf.h"
#include "generate.h"
#include "registry.h"
#include "sim.h"

namespace {

constexpr size_t kMB = 1000 * 1000;

double PeakRssMb()
{
    struct rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_maxrss) / 1024.0; // kilobytes on Linux
}

// The export of a size, made once per size.
const std::string &Export(size_t megabytes, size_t *keys)
{
    static std::string texts[16];
    static size_t counts[16];
    if (texts[megabytes].empty())
        texts[megabytes] = bench::Windows98Export(megabytes * kMB, &counts[megabytes]);
    *keys = counts[megabytes];
    return texts[megabytes];
}

void Report(benchmark::State &state, size_t bytes, size_t keys)
{
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(bytes));
    state.counters["keys"] = double(keys);
    state.counters["peak_rss_MB"] = PeakRssMb();
}

void RegistryLoad(benchmark::State &state)
{
    size_t keys;
    const std::string &text = Export(size_t(state.range(0)), &keys);
    for (auto _ : state) {
        sim::Registry registry;
        registry.Load(text);
        benchmark::DoNotOptimize(registry);
    }
    Report(state, text.size(), keys);
}

void RegistrySave(benchmark::State &state)
{
    size_t keys;
    const std::string &text = Export(size_t(state.range(0)), &keys);
    sim::Registry registry;
    registry.Load(text);
    for (auto _ : state) {
        std::string saved = registry.Save();
        benchmark::DoNotOptimize(saved);
    }
    Report(state, text.size(), keys);
}

void RegistryLoadSave(benchmark::State &state)
{
    size_t keys;
    const std::string &text = Export(size_t(state.range(0)), &keys);
    for (auto _ : state) {
        sim::Registry registry;
        registry.Load(text);
        std::string saved = registry.Save();
        if (saved.size() < text.size() / 2)
            state.SkipWithError("the saved export lost keys");
        benchmark::DoNotOptimize(saved);
    }
    Report(state, text.size(), keys);
}

// A whole installer run; building the PC is not timed.
void Install(benchmark::State &state)
{
    size_t keys;
    const std::string &text = Export(size_t(state.range(0)), &keys);
    for (auto _ : state) {
        state.PauseTiming();
        sim::Pc pc;
        pc.LoadFolder(std::string(IDE_SOURCE_DIR) + "/samples/win98-k6417");
        pc.LoadRegistry(text);
        pc.SetAnswers({"yes", "now"});
        state.ResumeTiming();
        sim::RunResult run = pc.Run(sim::IdeSetup(), "/D:K6417");
        if (run.exitCode != 0 || run.Lines("restart").size() != 1)
            state.SkipWithError("the install did not reach the restart");
        benchmark::DoNotOptimize(run);
    }
    Report(state, text.size(), keys);
}

void PatchClassInf(benchmark::State &state)
{
    const size_t bytes = size_t(state.range(0)) * kMB / 2;
    const std::string classInf = bench::ClassInf(bytes);
    sim::Pc pc;
    pc.LoadFolder(std::string(IDE_SOURCE_DIR) + "/samples/win98-k6417");
    pc.AddFile("C:\\WINDOWS\\INF\\MSHDC.INF", classInf);
    for (auto _ : state) {
        int patched = 0;
        pc.Invoke([&] {
            ProgramState = ProgramStateData{};
            ProgramState.Program = PROGRAM_SETUP;
            ProgramState.Variant = K6417;
            patched = ::PatchClassInf();
        });
        if (patched != 1)
            state.SkipWithError("the patch failed");
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(classInf.size()));
    state.counters["peak_rss_MB"] = PeakRssMb();
}

} // namespace

// Sizes in MB (the class INF's in half MB: 5 and 10 give 2.5 and 5 MB).
BENCHMARK(RegistryLoad)->Name("Registry/Load")->Arg(5)->Arg(10)->Unit(benchmark::kMillisecond);
BENCHMARK(RegistrySave)->Name("Registry/Save")->Arg(5)->Arg(10)->Unit(benchmark::kMillisecond);
BENCHMARK(RegistryLoadSave)->Name("Registry/LoadSave")->Arg(5)->Arg(10)->Unit(benchmark::kMillisecond);
BENCHMARK(Install)->Arg(5)->Arg(10)->Unit(benchmark::kMillisecond);
BENCHMARK(PatchClassInf)->Arg(5)->Arg(10)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
