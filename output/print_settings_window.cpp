#include "output/print_settings_window.h"

#include <array>
#include <string_view>

namespace vantrel {

namespace {

using CK = ControlKind;
using namespace print_ids;

constexpr std::array<std::string_view, 4> kScaleTexts{"100 %", "30 %", "50 %", "80 %"};
constexpr std::array<int, 4> kScalePercents{100, 30, 50, 80};

constexpr std::array<ControlSpec, 22> kPrintControls{{
    {-1, CK::Static, "Printer", 12, 12, 60, 16},
    {kPrinterName, CK::Static, "", 80, 12, 248, 16},
    {-1, CK::Static, "Driver", 12, 32, 60, 16},
    {kDriver, CK::Static, "", 80, 32, 248, 16},
    {-1, CK::Static, "Port", 12, 52, 60, 16},
    {kPort, CK::Static, "", 80, 52, 248, 16},
    {-1, CK::GroupBox, "Scale", 10, 78, 150, 112},
    {kScaleList, CK::ListBox, "", 20, 98, 64, 80},
    {kScaleCaption, CK::Static, "", 92, 98, 62, 16},
    {-1, CK::GroupBox, "Picture", 170, 78, 160, 66},
    {kTallRadio, CK::RadioButton, "Tall: full height", 180, 96, 145, 20},
    {kWideRadio, CK::RadioButton, "Wide: half height", 180, 118, 145, 20},
    {-1, CK::Static, "Left", 172, 155, 50, 16},
    {kLeftEdit, CK::Edit, "", 228, 152, 70, 22},
    {-1, CK::Static, "Top", 172, 181, 50, 16},
    {kTopEdit, CK::Edit, "", 228, 178, 70, 22},
    {-1, CK::Static, "Colours", 172, 207, 50, 16},
    {kColourCountEdit, CK::Edit, "", 228, 204, 100, 22},
    {-1, CK::Static, "Margins in printer pixels.", 12, 198, 150, 16},
    {-1, CK::Static, "Right-click: copy window.", 12, 216, 156, 16},
    {kOk, CK::PushButton, "OK", 168, 240, 76, 26},
    {kCancel, CK::PushButton, "Cancel", 252, 240, 76, 26},
}};

std::string clipped(std::string text, std::size_t limit)
{
    if (text.size() > limit)
        text.resize(limit);
    return text;
}

} // namespace

const WindowSpec kPrintSettingsSpec{"print", "Print Settings", 340, 276, {236, 236, 236}, kPrintControls};

PrintSettingsWindow::PrintSettingsWindow(PrintLayout& layout, const PrinterDescription& printer,
                                         std::function<void()> copyToClipboard, std::function<void(int)> closed)
    : layout_(layout), printer_(printer), copyToClipboard_(std::move(copyToClipboard)), closed_(std::move(closed))
{
}

void PrintSettingsWindow::open(Platform& platform, WindowHost& owner)
{
    if (host_) {
        raise();
        return;
    }
    draft_ = layout_;
    host_ = &platform.createWindow(kPrintSettingsSpec, *this, &owner, true);
    host_->setText(kDriver, printer_.driver);
    host_->setText(kPrinterName, printer_.name);
    host_->setText(kPort, printer_.port);
    host_->setText(kScaleCaption, layout_.scaleCaption);
    host_->clearList(kScaleList);
    for (std::string_view t : kScaleTexts)
        host_->insertListItem(kScaleList, -1, t);
    for (std::size_t i = 0; i < kScalePercents.size(); ++i)
        if (kScalePercents[i] == layout_.scalePercent)
            host_->setListSelection(kScaleList, static_cast<int>(i));
    showTallMarks();
    host_->setText(kLeftEdit, layout_.leftText);
    host_->setText(kTopEdit, layout_.topText);
    host_->setText(kColourCountEdit, layout_.colourCountText);
    host_->raise();
}

void PrintSettingsWindow::raise()
{
    if (host_)
        host_->raise();
}

void PrintSettingsWindow::showTallMarks()
{
    host_->setCheck(kTallRadio, draft_.tallFlag == 1);
    host_->setCheck(kWideRadio, draft_.tallFlag != 1);
}

void PrintSettingsWindow::command(int id, int code)
{
    if (!host_)
        return;
    switch (id) {
    case kScaleList: {
        if (code != kNotifySelChange)
            return;
        const int index = host_->listSelection(kScaleList);
        if (index < 0 || index >= static_cast<int>(kScalePercents.size()))
            return;
        draft_.scaleCaption = std::string(kScaleTexts[static_cast<std::size_t>(index)]);
        draft_.scalePercent = kScalePercents[static_cast<std::size_t>(index)];
        host_->setText(kScaleCaption, draft_.scaleCaption);
        return;
    }
    case kTallRadio:
    case kWideRadio:
        draft_.tallFlag = id == kTallRadio ? 1 : 0;
        showTallMarks();
        return;
    case kOk:
        draft_.leftText = clipped(host_->text(kLeftEdit), kMarginTextLimit);
        draft_.topText = clipped(host_->text(kTopEdit), kMarginTextLimit);
        draft_.colourCountText = clipped(host_->text(kColourCountEdit), kColourCountTextLimit);
        layout_ = draft_;
        close(kPrintSettingsOk);
        return;
    case kCancel:
        close(kPrintSettingsCancel);
        return;
    default:
        return;
    }
}

void PrintSettingsWindow::closeRequested()
{
    // Closing the window is its Cancel.
    if (host_)
        close(kPrintSettingsCancel);
}

void PrintSettingsWindow::rightClick(int, int)
{
    if (host_ && copyToClipboard_)
        copyToClipboard_();
}

void PrintSettingsWindow::close(int result)
{
    host_->destroy();
    host_ = nullptr;
    if (closed_)
        closed_(result);
}

} // namespace vantrel
