#include "platform/headless/headless_platform.h"

#include <QPageSize>
#include <QPdfWriter>

#include <thread>

#include <algorithm>
#include <limits>

#include "platform/qt/paged_print_job.h"
#include "platform/qt/picture_file.h"

namespace vantrel {

// ---------------------------------------------------------------------------------------------

HeadlessWindow::HeadlessWindow(HeadlessPlatform& platform, const WindowSpec& layout, WindowClient& client)
    : platform_(platform),
      name_(layout.name),
      title_(layout.title),
      background_(layout.background),
      client_(client),
      image_(std::max(1, layout.width), std::max(1, layout.height), QImage::Format_RGB32),
      canvas_(image_)
{
    canvas_.erase(background_);
    for (const ControlSpec& c : layout.controls) {
        if (c.id < 0)
            continue;
        HeadlessControl& s = controls_[c.id];
        s.kind = c.kind;
        s.rangeMin = c.rangeMin;
        s.rangeMax = c.rangeMax;
        s.position = c.rangeMin;
        if (c.kind == ControlKind::Edit || c.kind == ControlKind::Static)
            s.text = std::string(c.caption);
    }
    for (const MenuSpec& m : layout.menus) {
        if (m.id < 0)
            continue;
        HeadlessMenu& entry = menus_[m.id];
        entry.caption = std::string(m.caption);
        entry.checkable = m.checkable;
    }
}

const HeadlessMenu* HeadlessWindow::menu(int id) const
{
    auto it = menus_.find(id);
    return it == menus_.end() ? nullptr : &it->second;
}

std::string HeadlessWindow::chooseMenu(int id)
{
    auto it = menus_.find(id);
    if (it == menus_.end())
        return "window '" + name_ + "' has no menu entry " + std::to_string(id);
    if (!it->second.enabled || !it->second.visible) {
        platform_.log().record("menu", name_ + " " + std::to_string(id) + " disabled");
        return {};
    }
    platform_.log().record("menu", name_ + " " + std::to_string(id));
    client_.command(id, kNotifyClicked);
    return {};
}

void HeadlessWindow::enableMenu(int id, bool enabled, std::string_view reason)
{
    auto it = menus_.find(id);
    if (it == menus_.end())
        return;
    it->second.enabled = enabled;
    it->second.reason = std::string(reason);
}

void HeadlessWindow::setMenuText(int id, std::string_view caption, bool visible)
{
    auto it = menus_.find(id);
    if (it == menus_.end())
        return;
    it->second.caption = std::string(caption);
    it->second.visible = visible;
}

void HeadlessWindow::setPictureTabs(int id, std::vector<PictureTab> tabs)
{
    std::string titles;
    for (const PictureTab& t : tabs)
        titles.append(1, ' ').append(quoted(t.title));
    platform_.log().record("tabs", name_ + " " + std::to_string(id) + titles);
    tabs_[id] = std::move(tabs);
}

void HeadlessWindow::setPictureZoom(int id, int percent)
{
    platform_.log().record("zoom", name_ + " " + std::to_string(id) + " " + std::to_string(percent));
    zoom_[id] = percent;
}

void HeadlessWindow::checkMenu(int id, bool checked)
{
    auto it = menus_.find(id);
    if (it != menus_.end())
        it->second.checked = checked;
}

const HeadlessControl* HeadlessWindow::control(int id) const
{
    auto it = controls_.find(id);
    return it == controls_.end() ? nullptr : &it->second;
}

HeadlessControl* HeadlessWindow::control(int id)
{
    auto it = controls_.find(id);
    return it == controls_.end() ? nullptr : &it->second;
}

void HeadlessWindow::setCheck(int id, bool checked)
{
    if (auto* c = control(id))
        c->checked = checked;
}

bool HeadlessWindow::isChecked(int id) const
{
    const auto* c = control(id);
    return c && c->checked;
}

void HeadlessWindow::setScrollRange(int id, int min, int max)
{
    if (auto* c = control(id)) {
        c->rangeMin = min;
        c->rangeMax = max;
        c->position = std::clamp(c->position, min, std::max(min, max));
    }
}

void HeadlessWindow::setScrollPos(int id, int position)
{
    if (auto* c = control(id))
        c->position = std::clamp(position, c->rangeMin, std::max(c->rangeMin, c->rangeMax));
}

int HeadlessWindow::scrollPos(int id) const
{
    const auto* c = control(id);
    return c ? c->position : 0;
}

void HeadlessWindow::clearList(int id)
{
    if (auto* c = control(id)) {
        c->items.clear();
        c->selection = -1;
        c->caret = 0;
    }
}

int HeadlessWindow::insertListItem(int id, int index, std::string_view text)
{
    auto* c = control(id);
    if (!c)
        return -1;
    if (index < 0 || index > static_cast<int>(c->items.size()))
        index = static_cast<int>(c->items.size());
    c->items.insert(c->items.begin() + index, std::string(text));
    if (c->selection >= index)
        ++c->selection;
    return index;
}

void HeadlessWindow::deleteListItem(int id, int index)
{
    auto* c = control(id);
    if (!c || index < 0 || index >= static_cast<int>(c->items.size()))
        return;
    c->items.erase(c->items.begin() + index);
    if (c->selection == index)
        c->selection = -1;
    else if (c->selection > index)
        --c->selection;
}

int HeadlessWindow::listCount(int id) const
{
    const auto* c = control(id);
    return c ? static_cast<int>(c->items.size()) : 0;
}

std::string HeadlessWindow::listItem(int id, int index) const
{
    const auto* c = control(id);
    if (!c || index < 0 || index >= static_cast<int>(c->items.size()))
        return {};
    return c->items[static_cast<std::size_t>(index)];
}

void HeadlessWindow::setListSelection(int id, int index)
{
    auto* c = control(id);
    if (!c)
        return;
    if (index < 0 || index >= static_cast<int>(c->items.size())) {
        c->selection = -1;
        return;
    }
    c->selection = index;
    c->caret = index;
}

int HeadlessWindow::listSelection(int id) const
{
    const auto* c = control(id);
    return c ? c->selection : -1;
}

int HeadlessWindow::listCaret(int id) const
{
    const auto* c = control(id);
    return c ? c->caret : 0;
}

void HeadlessWindow::setText(int id, std::string_view text)
{
    if (auto* c = control(id))
        c->text = std::string(text);
}

std::string HeadlessWindow::text(int id) const
{
    const auto* c = control(id);
    return c ? c->text : std::string();
}

void HeadlessWindow::enable(int id, bool enabled)
{
    if (auto* c = control(id))
        c->enabled = enabled;
}

void HeadlessWindow::setTitle(std::string_view title)
{
    title_ = std::string(title);
    platform_.log().record("title", quoted(title));
}

void HeadlessWindow::raise() {}

void HeadlessWindow::destroy()
{
    if (destroyed_)
        return;
    destroyed_ = true;
    platform_.windowDestroyed(*this);
}

MessageAnswer HeadlessWindow::message(std::string_view text, std::string_view caption, MessageIcon icon,
                                      MessageButtons buttons)
{
    const MessageAnswer answer = platform_.nextAnswer(buttons);
    platform_.log().record("message", messageEventText(name_, caption, icon, text, answer));
    return answer;
}

void HeadlessWindow::beep(BeepKind) { platform_.log().record("beep", ""); }

std::optional<std::string> HeadlessWindow::fileDialog(const FileDialogSpec& request)
{
    if (const std::uint32_t wait = platform_.nextFileWait())
        platform_.advance(wait);
    std::optional<std::string> path = platform_.nextFile();
    platform_.log().record("file-dialog", fileDialogEventText(name_, request.save, path));
    return path;
}

void HeadlessWindow::startTimer(int id, int intervalMs) { platform_.startTimer(*this, id, intervalMs); }

void HeadlessWindow::killTimer(int id) { platform_.killTimer(*this, id); }

void HeadlessWindow::setWaitCursor(bool) {}

Canvas& HeadlessWindow::surface()
{
    if (platform_.painting())
        return canvas_;
    return unseen_;
}

void HeadlessWindow::repaintNow()
{
    if (destroyed_)
        return;
    dirty_ = false;
    if (platform_.painting())
        canvas_.erase(background_);
    client_.paint(surface());
}

void HeadlessWindow::post(std::function<void()> fn) { platform_.post(std::move(fn)); }

// ---------------------------------------------------------------------------------------------

HeadlessPlatform::HeadlessPlatform(std::ostream& events) : events_(events) { ensureGuiApplication(); }

HeadlessPlatform::~HeadlessPlatform() = default;

WindowHost& HeadlessPlatform::createWindow(const WindowSpec& layout, WindowClient& client, WindowHost*, bool)
{
    windows_.push_back(std::make_unique<HeadlessWindow>(*this, layout, client));
    return *windows_.back();
}

std::optional<std::string> HeadlessPlatform::savePicture(int width, int height,
                                                         const std::function<void(Canvas&)>& draw, const std::string& path)
{
    return savePicturePng(width, height, draw, path);
}

std::optional<std::string> HeadlessPlatform::openManual()
{
    record("manual", "");
    return std::nullopt;
}

void HeadlessPlatform::quit()
{
    if (!quit_)
        record("exit", "");
    quit_ = true;
}

HeadlessWindow* HeadlessPlatform::window(std::string_view name)
{
    for (auto it = windows_.rbegin(); it != windows_.rend(); ++it)
        if (!(*it)->destroyed() && (*it)->name() == name)
            return it->get();
    return nullptr;
}

MessageAnswer HeadlessPlatform::nextAnswer(MessageButtons buttons)
{
    // Unanswered, a question with a way out takes it: nothing changes.
    MessageAnswer answer = buttons == MessageButtons::YesNo         ? MessageAnswer::Yes
                           : buttons == MessageButtons::YesNoCancel ? MessageAnswer::Cancel
                                                                    : MessageAnswer::Ok;
    if (!answers_.empty()) {
        answer = answers_.front();
        answers_.pop_front();
    }
    // A box can only give one of its own buttons; closing it counts as its cancel button.
    if (buttons == MessageButtons::Ok)
        answer = MessageAnswer::Ok;
    else if (answer == MessageAnswer::Ok)
        answer = MessageAnswer::Yes;
    else if (answer == MessageAnswer::Cancel && buttons == MessageButtons::YesNo)
        answer = MessageAnswer::No;
    return answer;
}

std::optional<std::string> HeadlessPlatform::nextFile()
{
    if (files_.empty())
        return std::nullopt;
    auto path = std::move(files_.front());
    files_.pop_front();
    fileWaits_.pop_front();
    return path;
}

void HeadlessPlatform::startTimer(HeadlessWindow& window, int id, int intervalMs)
{
    const int interval = std::max(1, intervalMs);
    record("timer", window.name() + " " + std::to_string(id) + " start " + std::to_string(intervalMs));
    for (Timer& t : timers_)
        if (t.window == &window && t.id == id) {
            t.interval = interval;
            t.due = now_ + static_cast<std::uint64_t>(interval);
            return;
        }
    timers_.push_back({&window, id, interval, now_ + static_cast<std::uint64_t>(interval)});
}

void HeadlessPlatform::killTimer(HeadlessWindow& window, int id)
{
    auto it = std::find_if(timers_.begin(), timers_.end(), [&](const Timer& t) { return t.window == &window && t.id == id; });
    if (it == timers_.end())
        return;
    timers_.erase(it);
    record("timer", window.name() + " " + std::to_string(id) + " kill");
}

void HeadlessPlatform::windowDestroyed(HeadlessWindow& window)
{
    std::erase_if(timers_, [&](const Timer& t) { return t.window == &window; });
}

std::uint32_t HeadlessPlatform::delayMs(std::uint32_t ms)
{
    if (realTime_)
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    now_ += ms;
    return ms;
}

void HeadlessPlatform::callAfter(std::chrono::milliseconds delay, std::function<void()> fn)
{
    const auto ms = static_cast<std::uint64_t>(std::max<std::chrono::milliseconds::rep>(0, delay.count()));
    deferred_.push_back({now_ + ms, order_++, std::move(fn)});
}

void HeadlessPlatform::record(std::string_view kind, std::string_view details)
{
    events_ << now_ << ' ' << kind;
    if (!details.empty())
        events_ << ' ' << details;
    events_ << '\n';
    events_.flush();
}

std::string HeadlessPlatform::defaultPrinterDescription() const { return "Vantrel PDF,PDF Writer,FILE:"; }

std::optional<Picture> HeadlessPlatform::captureClient(WindowHost& window)
{
    auto* w = dynamic_cast<HeadlessWindow*>(&window);
    if (!w || w->destroyed() || w->image().isNull())
        return std::nullopt;
    return toPicture(w->image());
}

std::unique_ptr<PrinterJob> HeadlessPlatform::choosePrinter(WindowHost& owner)
{
    std::optional<std::string> path;
    if (!printers_.empty()) {
        path = std::move(printers_.front());
        printers_.pop_front();
    }
    const std::string name = dynamic_cast<HeadlessWindow*>(&owner) ? static_cast<HeadlessWindow&>(owner).name() : "";
    record("print-dialog", name + " " + (path ? quoted(*path) : std::string("cancel")));
    if (!path)
        return nullptr;
    // An A4 sheet at 600 dpi, the whole sheet printable, as a PDF printer driver offers.
    auto writer = std::make_unique<QPdfWriter>(QString::fromStdString(*path));
    writer->setPageSize(QPageSize(QPageSize::A4));
    writer->setResolution(600);
    writer->setPageMargins(QMarginsF(0, 0, 0, 0));
    writer->setCreator("Vantrel");
    QPdfWriter* w = writer.get();
    return std::make_unique<PagedPrinterJob>(std::move(writer), [w](const QString& title) { w->setTitle(title); });
}

bool HeadlessPlatform::setClipboardPicture(const Picture& picture)
{
    clipboard_ = picture;
    return true;
}

bool HeadlessPlatform::fireNext(std::uint64_t limit)
{
    // Earliest deferred call and earliest timer; a deferred call wins a tie, as hardware
    // completions queue ahead of the timer message.
    auto d = std::min_element(deferred_.begin(), deferred_.end(), [](const Deferred& a, const Deferred& b) {
        return a.due != b.due ? a.due < b.due : a.order < b.order;
    });
    auto t = std::min_element(timers_.begin(), timers_.end(), [](const Timer& a, const Timer& b) { return a.due < b.due; });
    const std::uint64_t dueD = d == deferred_.end() ? std::numeric_limits<std::uint64_t>::max() : d->due;
    const std::uint64_t dueT = t == timers_.end() ? std::numeric_limits<std::uint64_t>::max() : t->due;
    const std::uint64_t due = std::min(dueD, dueT);
    if (due > limit)
        return false;
    now_ = std::max(now_, due);
    if (dueD <= dueT) {
        auto fn = std::move(d->fn);
        deferred_.erase(d);
        fn();
    } else {
        HeadlessWindow* w = t->window;
        const int id = t->id;
        t->due = now_ + static_cast<std::uint64_t>(t->interval); // periodic until killed
        record("timer", w->name() + " " + std::to_string(id) + " fire");
        w->client().timer(id);
    }
    settle();
    return true;
}

void HeadlessPlatform::advance(std::uint32_t ms)
{
    const std::uint64_t target = now_ + ms;
    while (!quit_ && fireNext(target)) {
    }
    if (!quit_)
        now_ = std::max(now_, target);
}

void HeadlessPlatform::post(std::function<void()> fn)
{
    const std::lock_guard lock(postedMutex_);
    posted_.push_back(std::move(fn));
}

void HeadlessPlatform::settle()
{
    while (!quit_) {
        std::function<void()> fn;
        {
            const std::lock_guard lock(postedMutex_);
            if (posted_.empty())
                break;
            fn = std::move(posted_.front());
            posted_.pop_front();
        }
        fn();
    }
    if (quit_)
        return;
    for (auto& w : windows_)
        if (!w->destroyed() && w->dirty())
            w->repaintNow();
}

} // namespace vantrel
