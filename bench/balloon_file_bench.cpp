// A balloon file's save and load beside a plain copy of a file of the same 16 MB on the same
// disk (the working directory). The save flushes its temporary file to disk before the rename,
// so the copy is measured both without and with that flush.

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

#include "balloon/balloon_file.h"

namespace {

namespace fs = std::filesystem;
using vantrel::BalloonMatrix;

constexpr std::size_t kImage = BalloonMatrix::kBlockBytes;

// A scratch directory beside the working directory, removed at exit.
const fs::path& scratch()
{
    static const fs::path dir = [] {
        std::string pattern = (fs::current_path() / "balloon-bench-XXXXXX").string();
        fs::path p = mkdtemp(pattern.data());
        std::atexit([] { std::error_code ec; fs::remove_all(scratch(), ec); });
        return p;
    }();
    return dir;
}

BalloonMatrix filledMatrix()
{
    auto m = BalloonMatrix::create();
    if (!m)
        std::abort();
    auto bytes = m->bytes();
    for (std::size_t i = 0; i < BalloonMatrix::kTrailerOffset; ++i)
        bytes[i] = static_cast<std::byte>(i * 131u >> 7);
    return std::move(*m);
}

const std::string& sourceFile()
{
    static const std::string path = [] {
        std::string p = (scratch() / "source.BAL").string();
        BalloonMatrix m = filledMatrix();
        if (vantrel::saveBalloon(p, m, vantrel::kInitialBalloonTrailer))
            std::abort();
        return p;
    }();
    return path;
}

bool readWhole(int fd, char* to, std::size_t size)
{
    std::size_t got = 0;
    while (got < size) {
        const ssize_t n = ::read(fd, to + got, size - got);
        if (n <= 0)
            return false;
        got += static_cast<std::size_t>(n);
    }
    return true;
}

bool writeWhole(int fd, const char* from, std::size_t size)
{
    std::size_t put = 0;
    while (put < size) {
        const ssize_t n = ::write(fd, from + put, size - put);
        if (n <= 0)
            return false;
        put += static_cast<std::size_t>(n);
    }
    return true;
}

// The baseline: read the 16 MB file into memory and write it to a second file.
void plainCopy(benchmark::State& state, bool flush)
{
    const std::string target = (scratch() / "copy.BAL").string();
    std::vector<char> buffer(kImage);
    for (auto _ : state) {
        const int in = ::open(sourceFile().c_str(), O_RDONLY);
        const int out = ::open(target.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const bool ok = in >= 0 && out >= 0 && readWhole(in, buffer.data(), kImage) &&
                        writeWhole(out, buffer.data(), kImage) && (!flush || ::fsync(out) == 0);
        ::close(in);
        ::close(out);
        if (!ok)
            state.SkipWithError("copy failed");
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kImage));
}

void BM_PlainCopy(benchmark::State& state) { plainCopy(state, false); }
void BM_PlainCopyFlushed(benchmark::State& state) { plainCopy(state, true); }

void BM_SaveBalloon(benchmark::State& state)
{
    BalloonMatrix m = filledMatrix();
    const std::string target = (scratch() / "saved.BAL").string();
    for (auto _ : state) {
        if (vantrel::saveBalloon(target, m, vantrel::kInitialBalloonTrailer))
            state.SkipWithError("save failed");
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kImage));
}

void BM_LoadBalloon(benchmark::State& state)
{
    auto m = BalloonMatrix::create();
    for (auto _ : state) {
        const auto loaded = vantrel::loadBalloon(sourceFile(), *m);
        if (!loaded)
            state.SkipWithError("load failed");
        benchmark::DoNotOptimize(m->bytes().data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kImage));
}

BENCHMARK(BM_PlainCopy)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PlainCopyFlushed)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_SaveBalloon)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_LoadBalloon)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
