#pragma once
// A small window asking for one or two values typed as text ("Plane...", "Compare With..."):
// "OK" hands them to its owner, which closes it by accepting them or keeps it open with what
// was typed after saying what is wrong.

#include <functional>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace vantrel {

namespace input_ids {
inline constexpr int kOk = 1, kCancel = 2;
inline constexpr int kFirstEdit = 11;  // the second is 12
inline constexpr int kFirstLabel = 21; // the second is 22
} // namespace input_ids

class InputDialog final : public WindowClient {
public:
    // True when the values are taken; the window then closes.
    using Accept = std::function<bool(const std::vector<std::string>& values)>;

    // labels: one or two; values: what the edits show first.
    void open(Platform& platform, WindowHost& owner, const std::string& title, const std::vector<std::string>& labels,
              const std::vector<std::string>& values, Accept accept);
    bool isOpen() const { return host_ != nullptr; }
    WindowHost* host() { return host_; }

    void command(int id, int code) override;
    void closeRequested() override;

private:
    WindowHost* host_ = nullptr;
    std::size_t fields_ = 0;
    Accept accept_;
};

} // namespace vantrel
