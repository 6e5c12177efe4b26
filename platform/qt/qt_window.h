#pragma once

#include <QImage>
#include <QWidget>
#include <map>
#include <memory>

#include "platform/qt/image_canvas.h"
#include "platform/window_host.h"

class QAction;
class QLabel;
class QMainWindow;
class QTimer;

namespace vantrel {

class QtPlatform;

class QtWindow final : public QWidget, public WindowHost {
    Q_OBJECT
public:
    QtWindow(QtPlatform& platform, const WindowSpec& layout, WindowClient& client, QWidget* owner, bool modal);
    ~QtWindow() override;

    void setCheck(int id, bool checked) override;
    void enableMenu(int id, bool enabled, std::string_view reason) override;
    void setMenuText(int id, std::string_view caption, bool visible) override;
    void checkMenu(int id, bool checked) override;
    void setPictureTabs(int id, std::vector<PictureTab> tabs) override;
    void setPictureZoom(int id, int percent) override;
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

    void setTitle(std::string_view title) override;
    void raise() override;
    void destroy() override;
    MessageAnswer message(std::string_view text, std::string_view caption, MessageIcon icon,
                          MessageButtons buttons) override;
    void beep(BeepKind kind) override;
    std::optional<std::string> fileDialog(const FileDialogSpec& request) override;
    void startTimer(int id, int intervalMs) override;
    // A timer of the rig clock came due (QtPlatform runs it).
    void rigTimerFired(int id);
    void killTimer(int id) override;
    void setWaitCursor(bool on) override;
    Canvas& surface() override { return canvas_; }
    void invalidate() override;
    void repaintNow() override;
    void showDrawing() override;
    void post(std::function<void()> fn) override;

    const std::string& name() const { return name_; }
    // The top-level window: the frame holding the menu bar, or this window itself.
    QWidget* frame();
    // The close button of the frame.
    void frameCloseRequested();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    QWidget* widget(int id) const;
    void build(const ControlSpec& layout);
    void buildMenus(std::span<const MenuSpec> menus);
    // The dialogs themselves; message() and fileDialog() log what they answered.
    MessageAnswer askMessage(std::string_view text, std::string_view caption, MessageIcon icon, MessageButtons buttons);
    std::optional<std::string> askFile(const FileDialogSpec& request);
    void refreshSurface();

    QtPlatform& platform_;
    std::string name_;
    Rgb background_;
    WindowClient& client_;
    std::map<int, QWidget*> controls_;
    std::map<int, QTimer*> timers_;
    QMainWindow* frame_ = nullptr; // only for a window with a menu bar
    struct MenuEntry {
        QAction* action;
        std::string tip;
    };
    std::map<int, MenuEntry> menus_;
    struct ShownPicture {
        QLabel* label;
        QImage image; // at 100 %
    };
    std::map<int, std::vector<ShownPicture>> pictures_; // per PictureTabs control
    std::map<int, int> zoom_;
    std::map<int, int> wheelTurned_; // per PictureTabs control: Ctrl+wheel short of a notch
    static constexpr const char* kZoomControlProperty = "vantrelZoomControl";
    QImage image_;
    ImageCanvas canvas_;
    bool dirty_ = true;
    bool destroyed_ = false;
    int waitCursorDepth_ = 0;
};

} // namespace vantrel
