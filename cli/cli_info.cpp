// vantrel-cli info BALLOON.BAL: a balloon file's settings trailer in plain words, how many
// cells of its grid hold data, the level range and the on-axis level at 1 kHz; from its
// measurement record the time window and any near-field merge, and the valid band they set.

#include <cmath>
#include <cstdio>
#include <limits>
#include <memory>
#include <optional>
#include <string>

#include "balloon/resampling_record.h"
#include "cli/cli_command.h"
#include "platform/number_text.h"
#include "analysis/tables.h"
#include "balloon/measured_balloon.h"
#include "mls/mls_settings.h"

namespace vantrel {
namespace {

struct InfoOptions {
    std::string path;
    bool json = false;
};

struct BalloonSummary {
    BalloonTrailer settings;
    int cellsWithData = 0;
    int gridCells = 0;
    double minDb = std::numeric_limits<double>::infinity();
    double maxDb = -std::numeric_limits<double>::infinity();
    // On axis (H = 0, V = 0) at the axis point nearest 1 kHz; bin -1 when 1 kHz is off the axis.
    int bin1k = -1;
    double hz1k = 0.0;
    bool onAxisHasData = false;
    double onAxisDb = 0.0;
    std::optional<MeasurementRecord> record;
    std::optional<ResamplingRecord> resampled;
    ValidBand band;
    FrequencyAxis axis;
};

const char* lowEdgeName(LowEdgeReason reason)
{
    switch (reason) {
    case LowEdgeReason::window: return "window";
    case LowEdgeReason::sweep: return "sweep";
    case LowEdgeReason::sequence: return "sequence";
    }
    return "";
}

// The measured level a stored bin stands for: 90 dB is magnitude 1.
double levelDb(ComplexBin b)
{
    const double re = b.re, im = b.im;
    return 10.0 * std::log10(re * re + im * im) + 90.0;
}

bool holdsData(std::span<const ComplexBin, kCellBins> cell)
{
    for (std::size_t b = 0; b < kDataBins; ++b)
        if (cell[b].re != 0.0f || cell[b].im != 0.0f)
            return true;
    return false;
}

BalloonSummary summarise(const BalloonMatrix& m, const BalloonTrailer& settings, const MeasuredWith& measured)
{
    BalloonSummary s;
    s.settings = settings;
    const AngleGrid grid = angleGridFromFlag(settings.angleGridFlag);
    for (int r = 0; r <= lastRow(grid); ++r) {
        for (int c = 0; c <= lastColumn(grid); ++c) {
            ++s.gridCells;
            const auto cell = m.cell(r, c);
            if (!holdsData(cell))
                continue;
            ++s.cellsWithData;
            for (std::size_t b = 0; b < kDataBins; ++b) {
                const double db = levelDb(cell[b]);
                if (std::isfinite(db)) {
                    s.minDb = std::min(s.minDb, db);
                    s.maxDb = std::max(s.maxDb, db);
                }
            }
        }
    }
    FrequencyAxis& axis = s.axis;
    axis.buildFromIndexes(settings.fromIndex, settings.toIndex);
    s.band = validBand(settings, axis, measured);
    if (axis.from() < 1000.0 && axis.to() >= 1000.0) {
        double best = std::numeric_limits<double>::infinity();
        for (int i = 0; i < kAxisPoints; ++i) {
            const double distance = std::fabs(std::log(axis[i] / 1000.0));
            if (distance < best)
                best = distance, s.bin1k = i;
        }
        s.hz1k = axis[s.bin1k];
        const auto onAxis = m.cell(rowForAngle(0, grid), columnForAngle(0, grid));
        s.onAxisHasData = holdsData(onAxis);
        s.onAxisDb = levelDb(onAxis[static_cast<std::size_t>(s.bin1k)]);
    }
    return s;
}

template <std::size_t N>
std::string_view entry(const std::array<std::string_view, N>& list, int index)
{
    return list[static_cast<std::size_t>(index)];
}

std::string jsonString(std::string_view text)
{
    std::string out = "\"";
    for (const char ch : text) {
        if (ch == '"' || ch == '\\') {
            out += '\\';
            out += ch;
        } else if (static_cast<unsigned char>(ch) < 0x20) {
            char esc[8];
            std::snprintf(esc, sizeof esc, "\\u%04x", static_cast<unsigned>(static_cast<unsigned char>(ch)));
            out += esc;
        } else {
            out += ch;
        }
    }
    return out + "\"";
}

std::string jsonDecimal(double value, int decimals)
{
    return std::isfinite(value) ? fixedText(value, decimals) : "null";
}

// Order and residual ranges of a resampling over its points.
struct ResampledRange {
    int lowestOrder = 0, highestOrder = 0;
    double worstDb = 0;
};

ResampledRange rangeOf(const ResamplingRecord& r)
{
    ResampledRange out{1000, 0, -1000};
    for (const ResampledPoint& p : r.points) {
        out.lowestOrder = std::min(out.lowestOrder, p.order);
        out.highestOrder = std::max(out.highestOrder, p.order);
        out.worstDb = std::max(out.worstDb, p.residualDb);
    }
    return r.points.empty() ? ResampledRange{} : out;
}

std::string resampledText(const ResamplingRecord& r)
{
    const ResampledRange range = rangeOf(r);
    return "from the " + std::to_string(r.fromStep) + "-degree grid of " + r.source +
           " through its spherical-harmonic expansion about the centre " +
           (r.centre == "found" ? std::string("found per frequency") : r.centre) + ", orders " +
           std::to_string(range.lowestOrder) + ".." + std::to_string(range.highestOrder) +
           ", residual at its grid points up to " + cleanFixedText(range.worstDb, 1) + " dB (" +
           std::to_string(r.points.size()) + " points)";
}

void printText(const std::string& path, const BalloonSummary& s)
{
    const BalloonTrailer& t = s.settings;
    const int step = gridStepDegrees(angleGridFromFlag(t.angleGridFlag));
    std::printf("File: %s\n", path.c_str());
    std::printf("Window type: %s\n", std::string(entry(kWindowTypeTexts, t.windowTypeIndex)).c_str());
    std::printf("Sampling rate: %s Hz\n", std::string(entry(kRateTexts, t.rateIndex)).c_str());
    std::printf("Smoothing: %s\n", std::string(entry(kSmoothingTexts, t.smoothingIndex)).c_str());
    std::printf("FFT window position: %d samples\n", t.fftWindowPosition);
    std::printf("From: %s\n", std::string(entry(kFromTexts, t.fromIndex)).c_str());
    std::printf("To: %s\n", std::string(entry(kToTexts, t.toIndex)).c_str());
    std::printf("Grid: %d degrees (%d rows x %d columns)\n", step, 180 / step + 1, 360 / step + 1);
    std::printf("Cells with data: %d of %d\n", s.cellsWithData, s.gridCells);
    if (s.cellsWithData > 0 && s.minDb <= s.maxDb)
        std::printf("Level range: %s dB to %s dB\n", fixedText(s.minDb, 1).c_str(), fixedText(s.maxDb, 1).c_str());
    else
        std::printf("Level range: no data\n");
    if (s.bin1k < 0)
        std::printf("On-axis level at 1 kHz: 1 kHz is outside the frequency axis\n");
    else if (!s.onAxisHasData)
        std::printf("On-axis level at 1 kHz: no data (bin %d, %s Hz)\n", s.bin1k, fixedText(s.hz1k, 1).c_str());
    else
        std::printf("On-axis level at 1 kHz: %s dB (bin %d, %s Hz)\n", fixedText(s.onAxisDb, 1).c_str(), s.bin1k,
                    fixedText(s.hz1k, 1).c_str());
    if (s.record && s.band.measured.windowSeconds > 0)
        std::printf("Time window: %s samples (%s ms)\n", cleanFixedText(s.record->windowSamples, 0).c_str(),
                    settingText(s.band.measured.windowSeconds * 1000.0, 2).c_str());
    else
        std::printf("Time window: not recorded\n");
    if (s.record && s.record->merge)
        std::printf("Near-field merge: %s .. %s\n", settingHz(s.record->merge->lowHz).c_str(),
                    settingHz(s.record->merge->highHz).c_str());
    std::printf("Valid band: %s .. %s, %s\n", hzText(s.axis[s.band.first]).c_str(), hzText(s.axis[s.band.last]).c_str(),
                validFromText(s.band, s.axis).c_str());
    if (s.resampled)
        std::printf("Resampled: %s\n", resampledText(*s.resampled).c_str());
}

void printJson(const std::string& path, const BalloonSummary& s)
{
    const BalloonTrailer& t = s.settings;
    const bool levels = s.cellsWithData > 0 && s.minDb <= s.maxDb;
    std::string out = "{";
    out += "\"file\":" + jsonString(path);
    out += ",\"windowTypeIndex\":" + std::to_string(t.windowTypeIndex);
    out += ",\"windowType\":" + jsonString(entry(kWindowTypeTexts, t.windowTypeIndex));
    out += ",\"rateIndex\":" + std::to_string(t.rateIndex);
    out += ",\"rateHz\":" + std::string(entry(kRateTexts, t.rateIndex));
    out += ",\"smoothingIndex\":" + std::to_string(t.smoothingIndex);
    out += ",\"smoothing\":" + jsonString(entry(kSmoothingTexts, t.smoothingIndex));
    out += ",\"fftWindowPosition\":" + std::to_string(t.fftWindowPosition);
    out += ",\"fromIndex\":" + std::to_string(t.fromIndex);
    out += ",\"fromHz\":" + fixedText(FrequencyAxis::fromHz(t.fromIndex), 1);
    out += ",\"toIndex\":" + std::to_string(t.toIndex);
    out += ",\"toHz\":" + fixedText(FrequencyAxis::toHz(t.toIndex), 1);
    out += ",\"gridDegrees\":" + std::to_string(gridStepDegrees(angleGridFromFlag(t.angleGridFlag)));
    out += ",\"cellsWithData\":" + std::to_string(s.cellsWithData);
    out += ",\"gridCells\":" + std::to_string(s.gridCells);
    out += ",\"levelMinDb\":" + (levels ? jsonDecimal(s.minDb, 2) : "null");
    out += ",\"levelMaxDb\":" + (levels ? jsonDecimal(s.maxDb, 2) : "null");
    const bool window = s.record && s.band.measured.windowSeconds > 0;
    out += ",\"windowSamples\":" + (window ? cleanFixedText(s.record->windowSamples, 0) : "null");
    out += ",\"windowMs\":" + (window ? jsonDecimal(s.band.measured.windowSeconds * 1000.0, 3) : "null");
    out += ",\"mergeHz\":" + (s.record && s.record->merge ? "[" + jsonDecimal(s.record->merge->lowHz, 2) + "," +
                                                               jsonDecimal(s.record->merge->highHz, 2) + "]"
                                                         : std::string("null"));
    out += ",\"validBand\":{\"lowHz\":" + jsonDecimal(s.axis[s.band.first], 2) +
           ",\"highHz\":" + jsonDecimal(s.axis[s.band.last], 2) + ",\"lowEdge\":\"" + lowEdgeName(s.band.lowReason) + "\"}";
    if (s.resampled) {
        const ResampledRange range = rangeOf(*s.resampled);
        out += ",\"resampled\":{\"source\":" + jsonString(s.resampled->source) +
               ",\"fromGridDegrees\":" + std::to_string(s.resampled->fromStep) + ",\"centre\":" +
               jsonString(s.resampled->centre) + ",\"orders\":[" + std::to_string(range.lowestOrder) + "," +
               std::to_string(range.highestOrder) + "],\"worstResidualDb\":" + jsonDecimal(range.worstDb, 2) + "}";
    } else {
        out += ",\"resampled\":null";
    }
    if (s.bin1k < 0) {
        out += ",\"onAxis1kHz\":null";
    } else {
        out += ",\"onAxis1kHz\":{\"bin\":" + std::to_string(s.bin1k) + ",\"hz\":" + fixedText(s.hz1k, 2) +
               ",\"levelDb\":" + (s.onAxisHasData ? jsonDecimal(s.onAxisDb, 2) : "null") + "}";
    }
    out += "}\n";
    std::fputs(out.c_str(), stdout);
}

int run(const InfoOptions& options)
{
    auto matrix = BalloonMatrix::create();
    if (!matrix)
        return cliRefusal("info", "not enough memory for a balloon");
    const MeasuredBalloonLoad loaded = loadMeasuredBalloon(options.path, *matrix);
    if (!loaded) {
        if (loaded.error == kBalloonNotRecognized)
            return cliRefusal("info", loaded.error);
        std::string message = loaded.error;
        if (const auto gap = message.find("\n\n"); gap != std::string::npos)
            message.replace(gap, 2, ": ");
        return cliUsageError("info", message);
    }
    BalloonSummary summary = summarise(*matrix, *loaded.settings, loaded.measured);
    summary.record = loaded.record;
    const LoadedResampling resampling = loadResamplingRecordFor(options.path);
    if (!resampling.error.empty())
        return cliUsageError("info", resampling.error);
    summary.resampled = resampling.record;
    if (options.json)
        printJson(options.path, summary);
    else
        printText(options.path, summary);
    return 0;
}

std::function<int()> setupInfo(CLI::App& command)
{
    auto options = std::make_shared<InfoOptions>();
    command.add_option("file", options->path, "The balloon file (*.BAL)")->required();
    command.add_flag("--json", options->json, "Print the same as one JSON object");
    return [options] { return run(*options); };
}

const CliRegistration registration({"info",
                                    "Print a balloon file's settings, the cells that hold data, its level range, the "
                                    "on-axis level at 1 kHz, its time window, any near-field merge and its valid band",
                                    setupInfo});

} // namespace
} // namespace vantrel
