#pragma once
// A balloon as a Common Loudspeaker Format text file, the TAB-delimited authoring form that
// room-acoustics and sound-system programs read (CLF Group, "CLF text format" of the CLF
// authoring kit, clfgroup.org/clfdocuments.htm; CLF1 10 degrees and octave bands, CLF2
// 5 degrees and third-octave bands, clfgroup.org/faq.htm).
//
// The CLF balloon is axis-relative: each meridian arc is one rotation phi about the
// loudspeaker's axis and holds one level per polar angle theta from 0 (on axis) to 180 (rear).
// With <BALLOON-ARC-ORDER> <default> the first arc (phi = 0) points up the front baffle and the
// arcs turn toward the loudspeaker's left, so phi = 90 is its left, 180 down, 270 its right.
// In the interchange frame of sphereDirections (+x the axis, +y left, +z up) the direction of
// (phi, theta) is x = cos theta, y = sin theta sin phi, z = sin theta cos phi.
//
// That is the turntables' own geometry: H is the polar angle and V turns its plane about the
// axis, so every CLF direction on the balloon's step is a cell: theta = H and phi = 90 + V for
// H = 0..180; theta = 360 - H and phi = 270 + V for H = 180..360 (the V = -90 row is read as the
// V = +90 row at 360 - H). On a finer CLF step than the balloon's (CLF2 from a 10-degree
// balloon) the points between the cells are interpolated bilinearly in theta and phi, in dB.
//
// Band values: the energy average of the cell's complex bins whose frequency lies between the
// band's edges (base-ten IEC bands: centre 1000 x 10^(k/10), edges x 10^(+-1/20) for thirds,
// x 10^(+-3/20) for octaves), in dB. Balloon blocks are relative to the on-axis level of the
// band (<BALLOON-REF> <relative>, the axis row reads 0.00); <AXIAL-SPECTRUM> and <SENSITIVITY>
// are absolute: the stored level (magnitude 1 is 90 dB) brought to 1 m from the measuring
// distance by the inverse-distance law, and the sensitivity per 1 V from the drive voltage.
//
// Strictness of CLF text readers, kept here: the first line is exactly "<CLF1>" or "<CLF2>";
// fields are separated by one TAB, with no trailing TAB and no blank line anywhere; every
// nominal band from <MINBAND> to <MAXBAND> has its own "<BAND>\t<nominal>" line with the
// nominal number as it is printed (1250, not 1259); each block has one row per arc (36 or 72)
// of one value per polar angle (19 or 37); lines end in CR LF as a spreadsheet saves them.

#include <optional>
#include <string>
#include <vector>

#include "exports/export_source.h"

namespace vantrel {

struct ClfOptions {
    int version = 0;             // 1 or 2; 0 chooses by the grid (5 degrees: CLF2, 10: CLF1)
    std::string model;           // <MODELNAME>; default: the balloon file's name
    std::string manufacturer;    // <MANUFACTURER>; default "unknown"
    double distanceMetres = 1.0; // the measuring distance
    double driveVolts = 1.0;     // the drive voltage of the measurement (for the sensitivity per 1 V)
};

struct ClfBand {
    const char* nominal; // as printed: "31.5", "1250"
    double centreHz;     // exact base-ten centre
    double lowHz, highHz;
};

// Every nominal band a version may carry: CLF1 octaves 16 .. 16000, CLF2 thirds 100 .. 20000.
std::vector<ClfBand> clfNominalBands(int version);

// The arc and polar angle of a CLF direction, as a cell of the grid, when it is one.
std::optional<CellIndex> clfCell(int phiDegrees, int thetaDegrees, AngleGrid grid);

struct ClfSummary {
    int version = 0;
    std::string minBand, maxBand;
    int bands = 0;
    bool interpolated = false; // the CLF step is finer than the balloon's
    std::string validBand;     // ExportValidBand::text
};

// The file's text. Empty error on success.
std::string clfText(const ExportSource& source, const ClfOptions& options, std::string& error,
                    ClfSummary* summary = nullptr);

// Writes the file through a temporary name. Empty on success, else a message.
[[nodiscard]] std::string writeClf(const ExportSource& source, const ClfOptions& options, const std::string& path,
                                   ClfSummary* summary = nullptr);

} // namespace vantrel
