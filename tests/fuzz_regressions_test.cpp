// Replays tests/fuzz-regressions/<target>/* through the fuzz entries, and the seeds of
// fuzz/seeds/<target>/ as well, so that a reader that breaks on a known input fails here in the
// ordinary build (an entry aborts on a broken promise).

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "fuzz/fuzz_entries.h"

namespace {

namespace fs = std::filesystem;

std::vector<std::uint8_t> readAll(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

int replay(const vantrel::fuzz::Target& target, const fs::path& folder)
{
    int count = 0;
    if (!fs::is_directory(folder))
        return 0;
    for (const auto& entry : fs::directory_iterator(folder)) {
        if (!entry.is_regular_file())
            continue;
        SCOPED_TRACE(entry.path().string());
        const std::vector<std::uint8_t> bytes = readAll(entry.path());
        EXPECT_EQ(target.entry({bytes.data(), bytes.size()}), 0);
        ++count;
    }
    return count;
}

TEST(FuzzRegressions, EveryTargetReplaysItsSeedsAndFindings)
{
    const fs::path source = VANTREL_TEST_SOURCE_DIR;
    for (const auto& target : vantrel::fuzz::targets()) {
        SCOPED_TRACE(std::string(target.name));
        const int seeds = replay(target, source / "fuzz" / "seeds" / target.name);
        const int findings = replay(target, source / "tests" / "fuzz-regressions" / target.name);
        // A target without a single input would test nothing.
        EXPECT_GT(seeds + findings, 0);
    }
}

// The entries hold to what their readers promise on inputs made by hand.
TEST(FuzzRegressions, HandMadeEdgesOfEachReader)
{
    using vantrel::fuzz::Bytes;
    auto run = [](int (*entry)(Bytes), std::string_view text) {
        return entry({reinterpret_cast<const std::uint8_t*>(text.data()), text.size()});
    };
    // *.RES tails: both accepted sizes, a field without an end, an index past the lists.
    EXPECT_EQ(run(vantrel::fuzz::resRecording, std::string_view("5\0\0\0" "5\0\0\0", 8)), 0);
    EXPECT_EQ(run(vantrel::fuzz::resRecording, std::string_view("6 abc5xyz01234567890123456789", 28)), 0);
    EXPECT_EQ(run(vantrel::fuzz::resRecording, "99995\0\0\0"), 0);
    EXPECT_EQ(run(vantrel::fuzz::resRecording, std::string_view("8\0\0\0" "6\0\0\0", 8)), 0);
    EXPECT_EQ(run(vantrel::fuzz::resRecording, ""), 0);
    // Target files: a level beyond a float, signs and exponents without digits, a huge phase.
    EXPECT_EQ(run(vantrel::fuzz::targetFile, "20 1E999 5\r\n30 -1 1E400\r\n"), 0);
    EXPECT_EQ(run(vantrel::fuzz::targetFile, "+-.E E. -- ++ 1E+-3"), 0);
    // Preferences: an empty file, one byte, and every byte 0xFF (NaN floats, negative ints).
    EXPECT_EQ(run(vantrel::fuzz::preferences, ""), 0);
    EXPECT_EQ(run(vantrel::fuzz::preferences, "\x01"), 0);
    EXPECT_EQ(vantrel::fuzz::preferences(Bytes(std::vector<std::uint8_t>(6116, 0xFF))), 0);
    // Scripts: broken quoting, a lone escape, huge numbers.
    EXPECT_EQ(run(vantrel::fuzz::sessionScript, "type fuzz 7 \"abc\\\nscroll fuzz 5 thumbposition 99999999999\n"
                                                "select fuzz 4 -1\nwait 4294967295\nscroll fuzz 6 pagedown\n"), 0);
    // Device names: a relative override, a name with a format directive.
    EXPECT_EQ(run(vantrel::fuzz::deviceNames, "COM5\nttyUSB3\nCOM5:9600,n,8,1\n%s%n%d"), 0);
    EXPECT_EQ(run(vantrel::fuzz::deviceNames, "COM099\n\nCOM1:0,n,8,1\n"), 0);
}

} // namespace
