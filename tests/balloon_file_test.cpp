#include <cmath>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <vector>

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include "balloon/balloon_file.h"
#include "temp_dir.h"

namespace vantrel {
namespace {

namespace fs = std::filesystem;
using testing::TempDir;

constexpr std::size_t kImage = BalloonMatrix::kBlockBytes;

std::vector<char> readAll(const fs::path& p)
{
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeAll(const fs::path& p, const std::vector<char>& bytes)
{
    std::ofstream out(p, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

BalloonMatrix makeMatrix()
{
    auto m = BalloonMatrix::create();
    EXPECT_TRUE(m.has_value());
    return std::move(*m);
}

// Every byte of the block gets a value depending on its offset, so that any misplaced or
// dropped byte shows; the trailer is left for the save to fill.
void pattern(BalloonMatrix& m, unsigned seed)
{
    auto bytes = m.bytes();
    for (std::size_t i = 0; i < BalloonMatrix::kTrailerOffset; ++i)
        bytes[i] = static_cast<std::byte>((i * 2654435761u + seed) >> 13);
}

bool sameBlock(const BalloonMatrix& a, const BalloonMatrix& b)
{
    return std::memcmp(a.bytes().data(), b.bytes().data(), kImage) == 0;
}

std::vector<fs::path> entries(const fs::path& dir)
{
    std::vector<fs::path> out;
    for (const auto& e : fs::directory_iterator(dir))
        out.push_back(e.path().filename());
    return out;
}

const BalloonTrailer kSettings{7, 6, 2, 345, 1, 4, 1};

TEST(BalloonFile, SaveThenLoadRestoresEveryByteAndTheSettings)
{
    TempDir dir;
    const std::string path = (dir.path() / "b.BAL").string();
    BalloonMatrix saved = makeMatrix();
    pattern(saved, 1);
    // Column 73, bins 750..759 and the rows the 10-degree grid never uses are in the image too.
    saved.cell(36, 73)[759] = {1.5f, -2.5f};
    saved.cell(30, 50)[750] = {std::numeric_limits<float>::quiet_NaN(), 3.0f};

    ASSERT_EQ(saveBalloon(path, saved, kSettings), std::nullopt);
    EXPECT_EQ(fs::file_size(path), 16'647'072u);
    EXPECT_EQ(saved.settings().unused, 0.0f);
    EXPECT_EQ(saved.settings().fftWindowPosition, 345.0f);

    BalloonMatrix loaded = makeMatrix();
    const auto result = loadBalloon(path, loaded);
    ASSERT_TRUE(result) << result.error;
    EXPECT_EQ(*result.settings, kSettings);
    EXPECT_TRUE(sameBlock(saved, loaded));
    EXPECT_EQ(entries(dir.path()), std::vector<fs::path>{"b.BAL"});

    // Saved again under another name the file is byte for byte the same.
    const std::string again = (dir.path() / "c.BAL").string();
    ASSERT_EQ(saveBalloon(again, loaded, *result.settings), std::nullopt);
    EXPECT_EQ(readAll(path), readAll(again));
}

TEST(BalloonFile, AFileOfAnyOtherSizeIsNotRecognizedAndChangesNothing)
{
    TempDir dir;
    BalloonMatrix m = makeMatrix();
    pattern(m, 2);
    m.writeTrailer(kSettings);
    BalloonMatrix before = makeMatrix();
    std::memcpy(before.bytes().data(), m.bytes().data(), kImage);

    for (std::size_t size : {kImage - 1, kImage + 1, std::size_t{100}, std::size_t{0}}) {
        const fs::path p = dir.path() / (std::to_string(size) + ".BAL");
        writeAll(p, std::vector<char>(size, '\x11'));
        const auto result = loadBalloon(p.string(), m);
        EXPECT_FALSE(result) << size;
        EXPECT_EQ(result.error, "This Balloon File is NOT Recognized") << size;
        EXPECT_TRUE(sameBlock(m, before)) << size;
    }
}

TEST(BalloonFile, MissingFilesAndDirectoriesAreReportedWithThePathAndReason)
{
    TempDir dir;
    BalloonMatrix m = makeMatrix();
    const std::string missing = (dir.path() / "none.BAL").string();
    const auto result = loadBalloon(missing, m);
    EXPECT_FALSE(result);
    EXPECT_EQ(result.error, missing + "\n\n" + std::strerror(ENOENT));

    const auto onDir = loadBalloon(dir.path().string(), m);
    EXPECT_FALSE(onDir);
    EXPECT_NE(onDir.error.find(dir.path().string()), std::string::npos);
}

// A source that ends before the whole image arrived (a file cut short after its size was
// taken) leaves the matrix as it was.
TEST(BalloonFile, AShortReadChangesNothingInMemory)
{
    BalloonMatrix m = makeMatrix();
    pattern(m, 3);
    BalloonMatrix before = makeMatrix();
    std::memcpy(before.bytes().data(), m.bytes().data(), kImage);

    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    std::vector<char> part(4096, '\x7f');
    ASSERT_EQ(write(fds[1], part.data(), part.size()), static_cast<ssize_t>(part.size()));
    close(fds[1]);
    const auto result = readBalloonImage(fds[0], "/x/b.BAL", m);
    close(fds[0]);
    EXPECT_FALSE(result);
    EXPECT_EQ(result.error, "/x/b.BAL\n\nThe file ended after 4096 of 16647072 bytes.");
    EXPECT_TRUE(sameBlock(m, before));
}

BalloonSettings words(float w0, float w1, float w2, float w4, std::int32_t from, std::int32_t to, std::int32_t grid)
{
    return {w0, w1, w2, 0.0f, w4, from, to, grid};
}

TEST(BalloonFile, FloatWordsTruncateTowardZero)
{
    const auto t = sanitizeTrailer(words(2.9f, -0.5f, 5.99f, 399.7f, 0, 7, 1));
    EXPECT_EQ(t, (BalloonTrailer{2, 0, 5, 399, 0, 7, 1}));
}

TEST(BalloonFile, WordsOutsideTheirRangesLoadAsInitialValues)
{
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    EXPECT_EQ(sanitizeTrailer(words(10.0f, 8.0f, 6.0f, 401.0f, 3, 6, 0)), kInitialBalloonTrailer);
    EXPECT_EQ(sanitizeTrailer(words(nan, inf, -inf, -1.0f, 3, 6, 0)), kInitialBalloonTrailer);
    EXPECT_EQ(sanitizeTrailer(words(-1e30f, 1e30f, nan, nan, 3, 6, 0)), kInitialBalloonTrailer);
    // A "From:" of 12 or a "To:" of -1 would index past the frequency tables: both fall back.
    EXPECT_EQ(sanitizeTrailer(words(1, 1, 1, 1, 12, 2, 0)).fromIndex, 3);
    EXPECT_EQ(sanitizeTrailer(words(1, 1, 1, 1, 12, 2, 0)).toIndex, 6);
    EXPECT_EQ(sanitizeTrailer(words(1, 1, 1, 1, 2, -1, 0)).toIndex, 6);
    // 1000 Hz up to 500 Hz is no axis.
    const auto inverted = sanitizeTrailer(words(1, 1, 1, 1, 9, 0, 0));
    EXPECT_EQ(inverted.fromIndex, 3);
    EXPECT_EQ(inverted.toIndex, 6);
    // 500 Hz up to 1 kHz is.
    EXPECT_EQ(sanitizeTrailer(words(1, 1, 1, 1, 8, 1, 0)).fromIndex, 8);
    // Any grid word but 1 means the 5-degree grid.
    EXPECT_EQ(sanitizeTrailer(words(1, 1, 1, 1, 3, 6, 7)).angleGridFlag, 0);
    EXPECT_EQ(sanitizeTrailer(words(1, 1, 1, 1, 3, 6, -1)).angleGridFlag, 0);
    EXPECT_EQ(sanitizeTrailer(words(1, 1, 1, 1, 3, 6, 1)).angleGridFlag, 1);
}

TEST(BalloonFile, OutOfRangeWordsStillLoadTheCells)
{
    TempDir dir;
    const fs::path p = dir.path() / "odd.BAL";
    BalloonMatrix source = makeMatrix();
    pattern(source, 4);
    source.settings() = words(std::numeric_limits<float>::quiet_NaN(), 99.0f, 2.9f, -0.5f, 12, 6, 5);
    writeAll(p, std::vector<char>(reinterpret_cast<const char*>(source.bytes().data()),
                                  reinterpret_cast<const char*>(source.bytes().data()) + kImage));
    BalloonMatrix m = makeMatrix();
    const auto result = loadBalloon(p.string(), m);
    ASSERT_TRUE(result) << result.error;
    EXPECT_EQ(*result.settings, (BalloonTrailer{0, 5, 2, 0, 3, 6, 0}));
    EXPECT_TRUE(sameBlock(m, source));
}

class FailedSave : public ::testing::Test {
protected:
    void SetUp() override
    {
        path = (dir.path() / "b.BAL").string();
        BalloonMatrix first = makeMatrix();
        pattern(first, 5);
        ASSERT_EQ(saveBalloon(path, first, kSettings), std::nullopt);
        original = readAll(path);
        pattern(newer, 6);
    }
    void expectOldFileKept(const std::optional<std::string>& error, const std::string& reason)
    {
        ASSERT_TRUE(error.has_value());
        EXPECT_EQ(*error, path + "\n\n" + reason);
        EXPECT_TRUE(readAll(path) == original);
        EXPECT_EQ(entries(dir.path()), std::vector<fs::path>{"b.BAL"});
    }

    TempDir dir;
    std::string path;
    std::vector<char> original;
    BalloonMatrix newer = makeMatrix();
};

TEST_F(FailedSave, AFileSizeLimitKeepsTheOldFileAndNamesTheReason)
{
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limited = saved;
    limited.rlim_cur = 1 << 20;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
    const auto error = saveBalloon(path, newer, kSettings);
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previousHandler);
    expectOldFileKept(error, std::strerror(EFBIG));
}

TEST_F(FailedSave, ADirectoryOfThatNameIsNotReplaced)
{
    const std::string target = (dir.path() / "d.BAL").string();
    fs::create_directory(target);
    const auto error = saveBalloon(target, newer, kSettings);
    ASSERT_TRUE(error.has_value());
    EXPECT_EQ(*error, target + "\n\n" + std::strerror(EISDIR));
    EXPECT_TRUE(fs::is_directory(target));
    EXPECT_EQ(entries(dir.path()).size(), 2u);
}

TEST_F(FailedSave, AReadOnlyDirectoryKeepsTheOldFile)
{
    if (geteuid() == 0)
        GTEST_SKIP() << "permissions do not bind the super-user";
    fs::permissions(dir.path(), fs::perms::owner_read | fs::perms::owner_exec);
    const auto error = saveBalloon(path, newer, kSettings);
    fs::permissions(dir.path(), fs::perms::owner_all);
    expectOldFileKept(error, std::strerror(EACCES));
}

TEST_F(FailedSave, AWriteProtectedFileStaysAsItWas)
{
    if (geteuid() == 0)
        GTEST_SKIP() << "permissions do not bind the super-user";
    fs::permissions(path, fs::perms::owner_read);
    const auto error = saveBalloon(path, newer, kSettings);
    fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write);
    expectOldFileKept(error, std::strerror(EACCES));
}

TEST_F(FailedSave, AMissingDirectoryIsReported)
{
    const std::string nowhere = (dir.path() / "no" / "b.BAL").string();
    const auto error = saveBalloon(nowhere, newer, kSettings);
    ASSERT_TRUE(error.has_value());
    EXPECT_EQ(*error, nowhere + "\n\n" + std::strerror(ENOENT));
}

TEST(BalloonFile, ASaveKeepsTheReplacedFilesModeAndFollowsALink)
{
    TempDir dir;
    const fs::path target = dir.path() / "real.BAL";
    BalloonMatrix m = makeMatrix();
    ASSERT_EQ(saveBalloon(target.string(), m, kSettings), std::nullopt);
    fs::permissions(target, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    const fs::path link = dir.path() / "link.BAL";
    fs::create_symlink(target, link);

    pattern(m, 7);
    ASSERT_EQ(saveBalloon(link.string(), m, kSettings), std::nullopt);
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(fs::status(target).permissions(),
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    BalloonMatrix back = makeMatrix();
    ASSERT_TRUE(loadBalloon(target.string(), back));
    EXPECT_TRUE(sameBlock(m, back));
}

} // namespace
} // namespace vantrel
