#include "platform/relay_window.h"

#include <utility>

namespace vantrel {

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
    return buttons == MessageButtons::YesNo         ? MessageAnswer::Yes
           : buttons == MessageButtons::YesNoCancel ? MessageAnswer::Cancel
                                                    : MessageAnswer::Ok;
}

Canvas& RelayWindow::surface()
{
    static NullCanvas canvas;
    return canvas;
}

} // namespace vantrel
