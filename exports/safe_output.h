#pragma once
// Outputs appear under their final name only when complete: each is written under a temporary
// name in the same directory and renamed over the final name at the end (rename is atomic on
// one file system). A failure removes the temporary file and leaves any old file untouched.

#include <string>

namespace vantrel {

class TemporaryOutput {
public:
    explicit TemporaryOutput(std::string finalPath);
    ~TemporaryOutput(); // removes the temporary file unless published
    TemporaryOutput(const TemporaryOutput&) = delete;
    TemporaryOutput& operator=(const TemporaryOutput&) = delete;

    // Where to write: a hidden sibling of the final path, unique to this process.
    const std::string& temporaryPath() const { return temporaryPath_; }
    const std::string& finalPath() const { return finalPath_; }

    // Renames the temporary file to the final path. Empty on success, else the message.
    [[nodiscard]] std::string publish();

private:
    std::string finalPath_;
    std::string temporaryPath_;
    bool published_ = false;
};

// Writes text through a TemporaryOutput. Empty on success, else "cannot write PATH: reason".
[[nodiscard]] std::string writeTextFile(const std::string& path, const std::string& text);

// "cannot write PATH: reason" for the C library's errno.
std::string writeFailure(const std::string& path, int errorNumber);

} // namespace vantrel
