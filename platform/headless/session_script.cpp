#include "platform/headless/session_script.h"

#include <QImage>
#include <charconv>
#include <cstdint>

#include "platform/qt/paged_print_job.h"

namespace vantrel {

std::optional<std::vector<std::string>> splitScriptLine(const std::string& line, std::string& error)
{
    std::vector<std::string> words;
    std::size_t i = 0;
    while (i < line.size()) {
        const char c = line[i];
        if (c == ' ' || c == '\t' || c == '\r') {
            ++i;
            continue;
        }
        if (c == '#')
            break;
        if (c == '"') {
            std::string word;
            ++i;
            bool closed = false;
            while (i < line.size()) {
                char ch = line[i++];
                if (ch == '"') {
                    closed = true;
                    break;
                }
                if (ch == '\\') {
                    if (i >= line.size())
                        break;
                    const char e = line[i++];
                    switch (e) {
                    case 'n': ch = '\n'; break;
                    case 'r': ch = '\r'; break;
                    case '"': ch = '"'; break;
                    case '\\': ch = '\\'; break;
                    default:
                        error = std::string("unknown escape \\") + e;
                        return std::nullopt;
                    }
                }
                word.push_back(ch);
            }
            if (!closed) {
                error = "unterminated text";
                return std::nullopt;
            }
            words.push_back(std::move(word));
            continue;
        }
        std::size_t end = i;
        while (end < line.size() && line[end] != ' ' && line[end] != '\t' && line[end] != '\r')
            ++end;
        words.push_back(line.substr(i, end - i));
        i = end;
    }
    return words;
}

namespace {

bool parseNumber(const std::string& s, long long& out)
{
    auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), out);
    return ec == std::errc() && p == s.data() + s.size();
}

// Ids, indexes and positions are 32-bit in every window; a larger number would wrap into a
// different, valid one.
bool fitsInt32(long long v) { return v >= INT32_MIN && v <= INT32_MAX; }
std::string rangeError(const std::string& word) { return "number '" + word + "' is outside the 32-bit range"; }

std::optional<ScrollCode> scrollCode(const std::string& s)
{
    if (s == "lineup") return ScrollCode::LineUp;
    if (s == "linedown") return ScrollCode::LineDown;
    if (s == "pageup") return ScrollCode::PageUp;
    if (s == "pagedown") return ScrollCode::PageDown;
    if (s == "thumbposition") return ScrollCode::ThumbPosition;
    if (s == "thumbtrack") return ScrollCode::ThumbTrack;
    if (s == "top") return ScrollCode::Top;
    if (s == "bottom") return ScrollCode::Bottom;
    if (s == "endscroll") return ScrollCode::EndScroll;
    return std::nullopt;
}

class Runner {
public:
    explicit Runner(HeadlessPlatform& platform) : platform_(platform) {}

