#include "platform/relay_window.h"

#include <utility>

namespace vantrel {

namespace {

// Drawing on a window nobody sees goes nowhere.
class NullCanvas final : public Canvas {
public:
    Pen setPen(const Pen& pen) override { return std::exchange(pen_, pen); }
    Brush setBrush(const Brush& brush) override { return std::exchange(brush_, brush); }
    Font setFont(Font font) override { return std::exchange(font_, font); }
    void setTextColour(Rgb) override {}
    void setTextBackground(bool, Rgb) override {}
    void rectangle(int, int, int, int) override {}
    void moveTo(int, int) override {}
    void lineTo(int, int) override {}
    void textOut(int, int, std::string_view) override {}

private:
    Pen pen_;
    Brush brush_;
    Font font_ = Font::System;
};

} // namespace

void RelayWindow::post(std::function<void()> fn)
{
    const std::lock_guard lock(mutex_);
    queue_.push_back(std::move(fn));
}

bool RelayWindow::pump()
{
    std::deque<std::function<void()>> ready;
    {
        const std::lock_guard lock(mutex_);
        ready.swap(queue_);
    }
    for (auto& fn : ready)
        fn();
    return !ready.empty();
}

MessageAnswer RelayWindow::message(std::string_view text, std::string_view caption, MessageIcon, MessageButtons buttons)
{
    if (onMessage_)
        onMessage_(text, caption);
    return buttons == MessageButtons::YesNo ? MessageAnswer::Yes : MessageAnswer::Ok;
}

Canvas& RelayWindow::surface()
{
    static NullCanvas canvas;
    return canvas;
}

} // namespace vantrel
