#include "platform/window_events.h"

#include "platform/event_log.h"

namespace vantrel {

const char* answerName(MessageAnswer answer)
{
    switch (answer) {
    case MessageAnswer::Ok: return "ok";
    case MessageAnswer::Cancel: return "cancel";
    case MessageAnswer::Yes: return "yes";
    case MessageAnswer::No: return "no";
    }
    return "ok";
}

const char* iconName(MessageIcon icon)
{
    switch (icon) {
    case MessageIcon::Information: return "information";
    case MessageIcon::Warning: return "warning";
    case MessageIcon::Question: return "question";
    }
    return "information";
}

std::string messageEventText(std::string_view window, std::string_view caption, MessageIcon icon, std::string_view text,
                             MessageAnswer answer)
{
    return std::string(window) + " " + quoted(caption) + " " + iconName(icon) + " " + quoted(text) + " -> " +
           answerName(answer);
}

std::string fileDialogEventText(std::string_view window, bool save, const std::optional<std::string>& path)
{
    return std::string(window) + (save ? " save " : " open ") + (path ? quoted(*path) : std::string("cancel"));
}

} // namespace vantrel
