#pragma once
// Test doubles for the turntable tests: a virtual clock, a main window that records messages,
// timers and drawing, serial ports that remember what reached them, and an event log that
// stamps each line with the virtual time.

#include <algorithm>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>
#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/clock.h"
#include "platform/event_log.h"
#include "platform/serial_port.h"
#include "platform/window_host.h"

namespace vantrel::testing {

class FakeClock final : public Clock {
public:
    std::uint32_t tickMs() const override { return now; }
    std::uint32_t delayMs(std::uint32_t ms) override
    {
        now += ms;
        return ms;
    }
    void callAfter(std::chrono::milliseconds delay, std::function<void()> fn) override
    {
        deferred.push_back({now + static_cast<std::uint32_t>(delay.count()), order++, std::move(fn)});
    }
    // Moves time on to t, running the deferred calls that fall due on the way.
    void runUntil(std::uint32_t t)
    {
        while (true) {
            auto next = std::min_element(deferred.begin(), deferred.end(), [](const auto& a, const auto& b) {
                return a.due != b.due ? a.due < b.due : a.order < b.order;
            });
            if (next == deferred.end() || next->due > t)
                break;
            now = std::max(now, next->due);
            auto fn = std::move(next->fn);
            deferred.erase(next);
            fn();
        }
        now = std::max(now, t);
    }

    struct Deferred {
        std::uint32_t due;
        std::uint64_t order;
        std::function<void()> fn;
    };
    std::uint32_t now = 0;
    std::uint64_t order = 0;
    std::vector<Deferred> deferred;
};

class RecordingLog final : public EventLog {
public:
    explicit RecordingLog(const Clock& clock) : clock_(clock) {}
    void record(std::string_view kind, std::string_view details) override
    {
        lines.push_back(std::to_string(clock_.tickMs()) + " " + std::string(kind) + " " + std::string(details));
    }
    std::vector<std::string> linesOf(std::string_view kind) const
    {
        std::string needle(1, ' ');
        needle.append(kind);
        needle.push_back(' ');
        std::vector<std::string> out;
        for (const auto& l : lines)
            if (l.find(needle) != std::string::npos)
                out.push_back(l);
        return out;
    }
    std::vector<std::string> lines;

private:
    const Clock& clock_;
};

struct CanvasOp {
    enum Kind { Rectangle, Text } kind;
    int left = 0, top = 0, right = 0, bottom = 0; // a text's position is (left, top)
    Rgb fill;                                     // rectangle brush
    Rgb pen;                                      // rectangle border
    std::string text;
    bool opaque = false;
};

class FakeCanvas final : public Canvas {
public:
    Pen setPen(const Pen& pen) override { return std::exchange(pen_, pen); }
    Brush setBrush(const Brush& brush) override { return std::exchange(brush_, brush); }
    Font setFont(Font font) override { return std::exchange(font_, font); }
    void setTextColour(Rgb) override {}
    void setTextBackground(bool opaque, Rgb) override { opaque_ = opaque; }
    void rectangle(int l, int t, int r, int b) override
    {
        ops.push_back({CanvasOp::Rectangle, l, t, r, b, brush_.colour, pen_.colour, {}, false});
    }
    void moveTo(int, int) override {}
    void lineTo(int, int) override {}
    void textOut(int x, int y, std::string_view text) override
    {
        ops.push_back({CanvasOp::Text, x, y, 0, 0, {}, {}, std::string(text), opaque_});
    }
    // The text last written at (x, y), if any.
    std::optional<std::string> textAt(int x, int y) const
    {
        for (auto it = ops.rbegin(); it != ops.rend(); ++it)
            if (it->kind == CanvasOp::Text && it->left == x && it->top == y)
                return it->text;
        return std::nullopt;
    }
    // The fill of the last rectangle drawn with that top-left corner.
    std::optional<CanvasOp> lastRectangleAt(int l, int t) const
    {
        for (auto it = ops.rbegin(); it != ops.rend(); ++it)
            if (it->kind == CanvasOp::Rectangle && it->left == l && it->top == t)
                return *it;
        return std::nullopt;
    }
    std::vector<CanvasOp> ops;

private:
    Pen pen_;
    Brush brush_;
    Font font_ = Font::System;
    bool opaque_ = false;
};

struct ShownMessage {
    std::string text;
    std::string caption;
    MessageIcon icon;
};

class FakeWindow final : public WindowHost {
public:
    void setCheck(int, bool) override {}
    bool isChecked(int) const override { return false; }
    void setScrollRange(int, int, int) override {}
    void setScrollPos(int, int) override {}
    int scrollPos(int) const override { return 0; }
    void clearList(int id) override { lists[id].clear(); }
    int insertListItem(int id, int, std::string_view text) override
    {
        lists[id].emplace_back(text);
        return static_cast<int>(lists[id].size()) - 1;
    }
    void deleteListItem(int, int) override {}
    int listCount(int id) const override { return lists.count(id) ? static_cast<int>(lists.at(id).size()) : 0; }
    std::string listItem(int id, int index) const override { return lists.at(id).at(static_cast<std::size_t>(index)); }
    void setListSelection(int id, int index) override { selection[id] = caret[id] = index; }
    int listSelection(int id) const override { return selection.count(id) ? selection.at(id) : -1; }
    int listCaret(int id) const override { return caret.count(id) ? caret.at(id) : 0; }
    void setText(int, std::string_view) override {}
    std::string text(int) const override { return {}; }
    void enable(int, bool) override {}
    void setTitle(std::string_view) override {}
    void raise() override {}
    void destroy() override {}
    MessageAnswer message(std::string_view text, std::string_view caption, MessageIcon icon,
                          MessageButtons) override
    {
        messages.push_back({std::string(text), std::string(caption), icon});
        return MessageAnswer::Ok;
    }
    void beep(BeepKind) override {}
    std::optional<std::string> fileDialog(const FileDialogSpec&) override { return std::nullopt; }
    void startTimer(int id, int intervalMs) override
    {
        timers[id] = intervalMs;
        timerEvents.push_back("start " + std::to_string(id) + " " + std::to_string(intervalMs));
    }
    void killTimer(int id) override
    {
        timers.erase(id);
        timerEvents.push_back("kill " + std::to_string(id));
    }
    void setWaitCursor(bool) override {}
    Canvas& surface() override { return canvas; }
    void invalidate() override {}
    void repaintNow() override {}
    void post(std::function<void()> fn) override { fn(); }

