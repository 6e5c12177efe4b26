#pragma once
// The report window of the Analysis menu: the pictures and tables of an analysis on tabs,
// scrolled and zoomed (buttons, Ctrl+wheel, Ctrl+plus/minus/0, one ladder of steps), and
// "Save All..." writing each under its own name into a folder.

#include <string>
#include <vector>

#include "analysis/directivity_report.h"
#include "platform/platform.h"

namespace vantrel {

namespace report_ids {
inline constexpr int kSaveAll = 1, kZoomIn = 2, kZoomOut = 3, kZoomText = 4, kTabs = 10;
// The keys of the zoom: Ctrl++ (or Ctrl+= without Shift), Ctrl+- and Ctrl+0 back to 100 %.
inline constexpr int kZoomInKey = 5, kZoomInEqualsKey = 6, kZoomOutKey = 7, kZoomResetKey = 8;
} // namespace report_ids

class ReportWindow final : public WindowClient {
public:
    // Shows items grouped by their tab, in the order of their first item; a window already
    // open shows the new report in place of the old.
    void open(Platform& platform, WindowHost& owner, const std::string& title, std::vector<ReportItem> items);
    bool isOpen() const { return host_ != nullptr; }
    int zoomPercent() const { return zoom_; }

    void command(int id, int code) override;
    void closeRequested() override;

private:
    // steps along the zoom ladder, held at its ends.
    void zoomBy(int steps);
    void showZoom();
    void saveAll();

    Platform* platform_ = nullptr;
    WindowHost* host_ = nullptr;
    std::vector<ReportItem> items_;
    std::string folder_;
    int zoom_ = 100;
};

} // namespace vantrel
