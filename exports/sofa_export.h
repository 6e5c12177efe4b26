#pragma once
// A balloon as an AES69 file of the convention FreeFieldDirectivityTF 1.1 (SOFA 2.1), netCDF-4.
//
// One measurement (M = 1), one receiver per unique direction of the grid (R, in the order and
// frame of sphereDirections), N = the axis points of the valid band (all 750 of the trailer's
// axis with ExportSource::allPoints, the comment then naming the band), I = 1, C = 3, E = 1.
// ReceiverPosition is spherical (azimuth, elevation in degrees, radius in metres) around the
// loudspeaker at the origin looking along +x with +z up. Data.Real and Data.Imag hold the
// stored complex values as they are (magnitude 1 is 90 dB of the measurement's level).

#include <array>
#include <optional>
#include <string>

#include "exports/export_source.h"

namespace vantrel {

// The text attributes a user may set; empty ones take the defaults below.
struct SofaMetadata {
    std::string title;         // default: "Directivity balloon of <file name>"
    std::string author;        // AuthorContact; default "unknown"
    std::string organization;  // default "unknown"
    std::string license;       // default: the convention's "No license provided, ask the author for permission"
    std::string sourceType;    // default "Loudspeaker"
    std::string manufacturer;  // SourceManufacturer; default "unknown"
    std::string description;   // default: the measurement settings
    std::string dateCreated;   // "yyyy-mm-dd HH:MM:SS"; default: now, UTC
    // The source's reference point in the receivers' frame (m, relative to the rotation
    // centre at the origin) and how it was found; none: the rotation centre itself. The data
    // keep their phase referred to the origin either way.
    std::optional<std::array<double, 3>> sourcePosition;
    std::string sourceReference;
};

inline constexpr double kSofaReceiverRadiusMetres = 1.0; // the balloon file keeps no distance

// "yyyy-mm-dd HH:MM:SS" of the current UTC time (or of SOURCE_DATE_EPOCH when set), the
// convention's date format.
std::string sofaDateNow();

// Writes the file through a temporary name. Empty on success, else a message naming the path.
[[nodiscard]] std::string writeSofa(const ExportSource& source, const SofaMetadata& metadata, const std::string& path);

} // namespace vantrel
