// The fuzz entry of the HTTP interface's request bodies (declared in fuzz_entries.h).
#include <cstdio>
#include <cstdlib>

#include "fuzz/fuzz_entries.h"
#include "server/api_request.h"

namespace vantrel::fuzz {

namespace {

void promise(bool kept, const char* what)
{
    if (!kept) {
        std::fprintf(stderr, "api_request: broken promise: %s\n", what);
        std::abort();
    }
}

} // namespace

int apiRequest(Bytes data)
{
    const std::string_view body(reinterpret_cast<const char*>(data.data()), data.size());
    WalkRequest walk;
    walk.file = "untouched.BAL";
    if (const auto error = readWalkRequest(body, walk)) {
        promise(!error->message.empty(), "a refusal has its reason");
        promise(walk.file == "untouched.BAL" && walk.measure.order == 18, "a refusal changes nothing");
    } else {
        const MeasureRequest& m = walk.measure;
        promise(m.grid == 5 || m.grid == 10, "grid 5 or 10");
        promise(m.order >= 13 && m.order <= 18, "order 13..18");
        promise(m.rate == 48000 || m.rate == 96000, "rate 48000 or 96000");
        promise(!m.window || (*m.window >= 1 && *m.window <= 262143), "window in range");
        promise(!m.windowPosition || (*m.windowPosition >= 0 && *m.windowPosition <= 400), "position in range");
        promise(m.settle >= 0 && (m.paced || m.settle == 0), "settle only when paced");
        promise(m.f1 > 0 && m.f2 >= 0, "frequencies above 0");
        promise(m.excitation == "mls" || m.excitation == "sweep", "an excitation of the two");
        promise(walk.file.empty() || isPlainBalloonName(walk.file), "no file name (the server chooses), or a plain one");
        promise(walk.file.find('/') == std::string::npos, "no folders in the file name");
    }
    int degrees = 7;
    if (const auto error = readMoveRequest(body, degrees))
        promise(!error->message.empty() && degrees == 7, "a refused move has its reason and changes nothing");
    else
        promise(degrees != 0 && degrees >= -kLongestMoveDegrees && degrees <= kLongestMoveDegrees, "a move in range");
    MeasurementRequest measurement;
    measurement.order = 99;
    if (const auto error = readMeasurementRequest(body, measurement))
        promise(!error->message.empty() && measurement.order == 99, "a refused measurement changes nothing");
    else
        promise(!measurement.order || (*measurement.order >= 13 && *measurement.order <= 18), "order 13..18");
    CheckRequest check;
    check.golden = -1;
    if (const auto error = readCheckRequest(body, check)) {
        promise(!error->message.empty() && check.golden == -1, "a refused check changes nothing");
    } else {
        promise(check.golden >= 1 && !check.directions.empty() && check.directions.size() <= kMostCheckDirections,
                "a golden balloon and 1..16 directions");
        promise(!check.bands.empty() && check.bands.size() <= kMostCheckBands, "1..32 bands");
        for (const CheckBand& b : check.bands)
            promise(b.fromHz > 0 && b.fromHz < b.toHz && b.toleranceDb >= 0, "a band with its tolerance");
        for (const CheckDirection& d : check.directions)
            promise(d.h >= 0 && d.h < 360 && d.v >= -85 && d.v <= 90, "a direction on the sphere");
    }
    std::string path = "kept";
    if (const auto error = readBalloonPath(body, path))
        promise(!error->message.empty() && path == "kept", "a refused path has its reason and changes nothing");
    else
        promise(!path.empty() && path.find('\0') == std::string::npos, "a path without NUL");
    return 0;
}

} // namespace vantrel::fuzz
