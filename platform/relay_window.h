#pragma once
// A window without a screen, for command-line work with a real sound card: it queues what the
// card's thread posts and runs it when pumped on the caller's thread, and hands every message
// box to a callback. The controls it is asked about do not exist.

#include <deque>
#include <functional>
#include <mutex>
#include <string_view>

#include "platform/window_host.h"

namespace vantrel {

class RelayWindow final : public WindowHost {
public:
    using MessageSink = std::function<void(std::string_view text, std::string_view caption)>;
    explicit RelayWindow(MessageSink onMessage) : onMessage_(std::move(onMessage)) {}

    void post(std::function<void()> fn) override;
    // Runs what was posted so far; false when nothing was.
    bool pump();

    MessageAnswer message(std::string_view text, std::string_view caption, MessageIcon, MessageButtons) override;

    void setCheck(int, bool) override {}
    bool isChecked(int) const override { return false; }
    void setScrollRange(int, int, int) override {}
    void setScrollPos(int, int) override {}
    int scrollPos(int) const override { return 0; }
    void clearList(int) override {}
    int insertListItem(int, int index, std::string_view) override { return index; }
    void deleteListItem(int, int) override {}
    int listCount(int) const override { return 0; }
    std::string listItem(int, int) const override { return {}; }
    void setListSelection(int, int) override {}
    int listSelection(int) const override { return -1; }
    int listCaret(int) const override { return 0; }
    void setText(int, std::string_view) override {}
    std::string text(int) const override { return {}; }
    void enable(int, bool) override {}
    void setTitle(std::string_view) override {}
    void raise() override {}
    void destroy() override {}
    void beep(BeepKind) override {}
    std::optional<std::string> fileDialog(const FileDialogSpec&) override { return std::nullopt; }
    void startTimer(int, int) override {}
    void killTimer(int) override {}
    void setWaitCursor(bool) override {}
    Canvas& surface() override;
    void invalidate() override {}
    void repaintNow() override {}

private:
    MessageSink onMessage_;
    std::mutex mutex_;
    std::deque<std::function<void()>> queue_;
};

} // namespace vantrel
