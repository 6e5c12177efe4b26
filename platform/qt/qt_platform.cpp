#include "platform/qt/qt_platform.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QEventLoop>
#include <QFileInfo>
#include <QUrl>

#include "platform/qt/picture_file.h"

#include <QCoreApplication>
#include <QTimer>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <thread>

#include "platform/qt/qt_window.h"

namespace vantrel {

QtPlatform::QtPlatform(QtPlatformOptions options) : options_(options)
{
    options_.speed = std::clamp(options_.speed, 0.01, 1000.0);
    elapsed_.start();
}

QtPlatform::~QtPlatform() = default;

WindowHost& QtPlatform::createWindow(const WindowSpec& layout, WindowClient& client, WindowHost* owner, bool modal)
{
    auto* ownerWidget = dynamic_cast<QtWindow*>(owner);
    auto* w = new QtWindow(*this, layout, client, ownerWidget, modal);
    // Direct drawing lands on the window's image outside paint events; keep the screen current.
    auto* refresh = new QTimer(w);
    QObject::connect(refresh, &QTimer::timeout, w, [w] { w->update(); });
    refresh->start(40);
    windows_.push_back(w);
    return *w;
}

std::optional<std::string> QtPlatform::savePicture(int width, int height, const std::function<void(Canvas&)>& draw,
                                                   const std::string& path)
{
    return savePicturePng(width, height, draw, path);
}

std::optional<std::string> QtPlatform::openManual()
{
    // The package puts it beside the programs' own tree; a build tree has none.
    const QString installed = QCoreApplication::applicationDirPath() + "/../share/doc/vantrel/README.md";
    for (const QString& path : {installed, QString("/usr/share/doc/vantrel/README.md")})
        if (QFileInfo::exists(path)) {
            if (QDesktopServices::openUrl(QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath())))
                return std::nullopt;
            return QFileInfo(path).absoluteFilePath().toStdString() + "\n\nNo program of the desktop opens it.";
        }
    return "The manual (README.md) is not installed: the package puts it in /usr/share/doc/vantrel. \"man vantrel\" "
           "lists the options.";
}

void QtPlatform::quit()
{
    record("exit", "");
    QMetaObject::invokeMethod(QCoreApplication::instance(), [] { QCoreApplication::quit(); }, Qt::QueuedConnection);
}

QtWindow* QtPlatform::window(std::string_view name)
{
    for (QtWindow* w : windows_)
        if (w->name() == name)
            return w;
    return nullptr;
}

int QtPlatform::scaled(int ms) const
{
    return std::max(0, static_cast<int>(std::lround(ms / options_.speed)));
}

std::uint32_t QtPlatform::tickMs() const
{
    if (options_.rigClock)
        return static_cast<std::uint32_t>(rigNow());
    return static_cast<std::uint32_t>(static_cast<double>(elapsed_.elapsed()) * options_.speed);
}

std::uint32_t QtPlatform::delayMs(std::uint32_t ms)
{
    // A blocking wait, as the motor protocol expects: nothing else runs meanwhile.
    const std::uint32_t start = tickMs();
    std::this_thread::sleep_for(std::chrono::microseconds(static_cast<long long>(ms * 1000.0 / options_.speed)));
    if (options_.rigClock && frozen()) {
        rigAnchor_ += ms; // the handler's clock stands still but for its waits
        return ms;
    }
    return tickMs() - start;
}

void QtPlatform::advance(std::uint32_t ms)
{
    const std::uint32_t start = tickMs();
    QEventLoop loop;
    QTimer wake;
    wake.setSingleShot(true);
    QObject::connect(&wake, &QTimer::timeout, &loop, &QEventLoop::quit);
    for (std::uint32_t passed = 0; passed < ms; passed = tickMs() - start) {
        wake.start(std::max(1, scaled(static_cast<int>(ms - passed))));
        loop.exec();
    }
}

void QtPlatform::settle()
{
    QCoreApplication::processEvents();
}

void QtPlatform::callAfter(std::chrono::milliseconds delay, std::function<void()> fn)
{
    if (options_.rigClock) {
        schedule({rigNow() + static_cast<std::uint64_t>(std::max<std::int64_t>(0, delay.count())), 0, nullptr, 0, 0,
                  std::move(fn)});
        return;
    }
    QTimer::singleShot(scaled(static_cast<int>(delay.count())), QCoreApplication::instance(), std::move(fn));
}

