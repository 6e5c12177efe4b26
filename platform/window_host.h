#pragma once
// One window as the logic sees it: its controls addressed by numeric id, message boxes, file
// dialogs, timers, a persistent drawing surface, and post() onto the user-interface thread.
// Each window declares its controls as data (a WindowSpec); the Qt host builds real widgets
// from it, the headless host keeps the same state in memory.

#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/canvas.h"

namespace vantrel {

enum class ControlKind {
    PushButton,
    RadioButton, // never checks itself: the logic sets and clears the marks
    CheckBox,    // toggles itself, then reports the click
    ListBox,     // single selection, reports selection changes and double clicks
    HScrollBar,
    VScrollBar,
    Edit,        // reports every change of its text, and the end of an edit (Enter, focus leaving)
    Static,
    GroupBox,
    PlotArea,    // a region of the window surface the logic draws on
    Shortcut,    // a key sequence (the caption, "Ctrl+P") that issues its id as a click; no widget
    PictureTabs, // tabs of pictures and texts, each tab scrolled on its own (setPictureTabs);
                 // reports Ctrl+wheel as kNotifyZoomIn / kNotifyZoomOut
};

// One picture of a PictureTabs control: drawn on a white width x height image when shown.
struct TabPicture {
    int width = 0, height = 0;
    std::function<void(Canvas&)> draw;
};

struct PictureTab {
    std::string title;
    std::vector<TabPicture> pictures;
    std::string text; // shown under the pictures, in a fixed-width font; empty for none
};

struct ControlSpec {
    int id = -1; // -1 for group boxes and statics nobody addresses
    ControlKind kind = ControlKind::Static;
    std::string_view caption;
    int x = 0, y = 0, width = 0, height = 0;
    int rangeMin = 0, rangeMax = 0; // scroll bars
    bool border = false;
};

// One entry of a window's menu bar, in the order shown. Level 0 entries are the bar's menus;
// an entry followed by deeper ones opens them as its submenu. id -1 with an empty caption is a
// separator. An entry with an id reports command(id, kNotifyClicked) when chosen.
struct MenuSpec {
    int level = 0;
    int id = -1;
    std::string_view caption = {};
    std::string_view statusTip = {}; // shown while the entry is pointed at and enabled
    bool checkable = false;          // the logic sets and clears its mark, as for radio buttons
    std::string_view shortcut = {};  // "Ctrl+O", or empty
};

struct WindowSpec {
    std::string_view name;  // "main", "measure", "calibration", "print"
    std::string_view title;
    int width = 0, height = 0; // client area; a menu bar sits above it, never inside
    Rgb background{255, 255, 255};
    std::span<const ControlSpec> controls;
    std::span<const MenuSpec> menus = {};
};

// Notification codes passed with command(id, code).
inline constexpr int kNotifyClicked = 0;     // button, check box, radio button
inline constexpr int kNotifySelChange = 1;   // list box
inline constexpr int kNotifyDblClick = 2;    // list box
inline constexpr int kNotifyEditChange = 0x300;
inline constexpr int kNotifyEditFinished = 0x200; // Enter pressed, or the focus left the edit
// A PictureTabs control under the pointer: the wheel turned one notch with Ctrl held, away from
// the user (in) or toward the user (out). Ctrl+wheel never scrolls the tabs.
inline constexpr int kNotifyZoomIn = 0x400;
inline constexpr int kNotifyZoomOut = 0x401;

enum class ScrollCode { LineUp, LineDown, PageUp, PageDown, ThumbPosition, ThumbTrack, Top, Bottom, EndScroll };

// A scroll bar's value after one action: a line is 1, a page 10, the thumb lands at position,
// the two ends at top and bottom; the end of a scroll changes nothing. Not yet clamped.
constexpr int scrolledValue(int current, ScrollCode code, int position, int top, int bottom)
{
    switch (code) {
    case ScrollCode::LineUp: return current - 1;
    case ScrollCode::LineDown: return current + 1;
    case ScrollCode::PageUp: return current - 10;
    case ScrollCode::PageDown: return current + 10;
    case ScrollCode::ThumbPosition:
    case ScrollCode::ThumbTrack: return position;
    case ScrollCode::Top: return top;
    case ScrollCode::Bottom: return bottom;
    case ScrollCode::EndScroll: break;
    }
    return current;
}

enum class MessageIcon { Information, Warning, Question };
enum class MessageButtons { Ok, YesNo, YesNoCancel };
enum class MessageAnswer { Ok, Cancel, Yes, No };
enum class BeepKind { Default, Exclamation };

struct FileDialogSpec {
    bool save = false;
    std::string_view filterName;   // "Balloon Files (*.BAL)"
    std::string_view filterPattern; // "*.bal"
    std::string initialPath;       // pre-filled name, empty for none
    // Further filters offered after the first, each "Name (*.ext)", separated by ";;".
    std::string_view moreFilters;
    bool folder = false; // choose an existing folder; the filters are not used
};

// What a window reports to its logic.
class WindowClient {
public:
    virtual ~WindowClient() = default;
    virtual void command(int id, int code) = 0;
    virtual void scroll(int /*id*/, ScrollCode /*code*/, int /*position*/) {}
    // Full repaint: the host has erased the surface to the background colour.
    virtual void paint(Canvas& /*canvas*/) {}
    virtual void timer(int /*id*/) {}
    // The user asked to close the window; the logic decides (destroy() closes it).
    virtual void closeRequested() {}
    virtual void rightClick(int /*x*/, int /*y*/) {}
};

// A window whose user input nobody handles (a window only the program itself drives).
class SilentWindowClient final : public WindowClient {
public:
    void command(int, int) override {}
};

class WindowHost {
public:
    virtual ~WindowHost() = default;

