#pragma once
// Balloon files behind the HTTP interface: an upload checked by the balloon reader, and the
// exports of `vantrel-cli export` handed out as one file each (FRD and the CTA-2034 tables, a
// folder of files, as one tar archive).

#include <QByteArray>
#include <string>
#include <string_view>

namespace vantrel {

inline constexpr std::string_view kApiExportFormats[] = {"sofa", "frd", "clf", "spinorama", "html"};

struct ExportedFile {
    QByteArray bytes;
    QByteArray mimeType;
    std::string fileName;
};

// The balloon at path (with its measurement record beside it, if any) exported as format.
// Empty on success, else why not; usage tells whether the balloon or format is at fault (else
// the system could not write or read its own temporary files).
std::string exportBalloon(const std::string& path, std::string_view format, ExportedFile& out, bool& usage);

// A balloon file as the analyses load it: empty when it reads, else the reader's refusal.
// summary: its grid and valid band in words.
std::string checkBalloon(const std::string& path, std::string& summary);

// A POSIX tar archive (ustar) of the regular files directly inside directory, sorted by name.
QByteArray tarOfDirectory(const std::string& directory, std::string& error);

} // namespace vantrel
