// The autosave's cost per stored point (one cell written in place and flushed, then the
// progress record replaced and flushed) beside the safe save of the whole balloon file, on the
// same disk (the working directory).

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "balloon/balloon_autosave.h"
#include "balloon/balloon_file.h"

namespace {

namespace fs = std::filesystem;
using namespace vantrel;

const fs::path& scratch()
{
    static const fs::path dir = [] {
        std::string pattern = (fs::current_path() / "autosave-bench-XXXXXX").string();
        fs::path p = mkdtemp(pattern.data());
        std::atexit([] { std::error_code ec; fs::remove_all(scratch(), ec); });
        return p;
    }();
    return dir;
}

void AutosavePerPoint(benchmark::State& state)
{
    auto m = BalloonMatrix::create();
    BalloonAutosave autosave(scratch().string());
    AutosaveProgress p;
    if (!m || autosave.start(*m, kInitialBalloonTrailer, {}, p))
        state.SkipWithError("cannot start the autosave");
    int point = 0;
    for (auto _ : state) {
        const CellIndex cell{point / 37 % 18, point % 37};
        m->cell(cell.row, cell.column)[0].re = static_cast<float>(point);
        p.pointsDone = ++point % 667;
        if (autosave.storeCell(*m, cell, p))
            state.SkipWithError("cell not stored");
    }
}
BENCHMARK(AutosavePerPoint)->Unit(benchmark::kMillisecond);

void SafeSaveWholeBalloon(benchmark::State& state)
{
    auto m = BalloonMatrix::create();
    const std::string path = (scratch() / "whole.BAL").string();
    for (auto _ : state)
        if (saveBalloon(path, *m, kInitialBalloonTrailer))
            state.SkipWithError("save failed");
}
BENCHMARK(SafeSaveWholeBalloon)->Unit(benchmark::kMillisecond);

} // namespace
