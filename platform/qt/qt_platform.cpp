#include "platform/qt/qt_platform.h"

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
    return static_cast<std::uint32_t>(static_cast<double>(elapsed_.elapsed()) * options_.speed);
}

std::uint32_t QtPlatform::delayMs(std::uint32_t ms)
{
    // A blocking wait, as the motor protocol expects: nothing else runs meanwhile.
    const std::uint32_t start = tickMs();
    std::this_thread::sleep_for(std::chrono::microseconds(static_cast<long long>(ms * 1000.0 / options_.speed)));
    return tickMs() - start;
}

void QtPlatform::callAfter(std::chrono::milliseconds delay, std::function<void()> fn)
{
    QTimer::singleShot(scaled(static_cast<int>(delay.count())), QCoreApplication::instance(), std::move(fn));
}

void QtPlatform::record(std::string_view kind, std::string_view details)
{
    if (!options_.logEvents)
        return;
    std::fprintf(stderr, "%u %.*s%s%.*s\n", tickMs(), static_cast<int>(kind.size()), kind.data(), details.empty() ? "" : " ",
                 static_cast<int>(details.size()), details.data());
}

} // namespace vantrel
