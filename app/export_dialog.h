#pragma once
// The small window of File > Export: the output (a file or a folder) and the options the
// command line's export takes for that kind of file, read when "OK" is pressed. It hands the
// request to its owner and closes once the owner has written it; a refused field or a failed
// export keeps it open with what was typed.

#include <functional>
#include <map>
#include <string>

#include "exports/export_run.h"
#include "platform/platform.h"

namespace vantrel {

enum class ExportKind { Sofa, Frd, Clf, SplTables, Html };

namespace export_ids {
inline constexpr int kOk = 1, kCancel = 2, kBrowse = 3;
inline constexpr int kOutput = 10;
inline constexpr int kTitle = 11, kAuthor = 12, kOrganization = 13, kLicense = 14, kSourceType = 15;
inline constexpr int kManufacturer = 16, kDescription = 17, kAllPoints = 18;
inline constexpr int kPrefix = 19, kUnwrapped = 20;
inline constexpr int kClfVersion = 21, kModel = 22, kDistance = 23, kDriveVolts = 24;
} // namespace export_ids

// The texts of the window's edits and the marks of its check boxes, by control id.
using ExportFields = std::map<int, std::string>;

// The request the fields of that kind ask for, output included; the reason when a field is
// refused (a number that is not one, a CLF version other than 1 or 2, no output).
[[nodiscard]] std::string exportRequestFromFields(ExportKind kind, const ExportFields& fields, ExportRequest& request,
                                                  bool& allPoints);

class ExportDialog final : public WindowClient {
public:
    // True when the request was written; the dialog then closes.
    using Write = std::function<bool(const ExportRequest& request, bool allPoints)>;

    void open(Platform& platform, WindowHost& owner, ExportKind kind, const std::string& suggestedOutput, Write write);
    bool isOpen() const { return host_ != nullptr; }

    void command(int id, int code) override;
    void closeRequested() override;

private:
    void close();

    WindowHost* host_ = nullptr;
    ExportKind kind_ = ExportKind::Sofa;
    Write write_;
};

} // namespace vantrel
