#pragma once
// The session harness's script language, one command a line, '#' starts a comment:
//   press <window> <id>                  button, check box or radio button (notification 0)
//   select <window> <id> <index>         list box: selection and caret, then selection change
//   dblclick <window> <id> <index>       list box: selection and caret, then double click
//   scroll <window> <id> <code> [<pos>]  lineup linedown pageup pagedown thumbposition
//                                        thumbtrack top bottom endscroll
//   type <window> <id> "<text>"          an edit's text, then its change notification
//   enter <window> <id>                  an edit finished (Enter, or the focus leaving it)
//   rclick <window>                      right-button click inside the window
//   menu <window> <id>                   choose a menu bar entry (a disabled one does nothing)
//   answer <ok|cancel|yes|no>            answer for the next message box
//   file "<path>" | file cancel [after <ms>]  answer for the next file dialog, given after the
//                                        person has looked at it for ms (the clock runs meanwhile)
//   printer "<pdf>" | printer cancel     answer for the next print dialog: print to that PDF
//   wait <ms>                            advance the virtual clock
//   close <window>                       close request
//   screenshot <window> "<png>"          write the window's current picture
//   screenshot clipboard "<png>"         write the picture on the clipboard
// Texts are in double quotes with \n \r \" \\ escapes.

#include <istream>
#include <optional>
#include <string>
#include <vector>

#include "platform/headless/headless_platform.h"

namespace vantrel {

struct ScriptError {
    int line = 0;
    std::string message;
};

// Splits one line into words; a quoted text becomes one word with its escapes resolved.
// Nothing when the quoting is broken.
std::optional<std::vector<std::string>> splitScriptLine(const std::string& line, std::string& error);

// Runs the script against the platform until it ends or the program quits. Returns the first
// script error, or nothing.
std::optional<ScriptError> runSessionScript(HeadlessPlatform& platform, std::istream& script);

} // namespace vantrel