    std::vector<std::string> messageTexts() const
    {
        std::vector<std::string> out;
        for (const auto& m : messages)
            out.push_back(m.text);
        return out;
    }

    std::map<int, std::vector<std::string>> lists;
    std::map<int, int> selection, caret;
    std::vector<ShownMessage> messages;
    std::map<int, int> timers; // running: id -> interval
    std::vector<std::string> timerEvents;
    FakeCanvas canvas;
};

// Ports that accept everything unless told to fail; what they receive goes to the log through
// the logging decorator in the tests.
class FakeSerialPorts final : public SerialPorts {
public:
    std::unique_ptr<SerialPort> open(std::string_view portName) override
    {
        if (failOpen.count(std::string(portName)))
            return nullptr;
        return std::make_unique<Port>(*this);
    }
    std::string deviceFor(std::string_view portName) const override { return "fake:" + std::string(portName); }

    std::set<std::string> failOpen;
    bool failApply = false;
    bool failClose = false;
    std::function<bool(std::string_view)> failWrite; // true: that write fails

private:
    class Port final : public SerialPort {
    public:
        explicit Port(FakeSerialPorts& owner) : owner_(owner) {}
        bool apply(const LineSettings&) override { return !owner_.failApply; }
        bool write(std::span<const std::uint8_t> bytes) override
        {
            const std::string_view s(reinterpret_cast<const char*>(bytes.data()), bytes.size());
            return !(owner_.failWrite && owner_.failWrite(s));
        }
        bool close() override { return !owner_.failClose; }

    private:
        FakeSerialPorts& owner_;
    };
};

// A pseudo-terminal pair in raw mode: the program opens path(), the test reads as the peer.
class Pty {
public:
    Pty()
    {
        char name[256] = {};
        if (openpty(&master_, &slave_, name, nullptr, nullptr) != 0)
            return;
        termios t{};
        tcgetattr(slave_, &t);
        cfmakeraw(&t);
        tcsetattr(slave_, TCSANOW, &t);
        path_ = name;
    }
    ~Pty()
    {
        closeMaster();
        if (slave_ >= 0)
            ::close(slave_);
    }
    const std::string& path() const { return path_; }
    void closeMaster()
    {
        if (master_ >= 0)
            ::close(master_);
        master_ = -1;
    }
    // Everything the peer can read until the line has been quiet for a moment.
    std::string read()
    {
        std::string out;
        pollfd p{master_, POLLIN, 0};
        while (::poll(&p, 1, 100) > 0 && (p.revents & POLLIN)) {
            char buf[256];
            const ssize_t n = ::read(master_, buf, sizeof buf);
            if (n <= 0)
                break;
            out.append(buf, static_cast<std::size_t>(n));
        }
        return out;
    }

private:
    int master_ = -1;
    int slave_ = -1;
    std::string path_;
};

} // namespace vantrel::testing
