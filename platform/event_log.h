#pragma once
// The record of what the program did to the outside world, one line an event:
// "<ms> <kind> <details>". The session harness prints it; the GUI keeps it silent unless asked.

#include <string>
#include <string_view>

namespace vantrel {

class EventLog {
public:
    virtual ~EventLog() = default;
    virtual void record(std::string_view kind, std::string_view details) = 0;
};

class NullEventLog final : public EventLog {
public:
    void record(std::string_view, std::string_view) override {}
};

// A text in double quotes with \n \r \" \\ escaped; other control bytes as \xHH.
std::string quoted(std::string_view text);

} // namespace vantrel
