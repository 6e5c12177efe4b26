#include "exports/safe_output.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <unistd.h>

namespace vantrel {

namespace {

std::atomic<int> temporaryCounter{0};

} // namespace

std::string writeFailure(const std::string& path, int errorNumber)
{
    return "cannot write " + path + ": " + std::strerror(errorNumber);
}

TemporaryOutput::TemporaryOutput(std::string finalPath) : finalPath_(std::move(finalPath))
{
    const std::filesystem::path target(finalPath_);
    std::string hidden(".");
    hidden.append(target.filename().string())
        .append(".part-")
        .append(std::to_string(::getpid()))
        .append("-")
        .append(std::to_string(temporaryCounter.fetch_add(1)));
    temporaryPath_ = (target.parent_path() / hidden).string();
}

TemporaryOutput::~TemporaryOutput()
{
    if (!published_)
        std::remove(temporaryPath_.c_str());
}

std::string TemporaryOutput::publish()
{
    if (std::rename(temporaryPath_.c_str(), finalPath_.c_str()) != 0)
        return writeFailure(finalPath_, errno);
    published_ = true;
    return {};
}

std::string writeTextFile(const std::string& path, const std::string& text)
{
    TemporaryOutput output(path);
    std::FILE* file = std::fopen(output.temporaryPath().c_str(), "wb");
    if (file == nullptr)
        return writeFailure(path, errno);
    const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
    const int writeErrno = errno;
    const bool flushed = std::fflush(file) == 0 && ::fsync(::fileno(file)) == 0;
    const int flushErrno = errno;
    const bool closed = std::fclose(file) == 0;
    if (!written)
        return writeFailure(path, writeErrno);
    if (!flushed || !closed)
        return writeFailure(path, flushErrno);
    return output.publish();
}

} // namespace vantrel
