#pragma once
// The twelve port names both port list boxes offer, in list order; a link's port index is a
// position in this list.

#include <array>
#include <string_view>

namespace vantrel {

inline constexpr std::array<std::string_view, 12> kPortNames{
    "COM1", "COM2", "COM3", "COM4", "COM5", "COM6", "COM21", "COM22", "COM23", "COM24", "COM25", "COM26"};

inline constexpr int kTurntable1DefaultPort = 4; // "COM5"
inline constexpr int kTurntable2DefaultPort = 3; // "COM4"

} // namespace vantrel
