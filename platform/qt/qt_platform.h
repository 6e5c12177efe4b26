#pragma once
// The desktop host: real Qt windows built from the control tables, a persistent image behind
// each window for direct drawing, QMessageBox, QFileDialog, QTimer, and a real-time clock that
// the simulated rig may run faster.

#include <QElapsedTimer>
#include <QTimer>
#include <functional>
#include <memory>
#include <vector>

#include "platform/platform.h"
#include "platform/qt/qt_print_system.h"

namespace vantrel {

class QtWindow;

struct QtPlatformOptions {
    double speed = 1.0;           // clock speed-up (simulated rig only)
    // The simulated rig's own clock: window timers, the rig's completions and the busy waits
    // run on it in due order, and the time a handler computes does not pass on it, so that
    // --speed changes the pace and nothing else.
    bool rigClock = false;
    bool autoAnswer = false;      // answer message boxes with their default, printed to stderr
    bool logEvents = false;       // print the event log to stderr
};

class QtPlatform final : public Platform, private Clock, private EventLog, private JobClock {
public:
    explicit QtPlatform(QtPlatformOptions options = {});
    ~QtPlatform() override;

    WindowHost& createWindow(const WindowSpec& layout, WindowClient& client, WindowHost* owner, bool modal) override;
    Clock& clock() override { return *this; }
    JobClock& jobClock() override { return *this; }
    EventLog& log() override { return *this; }
    PrintSystem& printing() override { return printing_; }
    void quit() override;
    std::optional<std::string> savePicture(int width, int height, const std::function<void(Canvas&)>& draw,
                                           const std::string& path) override;
    std::optional<std::string> openManual() override;

    const QtPlatformOptions& options() const { return options_; }
    // The widget of the first window created with that name (screenshots).
    QtWindow* window(std::string_view name);
    int scaled(int ms) const;

    // The rig clock (options().rigClock): a window's timer, periodic until killed.
    void startRigTimer(QtWindow& window, int id, int intervalMs);
    // True when it was running.
    bool killRigTimer(QtWindow& window, int id);
    void forgetRigTimers(QtWindow& window);
    // A modal dialog waits for a person: the rig clock runs meanwhile, also inside a handler.
    void personWaits(bool begins);

private:
    std::uint32_t tickMs() const override;
    std::uint32_t delayMs(std::uint32_t ms) override;
    void callAfter(std::chrono::milliseconds delay, std::function<void()> fn) override;
    void record(std::string_view kind, std::string_view details) override;
    // JobClock: the event loop runs while the job waits, so the window stays live.
    std::uint32_t now() const override { return tickMs(); }
    void advance(std::uint32_t ms) override;
    void settle() override;

    struct RigEvent {
        std::uint64_t due, order;
        QtWindow* window; // with id: a window timer; else fn
        int id, interval;
        std::function<void()> fn;
    };
    std::uint64_t rigNow() const;
    void schedule(RigEvent event);
    void armPump();
    void pump();

    QtPlatformOptions options_;
    QElapsedTimer elapsed_;
    // The rig clock: rigAnchor_ at wall time wallAnchor_, running at speed while idle; frozen at
    // an event's due time while its handler runs (busy waits still add to it).
    std::uint64_t rigAnchor_ = 0;
    std::int64_t wallAnchor_ = 0;
    int handlerDepth_ = 0; // rig handlers running, nested ones included
    int personDepth_ = 0;  // modal dialogs open
    bool frozen() const { return handlerDepth_ > personDepth_; }
    std::uint64_t order_ = 0;
    std::vector<RigEvent> rigEvents_;
    QTimer* pump_ = nullptr;
    QtPrintSystem printing_{*this};
    std::vector<QtWindow*> windows_; // owned by Qt's object tree; removed when destroyed
    friend class QtWindow;
};

} // namespace vantrel
