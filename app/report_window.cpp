#include "app/report_window.h"

#include <algorithm>
#include <array>
#include <filesystem>

#include "exports/safe_output.h"

namespace vantrel {

namespace {

using namespace report_ids;
using CK = ControlKind;

constexpr std::string_view kCaption = "Report";
constexpr std::array<ControlSpec, 9> kReportControls{{
    {kSaveAll, CK::PushButton, "Save All...", 8, 8, 100, 26},
    {kZoomOut, CK::PushButton, "Zoom Out", 120, 8, 90, 26},
    {kZoomIn, CK::PushButton, "Zoom In", 214, 8, 90, 26},
    {kZoomText, CK::Static, "100 %", 314, 12, 80, 20},
    {kTabs, CK::PictureTabs, "", 0, 42, 1200, 758},
    {kZoomInKey, CK::Shortcut, "Ctrl++"},
    {kZoomInEqualsKey, CK::Shortcut, "Ctrl+="},
    {kZoomOutKey, CK::Shortcut, "Ctrl+-"},
    {kZoomResetKey, CK::Shortcut, "Ctrl+0"},
}};
const WindowSpec kReportSpec{"report", "Report", 1200, 800, {236, 236, 236}, kReportControls};

// Zoom steps: a quarter to four times.
constexpr std::array<int, 9> kZooms{25, 35, 50, 70, 100, 140, 200, 280, 400};

} // namespace

void ReportWindow::open(Platform& platform, WindowHost& owner, const std::string& title, std::vector<ReportItem> items)
{
    platform_ = &platform;
    if (!host_)
        host_ = &platform.createWindow(kReportSpec, *this, &owner, false);
    host_->setTitle(title);
    items_ = std::move(items);
    std::vector<PictureTab> tabs;
    for (const ReportItem& item : items_) {
        auto tab = std::find_if(tabs.begin(), tabs.end(), [&](const PictureTab& t) { return t.title == item.tab; });
        if (tab == tabs.end())
            tab = tabs.insert(tabs.end(), PictureTab{item.tab, {}, {}});
        if (item.draw)
            tab->pictures.push_back({item.width, item.height, item.draw});
        else
            tab->text += item.text;
    }
    host_->setPictureTabs(kTabs, std::move(tabs));
    showZoom();
    host_->raise();
}

void ReportWindow::showZoom()
{
    host_->setPictureZoom(kTabs, zoom_);
    host_->setText(kZoomText, std::to_string(zoom_) + " %");
    host_->enable(kZoomIn, zoom_ < kZooms.back());
    host_->enable(kZoomOut, zoom_ > kZooms.front());
}

void ReportWindow::zoomBy(int steps)
{
    const std::ptrdiff_t at = std::find(kZooms.begin(), kZooms.end(), zoom_) - kZooms.begin();
    zoom_ = kZooms[static_cast<std::size_t>(std::clamp<std::ptrdiff_t>(at + steps, 0, std::ssize(kZooms) - 1))];
    showZoom();
}

void ReportWindow::command(int id, int code)
{
    if (!host_)
        return;
    if (id == kTabs) {
        if (code == kNotifyZoomIn || code == kNotifyZoomOut)
            zoomBy(code == kNotifyZoomIn ? 1 : -1);
        return;
    }
    if (code != kNotifyClicked)
        return;
    switch (id) {
    case kZoomIn:
    case kZoomInKey:
    case kZoomInEqualsKey: zoomBy(1); return;
    case kZoomOut:
    case kZoomOutKey: zoomBy(-1); return;
    case kZoomResetKey:
        zoom_ = 100;
        showZoom();
        return;
    case kSaveAll: saveAll(); return;
    default: return;
    }
}

void ReportWindow::saveAll()
{
    FileDialogSpec dialog;
    dialog.folder = true;
    dialog.initialPath = folder_;
    const std::optional<std::string> chosen = host_->fileDialog(dialog);
    if (!chosen)
        return;
    folder_ = *chosen;
    std::error_code ec;
    std::filesystem::create_directories(folder_, ec);
    if (!std::filesystem::is_directory(folder_, ec)) {
        host_->message(folder_ + "\n\nThe folder cannot be made.", kCaption, MessageIcon::Warning);
        return;
    }
    std::string written;
    for (const ReportItem& item : items_) {
        if (item.file.empty())
            continue; // a note of the window's own, no file of the analysis
        const std::string path = (std::filesystem::path(folder_) / item.file).string();
        std::optional<std::string> error;
        if (item.draw) {
            // Under a hidden name until whole, as the tables are written.
            const std::string partial = (std::filesystem::path(folder_) / ("." + item.file + ".part")).string();
            error = platform_->savePicture(item.width, item.height, item.draw, partial);
            std::error_code ec;
            if (!error) {
                std::filesystem::rename(partial, path, ec);
                if (ec)
                    error = path + ": " + ec.message();
            }
            if (error)
                std::filesystem::remove(partial, ec);
        } else if (std::string failed = writeTextFile(path, item.text); !failed.empty()) {
            error = failed;
        }
        if (error) {
            host_->message(written + (written.empty() ? "" : "\n") + *error, kCaption, MessageIcon::Warning);
            return;
        }
        written += "wrote " + path + "\n";
    }
    host_->message(written, kCaption, MessageIcon::Information);
}

void ReportWindow::closeRequested()
{
    if (!host_)
        return;
    WindowHost* host = host_;
    host_ = nullptr;
    host->destroy();
}

} // namespace vantrel