void QtPlatform::personWaits(bool begins)
{
    if (!options_.rigClock)
        return;
    rigAnchor_ = rigNow();
    wallAnchor_ = elapsed_.elapsed();
    personDepth_ += begins ? 1 : -1;
    armPump();
}

std::uint64_t QtPlatform::rigNow() const
{
    if (frozen())
        return rigAnchor_;
    const double idle = static_cast<double>(elapsed_.elapsed() - wallAnchor_) * options_.speed;
    std::uint64_t now = rigAnchor_ + static_cast<std::uint64_t>(std::max(0.0, idle));
    // Events are taken in due order: the clock never runs past one still waiting.
    for (const RigEvent& e : rigEvents_)
        now = std::min(now, std::max(e.due, rigAnchor_));
    return now;
}

void QtPlatform::schedule(RigEvent event)
{
    event.order = ++order_;
    rigEvents_.push_back(std::move(event));
    armPump();
}

void QtPlatform::armPump()
{
    if (!pump_) {
        pump_ = new QTimer(QCoreApplication::instance());
        pump_->setSingleShot(true);
        QObject::connect(pump_, &QTimer::timeout, pump_, [this] { pump(); });
    }
    if (rigEvents_.empty() || frozen()) {
        pump_->stop(); // a handler's end arms it again
        return;
    }
    const auto next = std::min_element(rigEvents_.begin(), rigEvents_.end(), [](const RigEvent& a, const RigEvent& b) {
        return a.due != b.due ? a.due < b.due : a.order < b.order;
    });
    const double idle = static_cast<double>(elapsed_.elapsed() - wallAnchor_) * options_.speed;
    const double ahead = static_cast<double>(next->due) - (static_cast<double>(rigAnchor_) + std::max(0.0, idle));
    pump_->start(std::max(0, static_cast<int>(std::ceil(ahead / options_.speed))));
}

void QtPlatform::pump()
{
    if (rigEvents_.empty())
        return;
    const auto next = std::min_element(rigEvents_.begin(), rigEvents_.end(), [](const RigEvent& a, const RigEvent& b) {
        return a.due != b.due ? a.due < b.due : a.order < b.order;
    });
    const double idle = static_cast<double>(elapsed_.elapsed() - wallAnchor_) * options_.speed;
    if (frozen() || static_cast<double>(next->due) > static_cast<double>(rigAnchor_) + std::max(0.0, idle)) {
        armPump(); // woken early
        return;
    }
    RigEvent event = std::move(*next);
    rigEvents_.erase(next);
    rigAnchor_ = std::max(rigAnchor_, event.due);
    ++handlerDepth_;
    if (event.window) { // periodic until killed, as a window timer is
        RigEvent again = event;
        again.due = rigAnchor_ + static_cast<std::uint64_t>(std::max(1, event.interval));
        schedule(std::move(again));
    }
    if (event.window)
        event.window->rigTimerFired(event.id);
    else
        event.fn();
    --handlerDepth_;
    wallAnchor_ = elapsed_.elapsed(); // what the handler computed took no rig time
    armPump();
}

void QtPlatform::startRigTimer(QtWindow& window, int id, int intervalMs)
{
    (void)killRigTimer(window, id);
    schedule({rigNow() + static_cast<std::uint64_t>(std::max(1, intervalMs)), 0, &window, id, intervalMs, {}});
}

bool QtPlatform::killRigTimer(QtWindow& window, int id)
{
    const auto n = std::erase_if(rigEvents_, [&](const RigEvent& e) { return e.window == &window && e.id == id; });
    return n > 0;
}

void QtPlatform::forgetRigTimers(QtWindow& window)
{
    std::erase_if(rigEvents_, [&](const RigEvent& e) { return e.window == &window; });
}

void QtPlatform::record(std::string_view kind, std::string_view details)
{
    if (!options_.logEvents)
        return;
    std::fprintf(stderr, "%u %.*s%s%.*s\n", tickMs(), static_cast<int>(kind.size()), kind.data(), details.empty() ? "" : " ",
                 static_cast<int>(details.size()), details.data());
}

} // namespace vantrel