    // Empty on success, else the error text.
    std::string run(const std::vector<std::string>& w)
    {
        const std::string& cmd = w[0];
        if (cmd == "answer") {
            if (w.size() != 2)
                return "usage: answer <ok|cancel|yes|no>";
            if (w[1] == "ok") platform_.queueAnswer(MessageAnswer::Ok);
            else if (w[1] == "cancel") platform_.queueAnswer(MessageAnswer::Cancel);
            else if (w[1] == "yes") platform_.queueAnswer(MessageAnswer::Yes);
            else if (w[1] == "no") platform_.queueAnswer(MessageAnswer::No);
            else return "unknown answer '" + w[1] + "'";
            return {};
        }
        if (cmd == "file") {
            long long after = 0;
            if ((w.size() != 2 && w.size() != 4) ||
                (w.size() == 4 && (w[2] != "after" || !parseNumber(w[3], after) || after < 0 || after > 0xFFFFFFFFLL)))
                return "usage: file \"<path>\" | file cancel [after <ms>]";
            std::optional<std::string> path;
            if (w[1] != "cancel")
                path = w[1];
            platform_.queueFile(path, static_cast<std::uint32_t>(after));
            return {};
        }
        if (cmd == "printer") {
            if (w.size() != 2)
                return "usage: printer \"<pdf>\" | printer cancel";
            if (w[1] == "cancel")
                platform_.queuePrinter(std::nullopt);
            else
                platform_.queuePrinter(w[1]);
            return {};
        }
        if (cmd == "screenshot" && w.size() == 3 && w[1] == "clipboard") {
            const auto& picture = platform_.clipboard();
            if (!picture)
                return "the clipboard holds no picture";
            if (!toQImage(*picture).save(QString::fromStdString(w[2]), "PNG"))
                return "cannot write '" + w[2] + "'";
            return {};
        }
        if (cmd == "wait") {
            long long ms = 0;
            if (w.size() != 2 || !parseNumber(w[1], ms) || ms < 0)
                return "usage: wait <ms>";
            if (ms > 0xFFFFFFFFLL)
                return rangeError(w[1]);
            platform_.advance(static_cast<std::uint32_t>(ms));
            return {};
        }
        if (w.size() < 2)
            return "'" + cmd + "' needs a window";
        if (cmd != "press" && cmd != "select" && cmd != "dblclick" && cmd != "scroll" && cmd != "type" &&
            cmd != "enter" && cmd != "rclick" && cmd != "close" && cmd != "screenshot" && cmd != "menu")
            return "unknown command '" + cmd + "'";
        HeadlessWindow* win = platform_.window(w[1]);
        if (!win)
            return "window '" + w[1] + "' is not open";
        if (cmd == "rclick") {
            if (w.size() != 2)
                return "usage: rclick <window>";
            win->client().rightClick(win->image().width() / 2, win->image().height() / 2);
            return {};
        }
        if (cmd == "menu") {
            long long id = 0;
            if (w.size() != 3 || !parseNumber(w[2], id))
                return "usage: menu <window> <id>";
            if (!fitsInt32(id))
                return rangeError(w[2]);
            return win->chooseMenu(static_cast<int>(id));
        }
        if (cmd == "close") {
            if (w.size() != 2)
                return "usage: close <window>";
            win->client().closeRequested();
            return {};
        }
        if (cmd == "screenshot") {
            if (w.size() != 3)
                return "usage: screenshot <window> \"<png>\"";
            if (win->dirty())
                win->repaintNow();
            if (!win->image().save(QString::fromStdString(w[2]), "PNG"))
                return "cannot write '" + w[2] + "'";
            return {};
        }
        long long id = 0;
        if (w.size() < 3 || !parseNumber(w[2], id))
            return "'" + cmd + "' needs a control id";
        if (!fitsInt32(id))
            return rangeError(w[2]);
        HeadlessControl* control = win->control(static_cast<int>(id));
        if (!control)
            return "window '" + w[1] + "' has no control " + w[2];
        const int cid = static_cast<int>(id);
        if (!control->enabled)
            return {}; // a disabled control takes no input
        if (cmd == "press") {
            if (w.size() != 3)
                return "usage: press <window> <id>";
            if (control->kind != ControlKind::PushButton && control->kind != ControlKind::CheckBox &&
                control->kind != ControlKind::RadioButton && control->kind != ControlKind::Shortcut)
                return "control " + w[2] + " is not a button";
            if (control->kind == ControlKind::CheckBox)
                control->checked = !control->checked;
            win->client().command(cid, kNotifyClicked);
            return {};
        }
        if (cmd == "select" || cmd == "dblclick") {
            long long index = 0;
            if (w.size() != 4 || !parseNumber(w[3], index))
                return "usage: " + cmd + " <window> <id> <index>";
            if (!fitsInt32(index))
                return rangeError(w[3]);
            if (control->kind != ControlKind::ListBox)
                return "control " + w[2] + " is not a list box";
            if (index < 0 || index >= static_cast<long long>(control->items.size()))
                return "list " + w[2] + " has no item " + w[3];
            win->setListSelection(cid, static_cast<int>(index));
            win->client().command(cid, cmd == "select" ? kNotifySelChange : kNotifyDblClick);
            return {};
        }
        if (cmd == "scroll") {
            if (w.size() != 4 && w.size() != 5)
                return "usage: scroll <window> <id> <code> [<pos>]";
            if (control->kind != ControlKind::HScrollBar && control->kind != ControlKind::VScrollBar)
                return "control " + w[2] + " is not a scroll bar";
            const auto code = scrollCode(w[3]);
            if (!code)
                return "unknown scroll code '" + w[3] + "'";
            long long pos = 0;
            if (w.size() == 5 && !parseNumber(w[4], pos))
                return "bad scroll position '" + w[4] + "'";
            if (!fitsInt32(pos))
                return rangeError(w[4]);
            win->client().scroll(cid, *code, static_cast<int>(pos));
            return {};
        }
        if (cmd == "enter") {
            if (w.size() != 3)
                return "usage: enter <window> <id>";
            if (control->kind != ControlKind::Edit)
                return "control " + w[2] + " is not an edit";
            win->client().command(cid, kNotifyEditFinished);
            return {};
        }
        // type
        if (w.size() != 4)
            return "usage: type <window> <id> \"<text>\"";
        if (control->kind != ControlKind::Edit)
            return "control " + w[2] + " is not an edit";
        control->text = w[3];
        win->client().command(cid, kNotifyEditChange);
        return {};
    }

private:
    HeadlessPlatform& platform_;
};

} // namespace

std::optional<ScriptError> runSessionScript(HeadlessPlatform& platform, std::istream& script)
{
    Runner runner(platform);
    std::string line;
    int number = 0;
    platform.settle();
    while (!platform.quitRequested() && std::getline(script, line)) {
        ++number;
        std::string error;
        auto words = splitScriptLine(line, error);
        if (!words)
            return ScriptError{number, error};
        if (words->empty())
            continue;
        error = runner.run(*words);
        if (!error.empty())
            return ScriptError{number, error};
        platform.settle();
    }
    return std::nullopt;
}

} // namespace vantrel
