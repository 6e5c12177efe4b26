#pragma once
// The event-log lines of the dialogs a window shows, in one form for every host:
//   message <window> "<caption>" <icon> "<text>" -> <answer>
//   file-dialog <window> open|save "<path>" | cancel

#include <optional>
#include <string>
#include <string_view>

#include "platform/window_host.h"

namespace vantrel {

const char* answerName(MessageAnswer answer);
const char* iconName(MessageIcon icon);

// The details of a "message" event.
std::string messageEventText(std::string_view window, std::string_view caption, MessageIcon icon, std::string_view text,
                             MessageAnswer answer);
// The details of a "file-dialog" event.
std::string fileDialogEventText(std::string_view window, bool save, const std::optional<std::string>& path);

} // namespace vantrel
