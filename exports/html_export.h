#pragma once
// A balloon as one self-contained HTML page that turns it in any current browser, offline:
// three.js (the system's copy, read at export time), the viewer's own page and script
// (compiled in), the balloon's settings and a data block, all inside the one file.
//
// Data block: base64 of a zlib stream (browsers inflate it with DecompressionStream
// "deflate") holding first the levels of every direction, then the phases, each direction's
// 750 bins in frequency order:
//     level q = round(dB / 0.01), phase q = round(degrees / 0.1), phase in -180..180;
// each as differences along frequency (the first bin from 0), wrapped into int16 for levels
// and into one turn (-1800..1799) for phases, zigzag coded as uint16 (d >= 0: 2d, else
// -2d - 1) and stored as two byte planes, all low bytes then all high bytes. A running sum
// (wrapped the same way) restores q exactly; a phase of +180 degrees comes back as -180.
// Directions are those of sphereDirections, in its order; the page's metadata lists their
// turntable angles (H, V).

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "exports/export_source.h"

namespace vantrel {

// Where Debian's libjs-three puts the library; VANTREL_THREE_JS_DIR overrides it.
inline constexpr const char* kThreeJsDirectory = "/usr/share/javascript/three";
inline constexpr double kHtmlLevelStepDb = 0.01;
inline constexpr double kHtmlPhaseStepDegrees = 0.1;

struct ThreeJs {
    std::string library;  // three.min.js
    std::string controls; // examples/js/controls/OrbitControls.js, a plain script
};

// The directory to read three.js from: VANTREL_THREE_JS_DIR when set, else kThreeJsDirectory.
std::string threeJsDirectory();

// Reads both scripts. Empty on success, else a message naming the missing file and the
// package that brings it.
[[nodiscard]] std::string readThreeJs(const std::string& directory, ThreeJs& out);

// Quantised levels (0.01 dB) and phases (0.1 degree) of every direction, before the
// difference coding: levels[d * 750 + b], phases[d * 750 + b].
struct QuantisedBalloon {
    std::vector<std::int16_t> levels;
    std::vector<std::int16_t> phases;
};
QuantisedBalloon quantiseBalloon(const ExportSource& source);

// Texts placed inside the page: a script's text with every "</script" (any case) written
// "<\/script", so it cannot end its element early; a JSON string literal with '"', '\\', the
// control characters and '<', '>', '&' escaped; HTML text with '&', '<', '>', '"' as entities.
std::string scriptElementText(std::string_view text);
std::string jsonString(std::string_view text);
std::string htmlText(std::string_view text);

// The whole page; empty when the data could not be compressed (no memory).
std::string htmlPage(const ExportSource& source, const FrequencyAxis& axis, const ThreeJs& three);

// Writes the page through a temporary name. Empty on success, else a message naming the path.
[[nodiscard]] std::string writeHtml(const ExportSource& source, const ThreeJs& three, const std::string& path);

} // namespace vantrel
