#include "app/export_dialog.h"

#include <array>
#include <span>

#include "platform/number_text.h"

namespace vantrel {

namespace {

using namespace export_ids;
using CK = ControlKind;

constexpr std::string_view kCaption = "Export";
constexpr int kLabelX = 10, kFieldX = 150, kFieldW = 300, kRowH = 28;
constexpr int y(int row) { return 12 + row * kRowH; }

#define VANTREL_OUTPUT_ROW(label)                                                                                   \
    {-1, CK::Static, label, kLabelX, y(0) + 3, 135, 20}, {kOutput, CK::Edit, "", kFieldX, y(0), kFieldW - 90, 22},  \
        {kBrowse, CK::PushButton, "Browse...", kFieldX + kFieldW - 85, y(0), 85, 22}
#define VANTREL_EDIT_ROW(row, id, label)                                                                            \
    {-1, CK::Static, label, kLabelX, y(row) + 3, 135, 20}, {id, CK::Edit, "", kFieldX, y(row), kFieldW, 22}
#define VANTREL_BUTTONS(row)                                                                                        \
    {kOk, CK::PushButton, "OK", kFieldX + kFieldW - 180, y(row) + 6, 85, 26},                                        \
        {kCancel, CK::PushButton, "Cancel", kFieldX + kFieldW - 85, y(row) + 6, 85, 26}

constexpr int kWidth = kFieldX + kFieldW + 12;
constexpr Rgb kBackground{236, 236, 236};

constexpr ControlSpec kSofaControls[] = {
    VANTREL_OUTPUT_ROW("SOFA file"),
    VANTREL_EDIT_ROW(1, kTitle, "Title"),
    VANTREL_EDIT_ROW(2, kAuthor, "Author contact"),
    VANTREL_EDIT_ROW(3, kOrganization, "Organization"),
    VANTREL_EDIT_ROW(4, kLicense, "License"),
    VANTREL_EDIT_ROW(5, kSourceType, "Source type"),
    VANTREL_EDIT_ROW(6, kManufacturer, "Manufacturer"),
    VANTREL_EDIT_ROW(7, kDescription, "Description"),
    {kAllPoints, CK::CheckBox, "All 750 stored points, not only the valid band", kFieldX, y(8), kFieldW, 22},
    VANTREL_BUTTONS(9),
};
constexpr ControlSpec kFrdControls[] = {
    VANTREL_OUTPUT_ROW("FRD folder"),
    VANTREL_EDIT_ROW(1, kPrefix, "File name prefix"),
    {kUnwrapped, CK::CheckBox, "Unwrapped phase", kFieldX, y(2), kFieldW, 22},
    {kAllPoints, CK::CheckBox, "All 750 stored points, not only the valid band", kFieldX, y(3), kFieldW, 22},
    VANTREL_BUTTONS(4),
};
constexpr ControlSpec kClfControls[] = {
    VANTREL_OUTPUT_ROW("CLF file"),
    VANTREL_EDIT_ROW(1, kClfVersion, "CLF version (1, 2)"),
    VANTREL_EDIT_ROW(2, kModel, "Model"),
    VANTREL_EDIT_ROW(3, kManufacturer, "Manufacturer"),
    VANTREL_EDIT_ROW(4, kDistance, "Distance [m]"),
    VANTREL_EDIT_ROW(5, kDriveVolts, "Drive voltage [V]"),
    VANTREL_BUTTONS(6),
};
constexpr ControlSpec kSplControls[] = {
    VANTREL_OUTPUT_ROW("SPL tables folder"),
    VANTREL_BUTTONS(1),
};
constexpr ControlSpec kHtmlControls[] = {
    VANTREL_OUTPUT_ROW("HTML page"),
    VANTREL_BUTTONS(1),
};

#undef VANTREL_OUTPUT_ROW
#undef VANTREL_EDIT_ROW
#undef VANTREL_BUTTONS

constexpr int height(int rows) { return y(rows) + 40; }

constexpr WindowSpec kSpecs[] = {
    {"export", "Export SOFA", kWidth, height(9), kBackground, kSofaControls},
    {"export", "Export FRD", kWidth, height(4), kBackground, kFrdControls},
    {"export", "Export CLF", kWidth, height(6), kBackground, kClfControls},
    {"export", "Export SPL Tables", kWidth, height(1), kBackground, kSplControls},
    {"export", "Export HTML Page", kWidth, height(1), kBackground, kHtmlControls},
};

const WindowSpec& specOf(ExportKind kind) { return kSpecs[static_cast<int>(kind)]; }

bool folderKind(ExportKind kind) { return kind == ExportKind::Frd || kind == ExportKind::SplTables; }

std::string field(const ExportFields& fields, int id)
{
    auto it = fields.find(id);
    return it == fields.end() ? std::string() : it->second;
}

// A positive decimal, as the command line's option takes it; empty keeps the default.
std::string positiveDecimal(const ExportFields& fields, int id, std::string_view name, double& value)
{
    const std::string text = field(fields, id);
    if (text.empty())
        return {};
    double v = 0;
    if (!parseDecimal(text, v) || !(v > 0))
        return name.empty() ? std::string() : std::string(name) + " must be a number above 0, not \"" + text + "\"";
    value = v;
    return {};
}

} // namespace

std::string exportRequestFromFields(ExportKind kind, const ExportFields& fields, ExportRequest& request, bool& allPoints)
{
    ExportRequest r;
    const std::string output = field(fields, kOutput);
    if (output.empty())
        return std::string("Choose the ") + (folderKind(kind) ? "folder" : "file") + " to write.";
    allPoints = field(fields, kAllPoints) == "1";
    switch (kind) {
    case ExportKind::Sofa:
        r.sofa = output;
        r.metadata.title = field(fields, kTitle);
        r.metadata.author = field(fields, kAuthor);
        r.metadata.organization = field(fields, kOrganization);
        r.metadata.license = field(fields, kLicense);
        r.metadata.sourceType = field(fields, kSourceType);
        r.metadata.manufacturer = field(fields, kManufacturer);
        r.metadata.description = field(fields, kDescription);
        break;
    case ExportKind::Frd:
        r.frd = output;
        r.prefix = field(fields, kPrefix);
        r.phase = field(fields, kUnwrapped) == "1" ? FrdPhase::Unwrapped : FrdPhase::Wrapped;
        break;
    case ExportKind::Clf: {
        r.clf = output;
        const std::string version = field(fields, kClfVersion);
        if (version == "1" || version == "2")
            r.clfOptions.version = version[0] - '0';
        else if (!version.empty())
            return "The CLF version is 1 or 2 (empty: by the balloon's grid), not \"" + version + "\".";
        r.clfOptions.model = field(fields, kModel);
        r.metadata.manufacturer = field(fields, kManufacturer);
        if (auto e = positiveDecimal(fields, kDistance, "The distance", r.clfOptions.distanceMetres); !e.empty())
            return e + " (metres).";
        if (auto e = positiveDecimal(fields, kDriveVolts, "The drive voltage", r.clfOptions.driveVolts); !e.empty())
            return e + " (volts).";
        break;
    }
    case ExportKind::SplTables: r.spinorama = output; break;
    case ExportKind::Html: r.html = output; break;
    }
    request = std::move(r);
    return {};
}

void ExportDialog::open(Platform& platform, WindowHost& owner, ExportKind kind, const std::string& suggestedOutput,
                        Write write)
{
    if (host_)
        close();
    kind_ = kind;
    write_ = std::move(write);
    host_ = &platform.createWindow(specOf(kind), *this, &owner, true);
    host_->setText(kOutput, suggestedOutput);
    if (kind == ExportKind::Clf) {
        host_->setText(kDistance, "1");
        host_->setText(kDriveVolts, "1");
    }
    host_->raise();
}

void ExportDialog::command(int id, int code)
{
    if (!host_ || code != kNotifyClicked)
        return;
    switch (id) {
    case kBrowse: {
        FileDialogSpec dialog;
        dialog.save = !folderKind(kind_);
        dialog.folder = folderKind(kind_);
        static constexpr std::string_view kFilters[][2] = {{"SOFA Files (*.sofa)", "*.sofa"},
                                                           {"", ""},
                                                           {"CLF Text (*.tab)", "*.tab"},
                                                           {"", ""},
                                                           {"HTML Pages (*.html)", "*.html"}};
        dialog.filterName = kFilters[static_cast<int>(kind_)][0];
        dialog.filterPattern = kFilters[static_cast<int>(kind_)][1];
        dialog.initialPath = host_->text(kOutput);
        if (auto path = host_->fileDialog(dialog))
            host_->setText(kOutput, *path);
        return;
    }
    case kOk: {
        ExportFields fields;
        for (int f = kOutput; f <= kDriveVolts; ++f)
            fields[f] = (f == kAllPoints || f == kUnwrapped) ? (host_->isChecked(f) ? "1" : "0") : host_->text(f);
        ExportRequest request;
        bool allPoints = false;
        if (std::string error = exportRequestFromFields(kind_, fields, request, allPoints); !error.empty()) {
            host_->message(error, kCaption, MessageIcon::Warning);
            return;
        }
        if (write_(request, allPoints))
            close();
        return;
    }
    case kCancel: close(); return;
    default: return;
    }
}

void ExportDialog::closeRequested() { close(); }

void ExportDialog::close()
{
    if (!host_)
        return;
    WindowHost* host = host_;
    host_ = nullptr;
    host->destroy();
}

} // namespace vantrel