    // Controls.
    virtual void setCheck(int id, bool checked) = 0;
    virtual bool isChecked(int id) const = 0;
    virtual void setScrollRange(int id, int min, int max) = 0;
    virtual void setScrollPos(int id, int position) = 0; // clamped to the range
    virtual int scrollPos(int id) const = 0;
    virtual void clearList(int id) = 0;
    // Inserts at index (-1 or past the end appends); returns the index used.
    virtual int insertListItem(int id, int index, std::string_view text) = 0;
    virtual void deleteListItem(int id, int index) = 0;
    virtual int listCount(int id) const = 0;
    virtual std::string listItem(int id, int index) const = 0;
    // Selects index (-1 clears the selection) and moves the caret there; no notification.
    virtual void setListSelection(int id, int index) = 0;
    virtual int listSelection(int id) const = 0;
    virtual int listCaret(int id) const = 0;
    virtual void setText(int id, std::string_view text) = 0; // edits and statics; no notification
    virtual std::string text(int id) const = 0;
    virtual void enable(int id, bool enabled) = 0;

    // Menu entries of the WindowSpec, by id. A disabled entry shows why in its status tip (an
    // empty reason restores the entry's own tip); a hidden one takes no room (the slots of a
    // list that grows, as the recent files). Hosts without a menu bar ignore them.
    virtual void enableMenu(int /*id*/, bool /*enabled*/, std::string_view /*reason*/ = {}) {}
    virtual void setMenuText(int /*id*/, std::string_view /*caption*/, bool /*visible*/) {}
    virtual void checkMenu(int /*id*/, bool /*checked*/) {}
    // A PictureTabs control's tabs, replacing what it showed, and the scale it shows them at.
    virtual void setPictureTabs(int /*id*/, std::vector<PictureTab> /*tabs*/) {}
    virtual void setPictureZoom(int /*id*/, int /*percent*/) {}

    // The window.
    virtual void setTitle(std::string_view title) = 0;
    virtual void raise() = 0;     // bring forward and give it the keyboard focus
    virtual void destroy() = 0;   // close now; the client gets no further calls
    virtual MessageAnswer message(std::string_view text, std::string_view caption, MessageIcon icon,
                                  MessageButtons buttons = MessageButtons::Ok) = 0;
    virtual void beep(BeepKind kind) = 0;
    // The chosen full path, or nothing when the user cancelled.
    virtual std::optional<std::string> fileDialog(const FileDialogSpec& request) = 0;
    virtual void startTimer(int id, int intervalMs) = 0; // restarts a running timer of that id
    virtual void killTimer(int id) = 0;
    virtual void setWaitCursor(bool on) = 0;

    // Drawing: the surface persists between repaints, so what is drawn outside a paint cycle
    // stays until the next full repaint.
    virtual Canvas& surface() = 0;
    virtual void invalidate() = 0; // schedule a full repaint (erase, then client.paint)
    virtual void repaintNow() = 0; // full repaint before returning
    // Puts what has been drawn on the surface on screen now, without a repaint of the client,
    // for a walk that blocks the event loop but must be seen step by step.
    virtual void showDrawing() {}

    // Runs fn on the user-interface thread after the current event.
    virtual void post(std::function<void()> fn) = 0;
};

} // namespace vantrel
