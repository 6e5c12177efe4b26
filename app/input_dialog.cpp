#include "app/input_dialog.h"

#include <array>

namespace vantrel {

namespace {

using namespace input_ids;
using CK = ControlKind;

constexpr std::array<ControlSpec, 4> kOneField{{
    {kFirstLabel, CK::Static, "", 10, 15, 230, 20},
    {kFirstEdit, CK::Edit, "", 245, 12, 140, 22},
    {kOk, CK::PushButton, "OK", 210, 50, 85, 26},
    {kCancel, CK::PushButton, "Cancel", 300, 50, 85, 26},
}};
constexpr std::array<ControlSpec, 6> kTwoFields{{
    {kFirstLabel, CK::Static, "", 10, 15, 230, 20},
    {kFirstEdit, CK::Edit, "", 245, 12, 140, 22},
    {kFirstLabel + 1, CK::Static, "", 10, 45, 230, 20},
    {kFirstEdit + 1, CK::Edit, "", 245, 42, 140, 22},
    {kOk, CK::PushButton, "OK", 210, 80, 85, 26},
    {kCancel, CK::PushButton, "Cancel", 300, 80, 85, 26},
}};
const WindowSpec kSpecs[] = {
    {"input", "", 395, 86, {236, 236, 236}, kOneField},
    {"input", "", 395, 116, {236, 236, 236}, kTwoFields},
};

} // namespace

void InputDialog::open(Platform& platform, WindowHost& owner, const std::string& title,
                       const std::vector<std::string>& labels, const std::vector<std::string>& values, Accept accept)
{
    if (host_)
        closeRequested();
    fields_ = labels.size() >= 2 ? 2 : 1;
    accept_ = std::move(accept);
    host_ = &platform.createWindow(kSpecs[fields_ - 1], *this, &owner, true);
    host_->setTitle(title);
    for (std::size_t i = 0; i < fields_; ++i) {
        host_->setText(kFirstLabel + static_cast<int>(i), i < labels.size() ? labels[i] : std::string());
        host_->setText(kFirstEdit + static_cast<int>(i), i < values.size() ? values[i] : std::string());
    }
    host_->raise();
}

void InputDialog::command(int id, int code)
{
    if (!host_ || code != kNotifyClicked)
        return;
    if (id == kCancel) {
        closeRequested();
        return;
    }
    if (id != kOk)
        return;
    std::vector<std::string> values;
    for (std::size_t i = 0; i < fields_; ++i)
        values.push_back(host_->text(kFirstEdit + static_cast<int>(i)));
    if (accept_(values))
        closeRequested();
}

void InputDialog::closeRequested()
{
    if (!host_)
        return;
    WindowHost* host = host_;
    host_ = nullptr;
    host->destroy();
}

} // namespace vantrel
