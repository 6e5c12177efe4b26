#include "fuzz/fuzz_entries.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "app/export_dialog.h"
#include "app/preferences.h"
#include "app/recent_balloons.h"
#include "app/arc_calibration.h"
#include "app/arc_file.h"
#include "app/walk_pacing_file.h"
#include "platform/sim/sim_arc.h"
#include "sequencer/arc_record.h"
#include "platform/number_text.h"
#include "balloon/balloon_autosave.h"
#include "balloon/balloon_file.h"
#include "balloon/distortion_balloon.h"
#include "balloon/measurement_record.h"
#include "platform/sim/room.h"
#include "balloon/resampling_record.h"
#include "field/sphere_coefficients.h"
#include "field/spherical_harmonics.h"
#include "analysis/near_field_curve.h"
#include "balloon/selection_state.h"
#include "views/colour_map.h"
#include "calibration/mic_file.h"
#include "calibration/target_file.h"
#include "exports/html_export.h"
#include "mls/capture.h"
#include "mls/matched_filter.h"
#include "mls/time_windows.h"
#include "mls/sound_card.h"
#include "platform/headless/headless_platform.h"
#include "platform/headless/session_script.h"
#include "platform/qt/serial_port_qt.h"
#include "platform/serial_port.h"
#include "turntable/port_list.h"

