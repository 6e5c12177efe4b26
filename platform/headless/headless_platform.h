#pragma once
// The host for the session harness and the tests: in-memory controls, scripted answers for
// message boxes and file dialogs (every one recorded), a virtual clock with a queue of timers
// and deferred calls, and the same QImage canvas as the desktop windows.

#include <QImage>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/qt/image_canvas.h"
#include "platform/window_events.h"

namespace vantrel {

class HeadlessPlatform;

struct HeadlessControl {
    ControlKind kind = ControlKind::Static;
    bool checked = false;
    int rangeMin = 0, rangeMax = 0, position = 0;
    std::vector<std::string> items;
    int selection = -1;
    int caret = 0;
    std::string text;
    bool enabled = true;
};

struct HeadlessMenu {
    std::string caption;
    bool enabled = true;
    bool visible = true;
    bool checkable = false;
    bool checked = false;
    std::string reason; // why it is disabled, as its status tip says
};

class HeadlessWindow final : public WindowHost {
public:
    HeadlessWindow(HeadlessPlatform& platform, const WindowSpec& layout, WindowClient& client);

    void setCheck(int id, bool checked) override;
    bool isChecked(int id) const override;
    void setScrollRange(int id, int min, int max) override;
    void setScrollPos(int id, int position) override;
    int scrollPos(int id) const override;
    void clearList(int id) override;
    int insertListItem(int id, int index, std::string_view text) override;
    void deleteListItem(int id, int index) override;
    int listCount(int id) const override;
    std::string listItem(int id, int index) const override;
    void setListSelection(int id, int index) override;
    int listSelection(int id) const override;
    int listCaret(int id) const override;
    void setText(int id, std::string_view text) override;
    std::string text(int id) const override;
    void enable(int id, bool enabled) override;
    void enableMenu(int id, bool enabled, std::string_view reason) override;
    void setMenuText(int id, std::string_view caption, bool visible) override;
    void checkMenu(int id, bool checked) override;
    void setPictureTabs(int id, std::vector<PictureTab> tabs) override;
    void setPictureZoom(int id, int percent) override;
    const std::vector<PictureTab>& pictureTabs(int id) { return tabs_[id]; }
    int pictureZoom(int id) const { return zoom_.count(id) ? zoom_.at(id) : 100; }

    void setTitle(std::string_view title) override;
    void raise() override;
    void destroy() override;
    MessageAnswer message(std::string_view text, std::string_view caption, MessageIcon icon,
                          MessageButtons buttons) override;
    void beep(BeepKind kind) override;
    std::optional<std::string> fileDialog(const FileDialogSpec& request) override;
    void startTimer(int id, int intervalMs) override;
    void killTimer(int id) override;
    void setWaitCursor(bool on) override;
    Canvas& surface() override;
    void invalidate() override { dirty_ = true; }
    void repaintNow() override;
    void post(std::function<void()> fn) override;

    const std::string& name() const { return name_; }
    const std::string& title() const { return title_; }
    WindowClient& client() { return client_; }
    bool destroyed() const { return destroyed_; }
    bool hasControl(int id) const { return controls_.count(id) != 0; }
    const HeadlessControl* control(int id) const;
    HeadlessControl* control(int id);
    const HeadlessMenu* menu(int id) const;
    // Chooses a menu entry as a person does: nothing when it is disabled or hidden. The error
    // text when the window has no such entry.
    std::string chooseMenu(int id);
    bool dirty() const { return dirty_; }
    const QImage& image() const { return image_; }

private:
    HeadlessPlatform& platform_;
    std::string name_;
    std::string title_;
    Rgb background_;
    WindowClient& client_;
    std::map<int, HeadlessControl> controls_;
    std::map<int, HeadlessMenu> menus_;
    std::map<int, std::vector<PictureTab>> tabs_;
    std::map<int, int> zoom_;
    QImage image_;
    ImageCanvas canvas_;
    NullCanvas unseen_;
    bool dirty_ = true;
    bool destroyed_ = false;
};

class HeadlessPlatform final : public Platform, public JobClock, private Clock, private EventLog, private PrintSystem {
public:
    explicit HeadlessPlatform(std::ostream& events);
    ~HeadlessPlatform() override;

