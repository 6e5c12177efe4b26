#include "exports/sofa_export.h"

#include <array>
#include <charconv>
#include <cstdlib>
#include <string_view>
#include <cerrno>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <netcdf.h>
#include <vector>

#include "balloon/sphere_directions.h"
#include "exports/export_valid_band.h"
#include "exports/safe_output.h"
#include "platform/version.h"

namespace vantrel {

namespace {

constexpr const char* kApplicationName = "Vantrel";
constexpr const char* kDefaultLicense = "No license provided, ask the author for permission";

std::string orDefault(const std::string& value, std::string fallback) { return value.empty() ? fallback : value; }

std::string frameDescription()
{
    return "Frame: the loudspeaker at the origin looking along +x (its axis, turntable angle H = 0), +z up its front "
           "baffle, +y to its left. The cell of turntable angles (H, V) lies in the direction x = cos H, "
           "y = sin H cos V, z = -sin H sin V: V = 0 is the horizontal plane with H turning to the left (azimuth = H), "
           "V = +90 the vertical plane with H turning downward (elevation = -H up to H = 90). Azimuth counts "
           "counter-clockwise seen from above, elevation upward. The radius of 1 metre is nominal: the balloon file "
           "keeps no measuring distance.";
}

std::string receiverSources(const std::vector<SphereDirection>& directions)
{
    std::string text = "Each receiver is one unique direction of the grid, taken from one cell of the balloon "
                       "(receiver index from 0: row/column, turntable H/V in degrees):";
    for (std::size_t i = 0; i < directions.size(); ++i) {
        const auto& d = directions[i];
        text.append(" ").append(std::to_string(i)).append(": ").append(std::to_string(d.cell.row)).append("/");
        text.append(std::to_string(d.cell.column)).append(" (H ").append(std::to_string(d.hDegrees));
        text.append(", V ").append(std::to_string(d.vDegrees)).append(");");
    }
    text.back() = '.';
    return text;
}

// The netCDF calls in sequence; the first failure is kept and later calls are skipped.
class NcWriter {
public:
    explicit NcWriter(int ncid) : ncid_(ncid) {}

    int dim(const char* name, std::size_t length)
    {
        int id = -1;
        check(nc_def_dim(ncid_, name, length, &id));
        return id;
    }
    int var(const char* name, std::initializer_list<int> dims)
    {
        int id = -1;
        const std::vector<int> ids(dims);
        check(nc_def_var(ncid_, name, NC_DOUBLE, static_cast<int>(ids.size()), ids.data(), &id));
        return id;
    }
    void text(int varid, const char* name, const std::string& value)
    {
        check(nc_put_att_text(ncid_, varid, name, value.size(), value.c_str()));
    }
    void deflate(int varid) { check(nc_def_var_deflate(ncid_, varid, 1, 1, 1)); }
    void endDefinitions() { check(nc_enddef(ncid_)); }
    void put(int varid, const double* values) { check(nc_put_var_double(ncid_, varid, values)); }

    int status() const { return status_; }

private:
    void check(int status)
    {
        if (status_ == NC_NOERR)
            status_ = status;
    }

    int ncid_;
    int status_ = NC_NOERR;
};

} // namespace

std::string sofaDateNow()
{
    // SOURCE_DATE_EPOCH (the reproducible-builds convention) pins the date, so two exports of
    // one balloon can be compared byte for byte.
    std::time_t now = std::time(nullptr);
    if (const char* pinned = std::getenv("SOURCE_DATE_EPOCH")) {
        const std::string_view text(pinned);
        long long seconds = 0;
        const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), seconds);
        if (ec == std::errc() && end == text.data() + text.size() && seconds >= 0)
            now = static_cast<std::time_t>(seconds);
    }
    std::tm utc{};
    gmtime_r(&now, &utc);
    std::array<char, 80> text{};
    std::snprintf(text.data(), text.size(), "%04d-%02d-%02d %02d:%02d:%02d", utc.tm_year + 1900, utc.tm_mon + 1,
                  utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec);
    return text.data();
}

