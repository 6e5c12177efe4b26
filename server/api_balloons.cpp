#include "server/api_balloons.h"

#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <array>
#include <cstring>
#include <filesystem>
#include <vector>

#include "balloon/balloon_matrix.h"
#include "balloon/measured_balloon.h"
#include "exports/clf_export.h"
#include "exports/export_valid_band.h"
#include "exports/frd_export.h"
#include "exports/html_export.h"
#include "exports/sofa_export.h"
#include "exports/spinorama_export.h"

namespace vantrel {

namespace {

std::string flat(std::string message)
{
    for (std::size_t at; (at = message.find("\n\n")) != std::string::npos;)
        message.replace(at, 2, ": ");
    return message;
}

QByteArray readWhole(const std::string& path, std::string& error)
{
    QFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::ReadOnly)) {
        error = "cannot read '" + path + "'";
        return {};
    }
    return file.readAll();
}

// An octal field of a tar header: digits, then NUL.
void octal(char* field, std::size_t width, unsigned long long value)
{
    std::string digits;
    do {
        digits.insert(digits.begin(), static_cast<char>('0' + (value & 7u)));
        value >>= 3;
    } while (value != 0);
    digits.insert(0, width - 1 - std::min(digits.size(), width - 1), '0');
    std::memcpy(field, digits.data(), width - 1);
    field[width - 1] = '\0';
}

} // namespace

QByteArray tarOfDirectory(const std::string& directory, std::string& error)
{
    std::vector<std::filesystem::path> files;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(directory, ec))
        if (entry.is_regular_file())
            files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    QByteArray tar;
    for (const auto& path : files) {
        const std::string name = path.filename().string();
        if (name.size() > 99) {
            error = "the file name '" + name + "' is too long for the archive";
            return {};
        }
        const QByteArray data = readWhole(path.string(), error);
        if (!error.empty())
            return {};
        std::array<char, 512> header{};
        std::memcpy(header.data(), name.data(), name.size());
        octal(&header[100], 8, 0644);
        octal(&header[108], 8, 0);
        octal(&header[116], 8, 0);
        octal(&header[124], 12, static_cast<unsigned long long>(data.size()));
        octal(&header[136], 12, 0);
        header[156] = '0';
        std::memcpy(&header[257], "ustar", 6);
        header[263] = '0';
        header[264] = '0';
        std::memset(&header[148], ' ', 8);
        unsigned sum = 0;
        for (const char c : header)
            sum += static_cast<unsigned char>(c);
        octal(&header[148], 7, sum);
        header[155] = ' ';
        tar.append(header.data(), 512);
        tar.append(data);
        tar.append(QByteArray((512 - data.size() % 512) % 512, '\0'));
    }
    tar.append(QByteArray(1024, '\0'));
    return tar;
}

std::string checkBalloon(const std::string& path, std::string& summary)
{
    auto matrix = BalloonMatrix::create();
    if (!matrix)
        return "not enough memory for the balloon";
    const MeasuredBalloonLoad load = loadMeasuredBalloon(path, *matrix);
    if (!load)
        return flat(load.error);
    const ExportSource source{*matrix, matrix->readTrailer(), path, load.measured, false};
    FrequencyAxis axis;
    if (std::string error = exportAxis(source.trailer, axis); !error.empty())
        return error;
    ExportValidBand band;
    const std::string unknown = exportValidBand(source, axis, band);
    summary = std::string(exportGrid(source.trailer) == AngleGrid::Grid5 ? "5" : "10") + "-degree grid, valid band " +
              (unknown.empty() ? band.text : "unknown");
    return {};
}

std::string exportBalloon(const std::string& path, std::string_view format, ExportedFile& out, bool& usage)
{
    usage = true;
    if (std::find(std::begin(kApiExportFormats), std::end(kApiExportFormats), format) == std::end(kApiExportFormats))
        return "no export \"" + std::string(format) + "\" (sofa, frd, clf, spinorama or html)";
    ThreeJs three;
    if (format == "html")
        if (std::string error = readThreeJs(threeJsDirectory(), three); !error.empty()) {
            usage = false;
            return error;
        }
    auto matrix = BalloonMatrix::create();
    if (!matrix) {
        usage = false;
        return "not enough memory for the balloon";
    }
    const MeasuredBalloonLoad load = loadMeasuredBalloon(path, *matrix);
    if (!load)
        return flat(load.error);
    const ExportSource source{*matrix, matrix->readTrailer(), path, load.measured, false};
    QTemporaryDir temporary;
    if (!temporary.isValid()) {
        usage = false;
        return "cannot make a temporary folder for the export";
    }
    const std::string stem = std::filesystem::path(path).stem().string();
    const std::string folder = temporary.path().toStdString();
    std::string error, written;
    if (format == "sofa") {
        written = folder + "/" + stem + ".sofa";
        error = writeSofa(source, SofaMetadata{}, written);
        out.mimeType = "application/x-netcdf";
    } else if (format == "clf") {
        written = folder + "/" + stem + ".tab";
        ClfOptions clf;
        clf.model = stem;
        error = writeClf(source, clf, written);
        out.mimeType = "text/tab-separated-values";
    } else if (format == "html") {
        written = folder + "/" + stem + ".html";
        error = writeHtml(source, three, written);
        out.mimeType = "text/html";
    } else {
        const std::string files = folder + "/files";
        error = format == "frd" ? writeFrdSeries(source, files, stem, FrdPhase::Wrapped) : writeSpinorama(source, files);
        if (error.empty()) {
            out.bytes = tarOfDirectory(files, error);
            out.mimeType = "application/x-tar";
            out.fileName = stem + "-" + std::string(format) + ".tar";
        }
    }
    if (!error.empty())
        return error;
    if (!written.empty()) {
        out.bytes = readWhole(written, error);
        out.fileName = std::filesystem::path(written).filename().string();
        if (!error.empty()) {
            usage = false;
            return error;
        }
    }
    return {};
}

} // namespace vantrel
