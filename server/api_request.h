#pragma once
// Request bodies of the HTTP interface read into the system's own options. Kept to Qt's JSON
// reader and plain values, so that a fuzzer runs it alone. A body is one JSON object; a field
// it does not know, a value of the wrong type or out of its range is refused, naming the
// field, before anything is acted on.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/measure_plan.h"

namespace vantrel {

struct RequestError {
    std::string field;   // empty: the body as a whole
    std::string message; // names the field and what it takes
};

// A walk: the options of `measure` that are the walk's own (the rig is the server's).
struct WalkRequest {
    MeasureRequest measure;   // grid, order, rate, window, front, windowType, windowPosition, paced,
                              // settle, excitation, f1, f2, gate; preferences, micFile, arcFile and
                              // arcCalibration as given, relative to the server's directory
    std::string file;         // the balloon's file name inside the server's directory; empty: chosen
    bool resume = false;      // go on with the interrupted walk autosaved in the server's directory
};

std::optional<RequestError> readWalkRequest(std::string_view body, WalkRequest& walk);

// A turntable move: whole degrees, -360..360 and not 0; positive turns the table the way its
// "+" jog buttons do.
inline constexpr int kLongestMoveDegrees = 360;
std::optional<RequestError> readMoveRequest(std::string_view body, int& degrees);

// A balloon already in the server's directory: {"path": NAME}, NAME relative to it (whether it
// stays inside is the server's to judge, on the real folders).
std::optional<RequestError> readBalloonPath(std::string_view body, std::string& path);

// One measurement at the tables' position: the measurement window's settings unless given.
struct MeasurementRequest {
    std::optional<std::string> excitation; // "mls" or "sweep"
    std::optional<int> order, rate;
    std::optional<double> f1, f2;
};
std::optional<RequestError> readMeasurementRequest(std::string_view body, MeasurementRequest& measurement);

// A production check: the unit measured in the given directions (turntable angles H, V as a
// walk takes them, from the tables standing at H = 0, V = +90), held against a golden balloon
// within a tolerance per band.
struct CheckDirection {
    int h = 0, v = 0;
};
struct CheckBand {
    double fromHz = 0, toHz = 0, toleranceDb = 0;
};
struct CheckRequest {
    int golden = 0; // the id of a balloon of the server
    std::vector<CheckDirection> directions{CheckDirection{}}; // default: on axis
    std::vector<CheckBand> bands;
    MeasurementRequest measurement;
};
inline constexpr std::size_t kMostCheckDirections = 16;
inline constexpr std::size_t kMostCheckBands = 32;
std::optional<RequestError> readCheckRequest(std::string_view body, CheckRequest& check);

// A file name the server writes in its own directory: letters, digits, '.', '_' and '-', not
// starting with '.', ending in ".BAL" (either case), at most 100 characters.
bool isPlainBalloonName(std::string_view name);

} // namespace vantrel