std::string writeSofa(const ExportSource& source, const SofaMetadata& metadata, const std::string& path)
{
    FrequencyAxis axis;
    if (std::string error = exportAxis(source.trailer, axis); !error.empty())
        return error;
    ExportValidBand band;
    if (std::string error = exportValidBand(source, axis, band); !error.empty()) {
        if (!source.allPoints)
            return error;
        band.text = "(unknown: " + error + ")";
    }
    // The valid band only, unless asked for the whole stored axis (then the comment says what
    // lies outside it).
    const int first = source.allPoints ? 0 : band.first;
    const std::size_t points = static_cast<std::size_t>((source.allPoints ? kAxisPoints - 1 : band.last) - first + 1);
    const std::string pointsText =
        source.allPoints ? "All " + std::to_string(kAxisPoints) + " points of the stored axis; only the valid band " +
                               band.text + " is the loudspeaker's response, the rest is the filters' roll-off, copies and filler."
                         : "The valid band " + band.text + ".";
    const auto directions = sphereDirections(exportGrid(source.trailer));
    const std::size_t receivers = directions.size();

    TemporaryOutput output(path);
    // netCDF reports a missing directory as a permission problem: ask the system first.
    if (std::FILE* probe = std::fopen(output.temporaryPath().c_str(), "wb"); probe != nullptr)
        std::fclose(probe);
    else
        return writeFailure(path, errno);
    int ncid = -1;
    if (const int status = nc_create(output.temporaryPath().c_str(), NC_NETCDF4 | NC_CLOBBER, &ncid); status != NC_NOERR)
        return "cannot write " + path + ": " + nc_strerror(status);

    NcWriter nc(ncid);
    const std::string fileName = sourceFileName(source);
    const std::string settings = settingsSummary(source.trailer);
    const std::string date = orDefault(metadata.dateCreated, sofaDateNow());

    nc.text(NC_GLOBAL, "Conventions", "SOFA");
    nc.text(NC_GLOBAL, "Version", "2.1");
    nc.text(NC_GLOBAL, "SOFAConventions", "FreeFieldDirectivityTF");
    nc.text(NC_GLOBAL, "SOFAConventionsVersion", "1.1");
    nc.text(NC_GLOBAL, "DataType", "TF");
    nc.text(NC_GLOBAL, "RoomType", "free field");
    nc.text(NC_GLOBAL, "Title", orDefault(metadata.title, "Directivity balloon of " + fileName));
    nc.text(NC_GLOBAL, "DateCreated", date);
    nc.text(NC_GLOBAL, "DateModified", date);
    nc.text(NC_GLOBAL, "APIName", kApplicationName);
    nc.text(NC_GLOBAL, "APIVersion", std::string(vantrelVersion()));
    nc.text(NC_GLOBAL, "ApplicationName", kApplicationName);
    nc.text(NC_GLOBAL, "ApplicationVersion", vantrelVersionText());
    nc.text(NC_GLOBAL, "AuthorContact", orDefault(metadata.author, "unknown"));
    nc.text(NC_GLOBAL, "Organization", orDefault(metadata.organization, "unknown"));
    nc.text(NC_GLOBAL, "License", orDefault(metadata.license, kDefaultLicense));
    nc.text(NC_GLOBAL, "DatabaseName", fileName);
    nc.text(NC_GLOBAL, "SourceType", orDefault(metadata.sourceType, "Loudspeaker"));
    nc.text(NC_GLOBAL, "SourceManufacturer", orDefault(metadata.manufacturer, "unknown"));
    nc.text(NC_GLOBAL, "Description", orDefault(metadata.description, "Measurement settings: " + settings));
    nc.text(NC_GLOBAL, "History", "Exported from the balloon file " + fileName);
    nc.text(NC_GLOBAL, "Comment",
            "Balloon file " + fileName + ". Measurement settings: " + settings + ". " + pointsText + " Data.Real and Data.Imag "
            "are the stored complex responses; magnitude 1 is 90 dB of the measurement's level. " +
            frameDescription() + " " + receiverSources(directions));

    const int m = nc.dim("M", 1);
    const int r = nc.dim("R", receivers);
    const int e = nc.dim("E", 1);
    const int n = nc.dim("N", points);
    const int i = nc.dim("I", 1);
    const int c = nc.dim("C", 3);

    auto cartesian = [&](const char* name, std::initializer_list<int> dims) {
        const int id = nc.var(name, dims);
        nc.text(id, "Type", "cartesian");
        nc.text(id, "Units", "metre");
        return id;
    };
    const int listenerPosition = cartesian("ListenerPosition", {i, c});
    const int listenerView = cartesian("ListenerView", {i, c});
    const int listenerUp = nc.var("ListenerUp", {i, c});
    const int receiverPosition = nc.var("ReceiverPosition", {r, c});
    nc.text(receiverPosition, "Type", "spherical");
    nc.text(receiverPosition, "Units", "degree, degree, metre");
    const int sourcePosition = cartesian("SourcePosition", {i, c});
    nc.text(sourcePosition, "Reference",
            metadata.sourcePosition
                ? metadata.sourceReference
                : std::string("Centre of the front baffle, on the loudspeaker's axis, on the rotation centre"));
    const int sourceView = cartesian("SourceView", {i, c});
    nc.text(sourceView, "Reference",
            "The loudspeaker's axis, perpendicular to the front baffle (turntable angle H = 0)");
    const int sourceUp = nc.var("SourceUp", {i, c});
    nc.text(sourceUp, "Reference",
            "Up along the front baffle, perpendicular to the horizontal plane of turntable angle V = 0");
    const int emitterPosition = cartesian("EmitterPosition", {e, c});
    const int dataReal = nc.var("Data.Real", {m, r, n});
    const int dataImag = nc.var("Data.Imag", {m, r, n});
    nc.deflate(dataReal);
    nc.deflate(dataImag);
    const int frequencies = nc.var("N", {n});
    nc.text(frequencies, "LongName", "frequency");
    nc.text(frequencies, "Units", "hertz");
    nc.endDefinitions();

    const std::array<double, 3> origin{0, 0, 0}, view{1, 0, 0}, up{0, 0, 1};
    nc.put(listenerPosition, origin.data());
    nc.put(listenerView, view.data());
    nc.put(listenerUp, up.data());
    nc.put(sourcePosition, metadata.sourcePosition ? metadata.sourcePosition->data() : origin.data());
    nc.put(sourceView, view.data());
    nc.put(sourceUp, up.data());
    nc.put(emitterPosition, origin.data());

    std::vector<double> positions;
    positions.reserve(receivers * 3);
    for (const auto& d : directions)
        positions.insert(positions.end(), {d.azimuthDegrees, d.elevationDegrees, kSofaReceiverRadiusMetres});
    nc.put(receiverPosition, positions.data());

    std::vector<double> axisHz(points);
    for (std::size_t b = 0; b < points; ++b)
        axisHz[b] = axis[first + static_cast<int>(b)];
    nc.put(frequencies, axisHz.data());

    std::vector<double> re(receivers * points), im(receivers * points);
    for (std::size_t k = 0; k < receivers; ++k) {
        const auto cell = source.matrix.cell(directions[k].cell.row, directions[k].cell.column);
        for (std::size_t b = 0; b < points; ++b) {
            re[k * points + b] = cell[static_cast<std::size_t>(first) + b].re;
            im[k * points + b] = cell[static_cast<std::size_t>(first) + b].im;
        }
    }
    nc.put(dataReal, re.data());
    nc.put(dataImag, im.data());

    const int closeStatus = nc_close(ncid);
    const int status = nc.status() != NC_NOERR ? nc.status() : closeStatus;
    if (status != NC_NOERR)
        return "cannot write " + path + ": " + nc_strerror(status);
    return output.publish();
}

} // namespace vantrel
