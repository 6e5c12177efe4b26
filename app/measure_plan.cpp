#include "app/measure_plan.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>

#include "app/arc_file.h"
#include "balloon/balloon_autosave.h"
#include "balloon/sample_rates.h"
#include "platform/sim/sim_arc.h"
#include "app/arc_calibration.h"
#include "app/arc_walk.h"
#include "calibration/mic_file.h"
#include "mls/mls_settings.h"
#include "mls/sweep.h"
#include "platform/number_text.h"
#include "platform/sim/room.h"
#include "platform/sim/sim_audio.h"

namespace vantrel {

namespace {

MeasurePlan failed(std::string error, bool usage)
{
    MeasurePlan plan;
    plan.error = std::move(error);
    plan.usage = usage;
    return plan;
}

} // namespace

MeasurePlan planMeasure(MeasureRequest o, const std::string& startDirectory)
{
    if (!o.simOffset.empty())
        if (const std::string error = parseSimOffset(o.simOffset, o.faults.mountOffset); !error.empty())
            return failed(error, true);
    if (!o.simRoom.empty()) {
        SimRoom room;
        if (const std::string error = simRoomFromOptions(o.simRoom, o.rigHeight, SimAudioOptions{}.distance, room);
            !error.empty())
            return failed(error, true);
        o.faults.room = room;
    }
    std::optional<double> gateMs;
    if (!o.gate.empty() && o.gate != "auto") {
        double ms = 0;
        if (!parseDecimal(o.gate, ms) || !(ms > 0) || ms > kLongestGateMs)
            return failed("--gate '" + o.gate + "': auto, or the gate in ms after the direct sound (above 0, at most " +
                              fixedText(kLongestGateMs, 0) + ")",
                          true);
        gateMs = ms;
    }
    const ArcOptions arcOptions{o.simArc, o.arcFile, o.arcCalibration, o.micErrorsSeed};
    if (std::string error = arcOptionsProblem(arcOptions); !error.empty())
        return failed(error, true);
    if (!o.arcFile.empty() && (o.excitation != "mls" || !o.gate.empty() || !o.micFile.empty()))
        return failed("a microphone arc measures with the MLS, without --gate and --mic-file (its microphones' files "
                      "are named in the arc description)",
                      true);
    // The arc's microphones, or without an arc the one microphone's errors.
    if (std::string error = readSimArcOption(arcOptions, o.faults); !error.empty())
        return failed(error, true);
    if (!o.simArc.empty()) {
        if (o.excitation != "mls")
            return failed("a microphone arc measures with the MLS: leave out --excitation", true);
        if (!o.gate.empty() || !o.micFile.empty())
            return failed("a microphone arc measures without --gate and --mic-file", true);
    }
    std::string resumeDirectory;
    if (!o.resume.empty() && (!o.faults.arc.empty() || !o.arcFile.empty())) {
        // The arc walk's record keeps its grid and settings; the arc itself is given again.
        std::error_code ec;
        const std::filesystem::path given(o.resume);
        resumeDirectory = (std::filesystem::is_directory(given, ec) ? given : given.parent_path()).string();
        if (resumeDirectory.empty())
            resumeDirectory = ".";
        std::string error;
        const auto record = readArcProgress(resumeDirectory, error);
        if (!record)
            return failed(error + ": nothing to resume", false);
        o.grid = gridStepDegrees(record->grid);
        o.order = record->mlsLengthIndex + 13;
        o.rate = rateHzAt(record->rateIndex);
    } else if (!o.resume.empty()) {
        std::error_code ec;
        const std::filesystem::path given(o.resume);
        resumeDirectory = (std::filesystem::is_directory(given, ec) ? given : given.parent_path()).string();
        if (resumeDirectory.empty())
            resumeDirectory = ".";
        // The walk goes on with the kind of rig it started on.
        const auto record = readAutosaveProgress(resumeDirectory);
        if (!record)
            return failed("no valid progress record '" + std::string(kAutosaveProgressName) + "' in '" +
                              resumeDirectory + "': nothing to resume",
                          false);
        const bool hardware = !o.tt1.empty() || !o.tt2.empty();
        if (record->simulatedRig && hardware)
            return failed("the interrupted walk was measured on the simulated rig, not on --tt1/--tt2", true);
        if (!record->simulatedRig && o.simulate)
            return failed("the interrupted walk was measured on turntables and a sound card: give --tt1 PORT and "
                          "--tt2 PORT, not --simulate",
                          true);
        o.simulate = o.simulate || record->simulatedRig;
        // And through the same distortion of the simulated rig, which the record keeps.
        if (record->simulatedRig) {
            if (o.nonlinearity.empty())
                o.nonlinearity = {record->simA2, record->simA3};
            else if (o.nonlinearity != std::vector<double>{record->simA2, record->simA3})
                return failed("the interrupted walk was measured with --sim-nonlinearity " +
                                  simDistortionText(record->simA2, record->simA3) +
                                  ": resume it without the option, or with the same values",
                              true);
        }
    }
    if (o.simulate && (!o.tt1.empty() || !o.tt2.empty()))
        return failed("--simulate uses the simulated rig; --tt1 and --tt2 are for real hardware", true);
    if (!o.simulate && (o.tt1.empty() || o.tt2.empty()))
        return failed("give --simulate, or both --tt1 PORT and --tt2 PORT", true);

    if (!o.nonlinearity.empty()) {
        if (o.nonlinearity.size() != 2 || !std::isfinite(o.nonlinearity[0]) || !std::isfinite(o.nonlinearity[1]))
            return failed("--sim-nonlinearity takes two numbers A2,A3", true);
        o.faults.nonlinearA2 = o.nonlinearity[0];
        o.faults.nonlinearA3 = o.nonlinearity[1];
    }
    if (o.excitation == "sweep" && o.resume.empty()) {
        // Refused here, before the rig moves, naming the value.
        MlsSettings probe;
        probe.mlsLengthIndex = o.order - 13;
        probe.rateIndex = o.rate == 96000 ? 6 : 5;
        if (const SweepPlanResult plan = planSweep(probe, {true, o.f1, o.f2}); !plan.ok())
            return failed(plan.error, true);
    }

    MeasurePlan plan;
    BalloonJobOptions& job = plan.job;
    ArcSetup arcSetup;
    if (std::string error = readArcFileOptions(arcOptions, o.grid == 5 ? AngleGrid::Grid5 : AngleGrid::Grid10, o.simulate,
                                               o.faults, arcSetup);
        !error.empty())
        return failed(error, true);
    if (!arcSetup.note.empty())
        plan.notes.push_back(arcSetup.note);
    job.arc = std::move(arcSetup.arc);
    job.arcCalibration = std::move(arcSetup.calibration);
    if (!o.micFile.empty()) {
        MicReadResult mic = readMicFile(o.micFile);
        if (!mic.calibration)
            return failed("--mic-file " + o.micFile + ": " + mic.error, true);
        plan.notes.push_back(o.micFile + ": " + micSummary(*mic.calibration));
        job.micCalibration = std::move(mic.calibration);
    }
    job.sweep = o.excitation == "sweep";
    job.sweepF1 = o.f1;
    job.sweepF2 = o.f2;
    job.resumeDirectory = resumeDirectory;
    job.faults = o.faults;
    job.simulate = o.simulate;
    job.tt1Port = o.tt1;
    job.tt2Port = o.tt2;
    job.inputDevice = o.input;
    job.outputDevice = o.output;
    job.grid = o.grid == 5 ? AngleGrid::Grid5 : AngleGrid::Grid10;
    job.preferencesFile = o.preferences;
    job.output = o.balloon;
    job.startDirectory = startDirectory;
    // Explicit values win over a preferences file; without one the defaults apply.
    if (o.preferences.empty() || o.order != 18)
        job.order = o.order;
    if (o.preferences.empty() || o.rate != 48000)
        job.rateHz = o.rate;
    job.windowSamples = o.window;
    job.pacing = WalkPacing{o.paced, o.settle};
    job.frontSamples = o.front;
    job.autoGate = o.gate == "auto";
    job.gateMs = gateMs;
    job.windowType = o.windowType;
    job.windowPosition = o.windowPosition;
    return plan;
}

std::string arcOptionsProblem(const ArcOptions& o)
{
    const bool arc = !o.simArc.empty() || !o.arcFile.empty();
    if (!o.simArc.empty() && !o.arcFile.empty())
        return "give one arc: --arc FILE or --sim-arc N,STEP";
    if (!o.arcCalibration.empty() && !arc)
        return "--arc-calibration needs an arc: --arc FILE or --sim-arc N,STEP";
    return {};
}

std::string readSimArcOption(const ArcOptions& o, SimFaults& faults)
{
    if (o.simArc.empty() && o.arcFile.empty() && o.micErrorsSeed) { // the one microphone: the arc's first
        std::vector<SimArcMicrophone> one(1);
        plantMicErrors(one, *o.micErrorsSeed);
        faults.microphone = one.front();
        return {};
    }
    if (o.simArc.empty())
        return {};
    std::string error;
    auto arc = parseSimArc(o.simArc, error);
    if (!arc)
        return "--sim-arc '" + o.simArc + "': " + error;
    if (o.micErrorsSeed)
        plantMicErrors(*arc, *o.micErrorsSeed);
    faults.arc = std::move(*arc);
    return {};
}

std::string readArcFileOptions(const ArcOptions& o, AngleGrid grid, bool simulate, SimFaults& faults, ArcSetup& setup)
{
    if (!o.arcFile.empty()) {
        std::string error;
        auto arc = readArcDescription(o.arcFile, grid, kMaxInputChannels, error);
        if (!arc)
            return "--arc " + o.arcFile + ": " + error;
        int lowest = 180, highest = -180, lastChannel = 1, files = 0;
        for (const ArcMicrophone& m : arc->microphones) {
            lowest = std::min(lowest, m.angle);
            highest = std::max(highest, m.angle);
            lastChannel = std::max(lastChannel, m.channel);
            files += m.calibration ? 1 : 0;
        }
        setup.note = o.arcFile + ": radius " + fixedText(arc->radius, 3) + " m, " + std::to_string(arc->microphones.size()) +
                     " microphones on channels up to " + std::to_string(lastChannel) + ", angles " +
                     std::to_string(lowest) + ".." + std::to_string(highest) + " deg, " + std::to_string(files) +
                     " microphone files";
        if (simulate) { // the simulated rig wires its microphones as the description says
            faults.arc.assign(static_cast<std::size_t>(lastChannel - 1), SimArcMicrophone{0, 0, 0, 0, false});
            for (const ArcMicrophone& m : arc->microphones)
                faults.arc[static_cast<std::size_t>(m.channel - 2)] = SimArcMicrophone{static_cast<double>(m.angle)};
            if (o.micErrorsSeed)
                plantMicErrors(faults.arc, *o.micErrorsSeed);
            faults.arcRadius = arc->radius;
        }
        setup.arc = std::move(arc);
    }
    if (!o.arcCalibration.empty()) {
        std::string error;
        auto set = readArcCalibration(o.arcCalibration, error);
        if (!set)
            return "--arc-calibration " + o.arcCalibration + ": " + error;
        setup.calibration = std::move(set);
    }
    return {};
}

ArcWalkOptions arcWalkOptionsOf(const ArcDescription& arc, const FrequencyAxis& axis)
{
    ArcWalkOptions o;
    for (const ArcMicrophone& m : arc.microphones) {
        o.angles.push_back(m.angle);
        o.channels.push_back(m.channel - 1);
        o.lines.push_back(m.line);
        o.micCurves.push_back(m.calibration ? std::optional(micCurve(*m.calibration, axis)) : std::nullopt);
    }
    return o;
}

std::string readArcOptions(const ArcOptions& o, bool simulate, SimFaults& faults, std::optional<ArcSetup>& setup)
{
    if (o.simArc.empty() && o.arcFile.empty() && !o.micErrorsSeed && o.arcCalibration.empty())
        return {};
    if (std::string error = arcOptionsProblem(o); !error.empty())
        return error;
    if (!simulate && (!o.simArc.empty() || o.micErrorsSeed))
        return "--sim-arc and --sim-mic-errors need --simulate";
    if (std::string error = readSimArcOption(o, faults); !error.empty())
        return error;
    if (o.simArc.empty() && o.arcFile.empty())
        return {}; // --sim-mic-errors alone: the one microphone's errors, no arc
    ArcSetup read;
    if (std::string error = readArcFileOptions(o, AngleGrid::Grid5, simulate, faults, read); !error.empty())
        return error;
    if (!read.arc)
        read.arc = simulatedArcDescription(faults);
    setup = std::move(read);
    return {};
}

ArcDescription simulatedArcDescription(const SimFaults& faults)
{
    ArcDescription arc;
    arc.radius = faults.arcRadius;
    for (std::size_t m = 0; m < faults.arc.size(); ++m)
        if (faults.arc[m].present)
            arc.microphones.push_back({0, static_cast<int>(m) + 2, static_cast<int>(std::lround(faults.arc[m].angleDegrees)),
                                       {}, std::nullopt});
    return arc;
}

std::string clockText(double seconds)
{
    const long s = seconds > 0 ? static_cast<long>(seconds + 0.5) : 0;
    char text[32];
    std::snprintf(text, sizeof text, "%ld:%02ld:%02ld", s / 3600, s / 60 % 60, s % 60);
    return text;
}

std::string progressLine(const BalloonProgress& p)
{
    return "V=" + std::to_string(p.vAngle) + " deg: " + std::to_string(p.done) + " of " + std::to_string(p.total) +
           " points, rig " + clockText(p.rigSeconds) + ", wall " + clockText(p.wallSeconds);
}

} // namespace vantrel
