#pragma once
// The MLS measurement engine: every buffer of one measurement, allocated once for order 18,
// and the operations from a recording to its frequency response.
//
// A live measurement:
//   1. generateMlsForPlayback(settings) fills playBuffer() (268,000 stereo int32 frames);
//      caption() describes the sequence;
//   2. the sound card plays playBuffer() and records; its bytes go into captureCopy();
//   3. splitCapture(settings) converts captureCopy() into the REF and IN signals (peaks in
//      refPeak()/inPeak());
//   4. computeImpulseResponses(settings) gives refSignal()/inSignal() (REF peak at
//      50 + alignLead) and the delays;
//   5. computeFrequencyResponse(settings, axis, calibration) gives response() (dB, degrees),
//      or a failure whose message() the window shows.
// A stored recording: importRecording(path) reads a *.RES file into captureCopy() and returns
// the rate and MLS length indexes it holds; set them in the settings, call
// rebuildMlsTables(settings), then continue at step 3.
// Steps 3 to 5 neither allocate, plan FFTs nor lock.

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "balloon/frequency_axis.h"
#include "mls/capture.h"
#include "mls/complex_fft.h"
#include "mls/frequency_response.h"
#include "mls/impulse_response.h"
#include "mls/matched_filter.h"
#include "mls/mls_generator.h"
#include "mls/mls_settings.h"
#include "mls/sweep.h"

namespace vantrel {

inline constexpr std::string_view kMlsOrderRangeText = "MLS Length Out Of Range";

class MlsEngine {
public:
    MlsEngine();
    MlsEngine(const MlsEngine&) = delete;
    MlsEngine& operator=(const MlsEngine&) = delete;

    // Sequence, tables and play samples for settings.mlsOrder().
    MlsStatus generateMlsForPlayback(const MlsSettings& settings);
    // Tables for settings.mlsOrder() after an import; the play buffer gets the plain sequence.
    MlsStatus rebuildMlsTables(const MlsSettings& settings);
    std::string_view caption() const { return generator_.caption(); }

    // Reads a *.RES file into captureCopy(); on a refusal nothing changes but the delays,
    // which are cleared (no impulse response is held any longer).
    ResImport importRecording(const char* path);

    // Clears the signals and converts captureCopy() with the settings' polarities.
    void splitCapture(const MlsSettings& settings);
    // foldRoomTail: measuring behind a gate, in a room (mls/impulse_response.h).
    void computeImpulseResponses(const MlsSettings& settings, bool foldRoomTail = false);

    // The swept sine instead of the MLS (mls/sweep.h): the play samples of the planned sweep
    // (or the plan's refusal, naming the value), then, after splitCapture, the linear
    // responses in place of computeImpulseResponses (the frequency response follows as for
    // the MLS), and the harmonics of the same recording, after its frequency response: they take
    // the calibration curve that response used, each harmonic at its own frequency.
    MlsStatus generateSweepForPlayback(const MlsSettings& settings, const ExcitationSettings& excitation);
    void computeSweepResponses(const MlsSettings& settings);
    void computeHarmonics(const MlsSettings& settings, const FrequencyAxis& axis);
    const HarmonicResponses& harmonics() const { return harmonics_; }
    const SweepPlan& sweepPlan() const { return sweepPlan_; }
    std::string_view sweepCaption() const { return sweepCaption_; }
    MlsStatus computeFrequencyResponse(const MlsSettings& settings, const FrequencyAxis& axis, const CalibrationCurve& calibration);
    void clearDelays() { delays_ = {}; }
    // refWindow()/inWindow() for the settings' window type, width and transform size.
    void buildTimeWindows(const MlsSettings& settings);
    // Zeroes the spectra, the correlation scratch, both windows, the play buffer and the
    // responses, so that a new measurement starts from nothing left by the previous one.
    void clearWorkArrays();

    std::span<std::int32_t> playBuffer() { return playBuffer_; }
    std::span<std::int32_t> captureCopy() { return captureCopy_; }
    std::span<const float> refSignal() const { return refSignal_; }
    std::span<const float> inSignal() const { return inSignal_; }
    std::span<float> refSignal() { return refSignal_; }
    std::span<float> inSignal() { return inSignal_; }
    std::span<const float> inImpulseCopy() const { return inImpulseCopy_; }
    std::span<const float> refWindow() const { return refWindow_; }
    std::span<const float> inWindow() const { return inWindow_; }

    const AxisLevelPhase& response() const { return workResponse_; } // final level, phase
    const AxisLevelPhase& refResponse() const { return refResponse_; }
    const AxisLevelPhase& inResponse() const { return inResponse_; }
    const AxisValues& refCorrection() const { return refCorrection_; }
    const AxisValues& matchedFilterDb() const { return matchedFilter_.modelDb; }

    int refDelay() const { return delays_.refDelay; }
    int inDelay() const { return delays_.inDelay; }
    int alignLead() const { return delays_.alignLead; }
    float refPeak() const { return peaks_.refPeak; }
    float inPeak() const { return peaks_.inPeak; }
    int tableOrder() const { return generator_.order(); }
    MlsGenerator& generator() { return generator_; }
    const ComplexFft& fft() const { return fft_; }

private:
    double transformChannel(std::span<const float> signal, long offset, std::span<const float> window, int n, double rotateSamples);

    ComplexFft fft_;
    MlsGenerator generator_;                 // tables and the Hadamard/FFT work buffer
    std::vector<std::int32_t> playBuffer_;   // 2 x 268,000 samples, left-justified 24 bit
    std::vector<std::int32_t> captureCopy_;  // recorded frames, REF first
    std::vector<float> refSignal_, inSignal_; // converted samples, then aligned responses
    std::vector<float> inImpulseCopy_;
    std::vector<float> scratch_, firstPass_;  // correlation passes
    std::vector<float> refWindow_, inWindow_;
    std::vector<float> spectrumRe_, spectrumIm_;
    AlignedFloats fftBuffer_;                 // second complex buffer of the matched filter
    AxisComplex bandValues_{};
    AxisLevelPhase workResponse_{}, refResponse_{}, inResponse_{};
    AxisValues refCorrection_{};
    MatchedFilterWork matchedFilter_;
    ImpulseDelays delays_;
    CalibrationCurve calibration_{}; // of the last frequency response, for its harmonics
    bool calibrated_ = false;
    CapturePeaks peaks_;
    SweepAnalyser sweep_;
    SweepPlan sweepPlan_;
    HarmonicResponses harmonics_{};
    std::string sweepError_, sweepCaption_;
};

} // namespace vantrel
