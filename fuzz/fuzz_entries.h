#pragma once
// One entry per reader of outside data, shared by the libFuzzer targets (fuzz/*_fuzzer.cpp,
// clang only) and by the ordinary test suite, which replays every input under
// tests/fuzz-regressions/<target>/ through the same entry. An entry returns 0; a broken
// promise of the reader (a value outside its range, a refusal that changed something) aborts
// with a line on standard error, so that the fuzzer keeps the input and a replay fails.

#include <cstdint>
#include <span>
#include <string_view>

namespace vantrel::fuzz {

using Bytes = std::span<const std::uint8_t>;

// A *.RES recording. The input is the file's tail after the 2,107,999 sample bytes (the two
// index fields and the optional 20 bytes, or anything else); the sample bytes before it repeat
// the input, so extreme samples reach the conversion too.
int resRecording(Bytes data);
// A target file's text, read into a calibration curve.
int targetFile(Bytes data);
// A measurement microphone's calibration file, parsed and laid onto the axis.
int micFile(Bytes data);
// "Pellant.pre": the bytes of the file, short, exact or long.
int preferences(Bytes data);
// A session script, against a window with one control of every kind.
int sessionScript(Bytes data);
// Device names from the command line: lines of a serial port name, the value of its
// VANTREL_PORT_ variable, a line-settings text and a sound device's name.
int deviceNames(Bytes data);

// A balloon file's end: the last 32 bytes are the settings trailer, the bytes before it cells
// (float re, im pairs) as the views take their levels.
int balloonFile(Bytes data);

// An autosave's progress record ("autosave.run"), as a crash or a foreign hand may leave it.
int autosaveRecord(Bytes data);
// The walk's pacing file ("Pellant.walk"), and the same text typed into "Settle ms".
int walkPacing(Bytes data);

// A text that lands inside a balloon page (three.js, the balloon's path): as script text, as a
// JSON string and as HTML text, none can end its element and each reads back as the input.
int htmlTexts(Bytes data);

// A distortion file (*.DST): the input as a whole file (a short one), and the input replacing
// the start of a valid header (mark, sizes, grid, band, axis, cell flags), the bytes beyond
// the header read as levels.
int distortionFile(Bytes data);
// The measurement record beside a balloon: what parses writes back as the same record.
int measurementRecord(Bytes data);
// The simulated room of --sim-room ("L,W,H[,ALPHA]"): a room taken holds the rig, and its
// image paths are finite, unit directions, gains within (0, 1].
int simRoom(Bytes data);
// The arc walk's progress record (arc-autosave.run) and the --sim-arc text.
int arcRecord(Bytes data);
// The microphone arc's description.
int arcFile(Bytes data);
// The arc's calibration set.
int arcCalibration(Bytes data);
// A near-field curve: a refusal has its reason; a curve has rising frequencies and finite values.
int nearFieldCurve(Bytes data);
// The coefficient file of an expansion: a refusal has its reason; a file taken has each
// frequency's full count of finite coefficients and writes back as the same expansions.
int sphereCoefficients(Bytes data);
// The resampling record beside a resampled balloon: what parses writes back as the same record.
int resamplingRecord(Bytes data);
// The mount offset of --sim-offset ("X,Y,Z" mm): an offset taken lies within the cube.
int simOffset(Bytes data);
// A request body of the HTTP interface (a walk's options, a turntable move): what is taken lies
// in range, and a refusal names its reason and leaves the options as they were.
int apiRequest(Bytes data);

// "Pellant.recent": what reads writes back as the same list, and no path breaks a line.
int recentBalloons(Bytes data);
// The export window's fields: the input split at NUL bytes into its edits in id order; a
// request taken asks for one output with finite, positive numbers.
int exportFields(Bytes data);

struct Target {
    std::string_view name;
    int (*entry)(Bytes);
};
std::span<const Target> targets();

} // namespace vantrel::fuzz