namespace vantrel::fuzz {

namespace {

void require(bool promise, const char* what)
{
    if (!promise) {
        std::fprintf(stderr, "fuzz: broken promise: %s\n", what);
        std::abort();
    }
}

std::string_view text(Bytes data) { return {reinterpret_cast<const char*>(data.data()), data.size()}; }

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

} // namespace

int resRecording(Bytes data)
{
    // Longer tails only repeat what shorter ones test: every such file has the wrong size.
    if (data.size() > 4096)
        return 0;
    // The sample bytes: the input repeated over the first 32 KB (every alignment of it reaches
    // the conversion), then a fixed run of extreme values; built once, patched per input.
    constexpr std::size_t kFuzzedBytes = 32768;
    static std::vector<unsigned char> file = [] {
        std::vector<unsigned char> f(static_cast<std::size_t>(kResLongSize));
        const std::int32_t extremes[] = {INT32_MIN, INT32_MAX, 0, -1, 1, 0x7FFFFF00, -0x7FFFFF00, 256};
        for (std::size_t at = 0; at + 4 <= f.size(); at += 4)
            std::memcpy(f.data() + at, &extremes[(at / 4) % 8], 4);
        return f;
    }();
    if (!data.empty())
        for (std::size_t at = 0; at < kFuzzedBytes; at += data.size())
            std::memcpy(file.data() + at, data.data(), std::min(data.size(), kFuzzedBytes - at));
    const std::size_t size = static_cast<std::size_t>(kResSampleBytes) + data.size();
    if (size > file.size())
        file.resize(size);
    std::memcpy(file.data() + kResSampleBytes, data.data(), data.size());
    std::unique_ptr<std::FILE, FileCloser> stream(fmemopen(file.data(), size, "rb"));
    require(stream != nullptr, "an in-memory file opens");

    constexpr std::int32_t kUntouched = 0x5A5A5A5A;
    static std::vector<std::int32_t> capture(kCaptureCopySamples, kUntouched);
    const ResImport result = readResStream(stream.get(), capture);
    if (!result.ok()) {
        require(!result.message().empty(), "a refusal has its text");
        // Both ends of the sample area stand for all of it: it is written in one pass or not.
        const std::size_t last = static_cast<std::size_t>(kResSampleBytes) / 4;
        require(capture[0] == kUntouched && capture[last - 1] == kUntouched && capture[last] == kUntouched,
                "a refused recording leaves the capture untouched");
        return 0;
    }
    require(size == static_cast<std::size_t>(kResShortSize) || size == static_cast<std::size_t>(kResLongSize),
            "only the two sizes are accepted");
    require(result.rateIndex >= 0 && result.rateIndex < static_cast<int>(kRateTexts.size()), "rate index on its list");
    require(result.mlsLengthIndex >= 0 && result.mlsLengthIndex < static_cast<int>(kMlsLengthTexts.size()),
            "length index on its list");
    require(std::memcmp(capture.data(), file.data(), static_cast<std::size_t>(kResSampleBytes)) == 0,
            "the samples arrive as stored");

    static std::vector<float> ref(kConvertedFrames), in(kConvertedFrames);
    const std::span<const std::int32_t> fuzzed(capture.data(), kFuzzedBytes / 4 + 16);
    const CapturePeaks peaks = splitCapture(fuzzed, ref, in, 1, -1);
    require(std::isfinite(peaks.refPeak) && std::isfinite(peaks.inPeak), "finite peaks");
    require(peaks.refPeak <= 51131.0f && peaks.inPeak <= 51131.0f, "peaks within full scale");
    // The capture returns to its untouched state for the next input.
    std::fill(capture.begin(), capture.begin() + kResSampleBytes / 4 + 1, kUntouched);
    return 0;
}

int targetFile(Bytes data)
{
    CalibrationCurve curve;
    for (std::size_t i = 0; i < curve.size(); ++i)
        curve[i] = {static_cast<float>(i), -static_cast<float>(i) / 10.0f};
    const CalibrationCurve before = curve;
    const TargetReadResult result = parseTargetText(text(data), curve);
    require(result.points >= 0 && result.points <= kTargetFilePoints, "point count within the axis");
    for (std::size_t i = 0; i < curve.size(); ++i) {
        const bool read = static_cast<int>(i) < result.points ||
                          (result.status == TargetReadStatus::Complete && static_cast<int>(i) == kAxisPoints - 1);
        if (!read) {
            require(curve[i].level == before[i].level && curve[i].phase == before[i].phase, "unread points unchanged");
            continue;
        }
        require(std::isfinite(curve[i].level), "finite level");
        require(!(std::fabs(curve[i].phase) > 180.0f), "phase within +-180");
    }
    (void)targetReadMessage(result);
    return 0;
}

int micFile(Bytes data)
{
    const MicReadResult result = parseMicText(text(data));
    if (!result.calibration) {
        require(!result.error.empty(), "a refusal has its text");
        return 0;
    }
    const std::vector<MicPoint>& points = result.calibration->points;
    require(points.size() >= 2 && points.size() <= kMicPointLimit, "two points or more, within the limit");
    for (std::size_t i = 0; i < points.size(); ++i) {
        require(std::isfinite(points[i].db) && std::isfinite(points[i].phase), "finite values");
        require(points[i].hz > 0 && (i == 0 || points[i].hz > points[i - 1].hz), "rising frequencies");
    }
    const FrequencyAxis axis;
    const CalibrationCurve curve = micCurve(*result.calibration, axis);
    double low = points[0].db, high = points[0].db;
    for (const MicPoint& p : points) {
        low = std::min(low, p.db);
        high = std::max(high, p.db);
    }
    for (const LevelPhase& p : curve) {
        // Interpolation never leaves the range of the file's own levels.
        require(p.level >= static_cast<float>(low) - 1e-3f * (1 + std::fabs(static_cast<float>(low))) &&
                    p.level <= static_cast<float>(high) + 1e-3f * (1 + std::fabs(static_cast<float>(high))),
                "levels within the file's range");
        require(std::isfinite(p.phase) && std::fabs(p.phase) <= 180.0f, "phase within +-180");
    }
    (void)micSummary(*result.calibration);
    return 0;
}

int preferences(Bytes data)
{
    MlsSettings settings;
    CalibrationCurve curve{};
    PreferencesRecord record{};
    readPreferenceBytes(data, record, settings, curve);
    require(settings.windowTypeIndex >= 0 && settings.windowTypeIndex < static_cast<int>(kWindowTypeTexts.size()), "window type");
    require(settings.rateIndex >= 0 && settings.rateIndex < static_cast<int>(kRateTexts.size()), "rate");
    require(settings.smoothingIndex >= 0 && settings.smoothingIndex < static_cast<int>(kSmoothingTexts.size()), "smoothing");
    require(settings.fftWindowPosition >= 0 && settings.fftWindowPosition <= 400, "window position");
    require(settings.mlsLengthIndex >= 0 && settings.mlsLengthIndex < static_cast<int>(kMlsLengthTexts.size()), "length");
    require(settings.fromIndex >= 0 && settings.fromIndex < static_cast<int>(kFromTexts.size()), "from");
    require(settings.toIndex >= 0 && settings.toIndex < static_cast<int>(kToTexts.size()), "to");
    require(FrequencyAxis::fromHz(settings.fromIndex) < FrequencyAxis::toHz(settings.toIndex), "axis runs upward");
    require(settings.outputVolume >= 0 && settings.outputVolume <= 100, "volume");
    for (const std::string* t : {&settings.windowWidthText, &settings.frontWindowText, &settings.filterF3dbText,
                                 &settings.filterQText, &settings.filterSlopeText})
        require(t->size() <= 10 && t->find('\0') == std::string::npos, "texts of at most 10 characters");
    for (const LevelPhase& p : curve)
        require(std::isfinite(p.level) && std::isfinite(p.phase), "finite calibration curve");
    // What the measurement window derives from the loaded settings at once.
    require(settings.sampleRate() > 0, "sample rate");
    require(settings.transformSize() >= 8192 && settings.transformSize() <= 262144, "transform size");
    (void)settings.smoothingValue();
    (void)settings.smoothingHalfWidth();
    // The loaded window texts shape the time windows (at the shortest sequence, to stay quick).
    MlsSettings shortest = settings;
    shortest.mlsLengthIndex = 0;
    const int n = shortest.transformSize();
    static std::vector<float> refWindow(262144), inWindow(262144);
    buildTimeWindows(shortest, n, std::span(refWindow).first(static_cast<std::size_t>(n)),
                     std::span(inWindow).first(static_cast<std::size_t>(n)));
    for (int i = 0; i < n; ++i)
        require(std::isfinite(refWindow[static_cast<std::size_t>(i)]) && std::isfinite(inWindow[static_cast<std::size_t>(i)]),
                "finite time windows");
    MatchedFilterModel model;
    if (readMatchedFilterModel(settings, model).ok())
        require(model.cutoffHz >= 5 && model.cutoffHz <= 1000, "matched filter cut-off in range");

    // Packing what was loaded and loading it again changes nothing.
    PreferencesRecord again{};
    packPreferences(settings, curve, again);
    MlsSettings reloaded;
    CalibrationCurve reloadedCurve{};
    require(unpackPreferences(again, reloaded, reloadedCurve) == 0, "a packed record loads without replacements");
    require(reloaded.rateIndex == settings.rateIndex && reloaded.windowWidthText == settings.windowWidthText &&
                std::memcmp(reloadedCurve.data(), curve.data(), sizeof curve) == 0,
            "a record round-trips");
    return 0;
}

int sessionScript(Bytes data)
{
    static constexpr ControlSpec controls[] = {
        {1, ControlKind::PushButton, "Push", 0, 0, 40, 10},
        {2, ControlKind::CheckBox, "Check", 0, 10, 40, 10},
        {3, ControlKind::RadioButton, "Radio", 0, 20, 40, 10},
        {4, ControlKind::ListBox, "", 0, 30, 40, 30},
        {5, ControlKind::HScrollBar, "", 0, 60, 40, 10, 0, 400},
        {6, ControlKind::VScrollBar, "", 40, 0, 10, 60, -10, 10},
        {7, ControlKind::Edit, "", 50, 0, 40, 10},
        {8, ControlKind::Static, "Static", 50, 10, 40, 10},
        {9, ControlKind::PlotArea, "", 50, 20, 40, 40},
    };
    static constexpr WindowSpec layout{"fuzz", "Fuzz", 100, 80, {255, 255, 255}, controls};

    // A screenshot writes a file wherever the script names; everything else stays in memory.
    std::string script;
    std::istringstream lines{std::string(text(data))};
    for (std::string line; std::getline(lines, line);) {
        std::string error;
        const auto words = vantrel::splitScriptLine(line, error);
        if (words && !words->empty() && (*words)[0] == "screenshot")
            continue;
        script += line;
        script += '\n';
    }

    std::ostringstream events;
    HeadlessPlatform platform(events);
    SilentWindowClient client;
    WindowHost& window = platform.createWindow(layout, client, nullptr, false);
    for (const char* item : {"one", "two", "three"})
        window.insertListItem(4, -1, item);
    std::istringstream input(script);
    (void)runSessionScript(platform, input);
    const int position = window.scrollPos(5);
    require(position >= 0 && position <= 400, "scroll position within its range");
    const int selection = window.listSelection(4);
    require(selection >= -1 && selection < 3, "list selection on the list");
    return 0;
}

int deviceNames(Bytes data)
{
    std::vector<std::string> fields(4);
    {
        std::size_t field = 0;
        for (const std::uint8_t b : data) {
            if (b == '\n' && field + 1 < fields.size())
                ++field;
            else
                fields[field].push_back(static_cast<char>(b));
        }
    }
    const std::string& port = fields[0];
    const std::string& variableValue = fields[1];
    const bool hasVariable = !variableValue.empty() && variableValue.find('\0') == std::string::npos;

    const SerialDevice device = serialDeviceFor(port, [&](const char* name) -> const char* {
        require(std::string_view(name).starts_with("VANTREL_PORT_"), "only the port's own variable is read");
        return hasVariable ? variableValue.c_str() : nullptr;
    });
    require(device.path.empty() != device.error.empty(), "either a device or a reason");
    if (!device.path.empty())
        require(device.path.front() == '/', "a full device path");
    if (!hasVariable && !device.path.empty())
        require(std::find(kPortNames.begin(), kPortNames.end(), port) != kPortNames.end(),
                "without a variable only the list's names map");

    if (const auto settings = buildLineSettings(fields[2]))
        require(settings->dataBits >= 5 && settings->dataBits <= 8 && settings->stopBits >= 1 && settings->stopBits <= 2,
                "line settings in range");

    const AudioDeviceCaps caps{fields[3], 2};
    const std::string listed = deviceListText(&caps, true, 3);
    const std::string label = deviceLabelText(caps, 3);
    require(listed.size() < 300 && label.size() < 300, "device texts bounded");
    return 0;
}

int balloonFile(Bytes data)
{
    if (data.size() < sizeof(BalloonSettings))
        return 0;
    BalloonSettings words;
    std::memcpy(&words, data.data() + data.size() - sizeof words, sizeof words);
    const BalloonTrailer t = sanitizeTrailer(words);
    require(t.windowTypeIndex >= 0 && t.windowTypeIndex < kWindowTypeCount, "window type");
    require(t.rateIndex >= 0 && t.rateIndex < kRateCount, "rate");
    require(t.smoothingIndex >= 0 && t.smoothingIndex < kSmoothingCount, "smoothing");
    require(t.fftWindowPosition >= 0 && t.fftWindowPosition <= kFftWindowPositionMax, "window position");
    require(t.angleGridFlag == 0 || t.angleGridFlag == 1, "grid flag");
    // The axis a loaded file leads to runs upward through finite frequencies.
    FrequencyAxis axis;
    axis.buildFromIndexes(t.fromIndex, t.toIndex);
    for (int i = 0; i < kAxisPoints; ++i) {
        require(std::isfinite(axis[i]) && axis[i] > 0, "finite axis");
        require(i == 0 || axis[i] > axis[i - 1], "axis runs upward");
    }

    const std::size_t cells = (data.size() - sizeof words) / sizeof(ComplexBin);
    for (std::size_t i = 0; i < cells; ++i) {
        ComplexBin bin;
        std::memcpy(&bin, data.data() + i * sizeof bin, sizeof bin);
        const float level = cellLevel(bin);
        require(!(level < 0.0f), "levels are never negative");
        for (const int scale : {kColourScaleRange.min, 60, kColourScaleRange.max})
            require(colourIndex(level, scale) >= 0, "colour index never below the palette");
    }
    return 0;
}

int autosaveRecord(Bytes data)
{
    const std::optional<AutosaveProgress> p = parseAutosaveProgress(text(data));
    if (!p)
        return 0;
    require(p->gridFlag == 0 || p->gridFlag == 1, "grid flag");
    require(p->phase >= 0 && p->phase <= 36 && p->hAngle >= 0 && p->hAngle <= 360, "phase and H on the grid's range");
    require(p->vAngle >= -90 && p->vAngle <= 90 && p->pointsDone >= 0 && p->pointsDone <= 2629, "V and points");
    // What is accepted is what the writer writes: it reads back as itself.
    require(parseAutosaveProgress(formatAutosaveProgress(*p)) == p, "a record reads back as written");
    return 0;
}

int htmlTexts(Bytes data)
{
    const std::string_view input = text(data);
    auto lower = [](std::string_view t) {
        std::string l(t);
        std::transform(l.begin(), l.end(), l.begin(), [](unsigned char c) { return char(std::tolower(c)); });
        return l;
    };
    const std::string inputLower = lower(input);
    std::size_t closings = 0;
    for (std::size_t at = 0; (at = inputLower.find("</script", at)) != std::string::npos; ++at)
        ++closings;
    const std::string script = scriptElementText(input);
    require(lower(script).find("</script") == std::string::npos, "script text cannot end its element");
    require(script.size() == input.size() + closings, "script text changes nothing but the closings");

    // The JSON string read back by the rules of JSON.
    const std::string json = jsonString(input);
    require(json.size() >= 2 && json.front() == '"' && json.back() == '"', "a JSON string literal");
    std::string back;
    for (std::size_t i = 1; i + 1 < json.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(json[i]);
        require(c >= 0x20 && c != '<' && c != '>' && c != '&' && c != '"', "no raw markup or control character");
        if (c != '\\') {
            back += char(c);
        } else if (json[i + 1] == 'u') {
            back += char(std::stoi(json.substr(i + 2, 4), nullptr, 16));
            i += 5;
        } else {
            back += json[++i];
        }
    }
    require(back == input, "the JSON string reads back as the text");

    const std::string html = htmlText(input);
    require(html.find_first_of("<>\"") == std::string::npos, "no markup in HTML text");
    std::string plain;
    for (std::size_t i = 0; i < html.size();) {
        bool entity = false;
        for (const auto& [name, c] : {std::pair{"&lt;", '<'}, {"&gt;", '>'}, {"&quot;", '"'}, {"&amp;", '&'}})
            if (html.compare(i, std::strlen(name), name) == 0) {
                plain += c;
                i += std::strlen(name);
                entity = true;
                break;
            }
        if (!entity)
            plain += html[i++];
    }
    require(plain == input, "HTML text reads back as the text");
    return 0;
}

int distortionFile(Bytes data)
{
    // The input replaces the start of a valid header; what lies beyond the header stands for
    // the first levels. The file reader is exactly its size check, the header reader and the
    // level reader, so each is driven here without a 33-MB image per input.
    constexpr std::size_t kHeader = DistortionHeader::kBytes;
    static const std::array<std::uint8_t, kHeader> valid = [] {
        DistortionHeader h;
        const FrequencyAxis axis;
        h.f1 = 10;
        h.f2 = 24000;
        for (int i = 0; i < kAxisPoints; ++i)
            h.axis[static_cast<std::size_t>(i)] = axis[i];
        std::array<std::uint8_t, kHeader> bytes{};
        h.write(bytes);
        return bytes;
    }();
    std::string error;
    require(!DistortionBalloon::parse(data, error) && !error.empty(), "a file of another size is refused");

    std::array<std::uint8_t, kHeader> header = valid;
    std::copy_n(data.begin(), std::min(data.size(), kHeader), header.begin());
    if (data.size() < kHeader)
        require(!DistortionHeader::read(data, error), "a short header is refused");
    error.clear();
    if (const std::optional<DistortionHeader> h = DistortionHeader::read(header, error)) {
        require(h->f1 > 0 && h->f2 > h->f1 && std::isfinite(h->f2), "the sweep's band");
        for (std::size_t i = 1; i < h->axis.size(); ++i)
            require(h->axis[i] > h->axis[i - 1], "a rising axis");
        // What is accepted is what the writer writes: it reads back as itself.
        std::array<std::uint8_t, kHeader> written{};
        h->write(written);
        require(written == header, "a header reads back as written");
        // The valid band reads the sweep's band from the first bytes alone: the same band.
        std::string bandError;
        const auto band = distortionSweepBand(header, DistortionBalloon::kFileBytes, bandError);
        require(band && band->first == h->f1 && band->second == h->f2, "the header gives the file's sweep band");
    } else {
        require(!error.empty(), "a refusal says why");
    }

    const Bytes body = data.subspan(std::min(data.size(), kHeader));
    std::vector<float> levels(body.size() / 4);
    error.clear();
    if (readDistortionLevels(body.first(levels.size() * 4), levels, error)) {
        for (const float v : levels)
            require(std::isfinite(v), "finite levels");
        require(levels.empty() || std::memcmp(levels.data(), body.data(), levels.size() * 4) == 0,
                "levels read as they stand");
    } else {
        require(!error.empty(), "a refusal of the levels says why");
    }
    if (body.size() % 4 != 0)
        require(!readDistortionLevels(body, levels, error), "levels that are not whole float32s are refused");
    return 0;
}

int walkPacing(Bytes data)
{
    // The same text as typed into "Settle ms": a time in range that prints back as typed
    // (leading zeros aside).
    if (const std::optional<int> ms = parseSettleMs(text(data))) {
        require(*ms >= 0 && *ms <= kMaxSettleMs, "typed settle time in range");
        require(parseSettleMs(std::to_string(*ms)) == ms, "a settle time reads back as printed");
    }
    // The same reader takes the sweep band's whole hertz.
    if (const std::optional<long long> hz = parseWholeNumber(text(data), 0, 96000))
        require(parseWholeNumber(std::to_string(*hz), 0, 96000) == hz, "a whole number reads back as printed");
    const std::optional<WalkPacing> p = parseWalkPacing(text(data));
    if (!p)
        return 0;
    require(p->settleMs >= 0 && p->settleMs <= kMaxSettleMs, "settle time in range");
    require(parseWalkPacing(formatWalkPacing(*p)) == p, "a pacing file reads back as written");
    return 0;
}

int recentBalloons(Bytes data)
{
    const std::vector<std::string> paths = parseRecentBalloons(text(data));
    require(paths.size() <= kRecentBalloons, "at most eight recent balloons");
    for (const std::string& p : paths)
        require(!p.empty() && p.find_first_of(std::string_view("\n\r\0", 3)) == std::string::npos,
                "a recent path holds one line");
    require(parseRecentBalloons(formatRecentBalloons(paths)) == paths, "a recent list reads back as written");
    if (!paths.empty())
        require(withRecentBalloon(paths, paths.back()).front() == paths.back(), "a path chosen again comes first");
    return 0;
}

int exportFields(Bytes data)
{
    ExportFields fields;
    std::string_view rest = text(data);
    for (int id = export_ids::kOutput; id <= export_ids::kDriveVolts && !rest.empty(); ++id) {
        const std::size_t end = std::min(rest.find('\0'), rest.size());
        fields[id] = std::string(rest.substr(0, end));
        rest.remove_prefix(std::min(end + 1, rest.size()));
    }
    for (ExportKind kind : {ExportKind::Sofa, ExportKind::Frd, ExportKind::Clf, ExportKind::SplTables, ExportKind::Html}) {
        ExportRequest request;
        bool allPoints = false;
        if (!exportRequestFromFields(kind, fields, request, allPoints).empty())
            continue;
        const int outputs = !request.sofa.empty() + !request.frd.empty() + !request.clf.empty() +
                            !request.spinorama.empty() + !request.html.empty();
        require(outputs == 1, "one output per export window");
        const ClfOptions& clf = request.clfOptions;
        require(std::isfinite(clf.distanceMetres) && clf.distanceMetres > 0 && std::isfinite(clf.driveVolts) &&
                    clf.driveVolts > 0 && (clf.version == 0 || clf.version == 1 || clf.version == 2),
                "CLF options in range");
    }
    return 0;
}

int measurementRecord(Bytes data)
{
    std::string error;
    const std::optional<MeasurementRecord> r = parseMeasurementRecord(text(data), error);
    require(r.has_value() == error.empty(), "a refusal has its reason");
    if (!r)
        return 0;
    std::string again;
    require(parseMeasurementRecord(measurementRecordText(*r), again) == r, "a record reads back as written");
    return 0;
}

int simRoom(Bytes data)
{
    SimRoom room;
    const std::string error = parseSimRoom(text(data), room);
    if (!error.empty())
        return 0;
    if (!roomProblem(room, 2.0).empty())
        return 0;
    require(room.length >= 3 && room.width >= 1 && room.height >= 1 && room.length <= kLargestRoomSide,
            "a room taken holds the rig");
    for (const RoomPath& p : roomPaths(room, 2.0, 40, 30)) {
        const double norm = std::hypot(p.direction[0], p.direction[1], p.direction[2]);
        require(std::isfinite(p.distance) && p.distance > 0 && std::abs(norm - 1) < 1e-9, "a path has a length and a direction");
        require(p.gain > 0 && p.gain <= 1, "a bounce keeps part of the pressure");
    }
    return 0;
}

int nearFieldCurve(Bytes data)
{
    std::string error;
    const std::optional<NearFieldCurve> c = parseNearFieldCurve(text(data), error);
    require(c.has_value() == error.empty(), "a refusal has its reason");
    if (!c)
        return 0;
    require(c->hz.size() >= 2 && c->hz.size() == c->levelDb.size() && c->hz.size() == c->phaseDegrees.size(),
            "a curve has two points or more, each whole");
    for (std::size_t i = 0; i < c->hz.size(); ++i)
        require(std::isfinite(c->levelDb[i]) && std::isfinite(c->phaseDegrees[i]) && c->hz[i] > 0 &&
                    (i == 0 || c->hz[i] > c->hz[i - 1]),
                "finite levels and phases at rising frequencies");
    return 0;
}

int sphereCoefficients(Bytes data)
{
    std::string error;
    const auto read = parseSphereCoefficients(text(data), error);
    require(read.has_value() == error.empty(), "a refusal has its reason");
    if (!read)
        return 0;
    for (const SphereCoefficients& e : *read) {
        require(e.order >= 0 && e.order <= kLargestCoefficientOrder &&
                    e.coefficients.size() == static_cast<std::size_t>(shCount(e.order)),
                "every frequency has its full count");
        for (const auto& c : e.coefficients)
            require(std::isfinite(c.real()) && std::isfinite(c.imag()), "finite coefficients");
    }
    std::string again;
    const auto twice = parseSphereCoefficients(sphereCoefficientsText(*read), again);
    require(twice.has_value(), "what was read writes back readable");
    for (std::size_t i = 0; twice && i < read->size(); ++i)
        require((*twice)[i].coefficients == (*read)[i].coefficients && (*twice)[i].hz == (*read)[i].hz,
                "and the same");
    return 0;
}

int resamplingRecord(Bytes data)
{
    std::string error;
    const auto r = parseResamplingRecord(text(data), error);
    require(r.has_value() == error.empty(), "a refusal has its reason");
    if (!r)
        return 0;
    for (const ResampledPoint& p : r->points)
        require(std::isfinite(p.hz) && p.hz > 0 && std::isfinite(p.residualDb), "finite points");
    std::string again;
    require(parseResamplingRecord(resamplingRecordText(*r), again).has_value(), "a record reads back");
    return 0;
}

int simOffset(Bytes data)
{
    Vec3 offset{1, 2, 3};
    const std::string error = parseSimOffset(text(data), offset);
    if (!error.empty()) {
        require(offset == Vec3{1, 2, 3}, "a refusal changes nothing");
        return 0;
    }
    for (double v : offset)
        require(std::isfinite(v) && std::abs(v) <= kLargestSimOffsetMm / 1000, "an offset taken lies within the cube");
    return 0;
}

int arcRecord(Bytes data)
{
    std::string error;
    const std::optional<ArcProgress> p = parseArcProgress(text(data), error);
    require(p.has_value() == error.empty(), "a refusal has its reason");
    if (p) {
        require(!p->angles.empty() && p->stopsDone <= p->stops, "an arc with its stops");
        const auto back = parseArcProgress(arcProgressText(*p), error);
        require(back && back->angles == p->angles && back->stopsDone == p->stopsDone && back->grid == p->grid,
                "an arc record reads back as written");
    }
    // The same bytes as the simulated arc's option text.
    std::string why;
    if (const auto arc = parseSimArc(text(data), why))
        require(!arc->empty() && arc->size() <= 64 && arc->back().angleDegrees <= 180, "an arc of 1..64 within 180 degrees");
    return 0;
}

int arcFile(Bytes data)
{
    // Every microphone file it names reads as the same small calibration.
    const MicFileReader mic = [](const std::string&) { return parseMicText("20 0\n20000 1\n"); };
    std::string error;
    for (const AngleGrid grid : {AngleGrid::Grid5, AngleGrid::Grid10}) {
        const std::optional<ArcDescription> arc = parseArcDescription(text(data), grid, 17, mic, error);
        require(arc.has_value() == error.empty(), "a refusal has its reason");
        if (!arc)
            continue;
        require(arc->radius >= kArcRadiusMin && arc->radius <= kArcRadiusMax, "a radius in range");
        require(!arc->microphones.empty() && arc->microphones.size() <= 16, "microphones within the device");
        for (const ArcMicrophone& m : arc->microphones)
            require(m.channel >= 2 && m.channel <= 17 && m.angle % gridStepDegrees(grid) == 0 && m.angle >= -180 &&
                        m.angle <= 180,
                    "a channel of the device and an angle on the grid");
    }
    return 0;
}

int arcCalibration(Bytes data)
{
    std::string error;
    const std::optional<ArcCalibration> c = parseArcCalibration(text(data), error);
    require(c.has_value() == error.empty(), "a refusal has its reason");
    if (!c)
        return 0;
    require(!c->microphones.empty() && c->microphones.size() <= 64, "1..64 microphones");
    const auto back = parseArcCalibration(arcCalibrationText(*c), error);
    require(back && back->microphones.size() == c->microphones.size(), "a calibration set reads back as written");
    std::vector<int> angles;
    for (const ArcMicrophoneCalibration& m : c->microphones)
        angles.push_back(m.angle);
    std::vector<std::optional<CalibrationCurve>> curves;
    require(!applyArcCalibration(*c, c->fromIndex, c->toIndex, angles, curves) && curves.size() == angles.size(),
            "a set applies to its own arc");
    return 0;
}

std::span<const Target> targets()
{
    static constexpr Target all[] = {
        {"res_recording", resRecording}, {"target_file", targetFile},     {"preferences", preferences},
        {"session_script", sessionScript}, {"device_names", deviceNames}, {"balloon_file", balloonFile},
        {"autosave_record", autosaveRecord}, {"html_texts", htmlTexts}, {"mic_file", micFile},
        {"distortion_file", distortionFile}, {"walk_pacing", walkPacing},
        {"measurement_record", measurementRecord}, {"sim_room", simRoom}, {"near_field_curve", nearFieldCurve},
        {"sphere_coefficients", sphereCoefficients}, {"sim_offset", simOffset},
        {"resampling_record", resamplingRecord},
        {"api_request", apiRequest},
        {"recent_balloons", recentBalloons}, {"export_fields", exportFields},
        {"arc_record", arcRecord}, {"arc_file", arcFile}, {"arc_calibration", arcCalibration},
    };
    return all;
}

} // namespace vantrel::fuzz
