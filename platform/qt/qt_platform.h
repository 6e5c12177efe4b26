#pragma once
// The desktop host: real Qt windows built from the control tables, a persistent image behind
// each window for direct drawing, QMessageBox, QFileDialog, QTimer, and a real-time clock that
// the simulated rig may run faster.

#include <QElapsedTimer>
#include <memory>
#include <vector>

#include "platform/platform.h"
#include "platform/qt/qt_print_system.h"

namespace vantrel {

class QtWindow;

struct QtPlatformOptions {
    double speed = 1.0;           // clock speed-up (simulated rig only)
    bool autoAnswer = false;      // answer message boxes with their default, printed to stderr
    bool logEvents = false;       // print the event log to stderr
};

class QtPlatform final : public Platform, private Clock, private EventLog {
public:
    explicit QtPlatform(QtPlatformOptions options = {});
    ~QtPlatform() override;

    WindowHost& createWindow(const WindowSpec& layout, WindowClient& client, WindowHost* owner, bool modal) override;
    Clock& clock() override { return *this; }
    EventLog& log() override { return *this; }
    PrintSystem& printing() override { return printing_; }
    void quit() override;

    const QtPlatformOptions& options() const { return options_; }
    // The widget of the first window created with that name (screenshots).
    QtWindow* window(std::string_view name);
    int scaled(int ms) const;

private:
    std::uint32_t tickMs() const override;
    std::uint32_t delayMs(std::uint32_t ms) override;
    void callAfter(std::chrono::milliseconds delay, std::function<void()> fn) override;
    void record(std::string_view kind, std::string_view details) override;

    QtPlatformOptions options_;
    QElapsedTimer elapsed_;
    QtPrintSystem printing_{*this};
    std::vector<QtWindow*> windows_; // owned by Qt's object tree; removed when destroyed
    friend class QtWindow;
};

} // namespace vantrel