    WindowHost& createWindow(const WindowSpec& layout, WindowClient& client, WindowHost* owner, bool modal) override;
    Clock& clock() override { return *this; }
    JobClock& jobClock() override { return *this; }
    EventLog& log() override { return *this; }
    PrintSystem& printing() override { return *this; }
    void quit() override;
    std::optional<std::string> savePicture(int width, int height, const std::function<void(Canvas&)>& draw,
                                           const std::string& path) override;
    std::optional<std::string> openManual() override;

    // The open window of that name, or nullptr.
    HeadlessWindow* window(std::string_view name);
    void queueAnswer(MessageAnswer answer) { answers_.push_back(answer); }
    // personMs: how long the person looks at the dialog before answering; the dialog's own
    // message loop runs the clock meanwhile, as a modal dialog does.
    void queueFile(std::optional<std::string> path, std::uint32_t personMs = 0)
    {
        files_.push_back(std::move(path));
        fileWaits_.push_back(personMs);
    }
    // Answer for the next print dialog: print to that PDF file, or cancel (nothing).
    void queuePrinter(std::optional<std::string> pdfPath) { printers_.push_back(std::move(pdfPath)); }
    // What the program last put on the clipboard, or nothing.
    const std::optional<Picture>& clipboard() const { return clipboard_; }
    // Advances the virtual clock by ms, firing timers and deferred calls in time order.
    void advance(std::uint32_t ms) override;
    // Runs posted calls and repaints windows that need it, as an idle message loop would.
    void settle() override;
    bool quitRequested() const { return quit_; }
    // Real hardware: the waits between commands really pass (the caller paces advance() to
    // the real clock).
    void setRealTime(bool on) { realTime_ = on; }
    // A job nobody watches (the command line's measure): the windows draw nothing and keep the
    // background. On by default: the session harness and its tests read the pixels.
    void setPainting(bool on) { painting_ = on; }
    bool painting() const { return painting_; }
    std::uint32_t now() const override { return static_cast<std::uint32_t>(now_); }

    // Used by the windows.
    MessageAnswer nextAnswer(MessageButtons buttons);
    std::optional<std::string> nextFile();
    std::uint32_t nextFileWait() const { return fileWaits_.empty() ? 0 : fileWaits_.front(); }
    void startTimer(HeadlessWindow& window, int id, int intervalMs);
    void killTimer(HeadlessWindow& window, int id);
    // May be called from any thread (a sound card's completion); runs on the script's thread.
    void post(std::function<void()> fn);
    void windowDestroyed(HeadlessWindow& window);

private:
    // Clock
    std::uint32_t tickMs() const override { return now_; }
    std::uint32_t delayMs(std::uint32_t ms) override;
    void callAfter(std::chrono::milliseconds delay, std::function<void()> fn) override;
    // EventLog
    void record(std::string_view kind, std::string_view details) override;
    // PrintSystem: a PDF printer answered by the script, a 32-bit screen, an in-memory clipboard.
    int screenBitsPerPixel() const override { return 32; }
    std::string defaultPrinterDescription() const override;
    std::optional<Picture> captureClient(WindowHost& window) override;
    std::unique_ptr<PrinterJob> choosePrinter(WindowHost& owner) override;
    bool setClipboardPicture(const Picture& picture) override;

    struct Timer {
        HeadlessWindow* window;
        int id;
        int interval;
        std::uint64_t due;
    };
    struct Deferred {
        std::uint64_t due;
        std::uint64_t order;
        std::function<void()> fn;
    };
    bool fireNext(std::uint64_t limit);

    std::ostream& events_;
    std::uint64_t now_ = 0;
    std::uint64_t order_ = 0;
    std::vector<std::unique_ptr<HeadlessWindow>> windows_;
    std::vector<Timer> timers_;
    std::vector<Deferred> deferred_;
    std::mutex postedMutex_;
    std::deque<std::function<void()>> posted_;
    std::deque<MessageAnswer> answers_;
    std::deque<std::optional<std::string>> files_;
    std::deque<std::uint32_t> fileWaits_;
    std::deque<std::optional<std::string>> printers_;
    std::optional<Picture> clipboard_;
    bool quit_ = false;
    bool realTime_ = false;
    bool painting_ = true;
};

} // namespace vantrel
