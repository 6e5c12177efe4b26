#pragma once
// A balloon's two main planes as FRD text files, one per angle, named "<prefix> hor +30.frd" and
// "<prefix> ver -60.frd" so that tools reading angle series recognise them.
//
// Angles run from -180 to +180 in grid steps and follow the interchange frame of
// sphereDirections: "hor a" is azimuth a (positive to the loudspeaker's left) in the horizontal
// plane V = 0, taken from the cell at H = a mod 360; "ver a" is elevation a (positive upward)
// in the vertical plane V = +90, taken from the cell at H = -a mod 360 (that row turns downward
// as H grows). -180 and +180 are both the rear axis.
//
// Each file: '*' comment lines (source file name, plane, angle, settings, the valid band), then
// one ascending line "frequency_Hz level_dB phase_deg" per axis point of the valid band (all
// 750 with ExportSource::allPoints), level 20 log10 |z| + 90 dB.

#include <string>
#include <vector>

#include "exports/export_source.h"
#include "exports/export_valid_band.h"

namespace vantrel {

enum class FrdPlane { Horizontal, Vertical };
enum class FrdPhase { Wrapped, Unwrapped };

struct FrdAngle {
    FrdPlane plane;
    int degrees;     // -180..+180
    CellIndex cell;  // where the response is read
    int hDegrees;    // turntable angles of that cell
    int vDegrees;
};

// Both planes, each -180..+180 in grid steps: 2 x 37 on the 10-degree grid, 2 x 73 on the 5.
std::vector<FrdAngle> frdAngles(AngleGrid grid);

// "<prefix> hor +30.frd"; zero has no sign.
std::string frdFileName(const std::string& prefix, FrdPlane plane, int degrees);

// The text of one file: the points of band, or all of them with source.allPoints.
std::string frdText(const ExportSource& source, const FrequencyAxis& axis, const FrdAngle& angle, FrdPhase phase,
                    const ExportValidBand& band);

// Writes every file into directory (created when missing), each through a temporary name.
// Empty on success, else a message naming the path that failed; files already complete stay.
[[nodiscard]] std::string writeFrdSeries(const ExportSource& source, const std::string& directory,
                                         const std::string& prefix, FrdPhase phase,
                                         std::vector<std::string>* written = nullptr);

} // namespace vantrel
