#include "mls/mls_engine.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <numbers>

#include "mls/numeric_text.h"
#include "mls/time_windows.h"

namespace vantrel {

namespace {

// Hands each windowed sample signal[offset + j] w[j], j < n, to take (0 outside the signal)
// and returns the j of the largest magnitude, the first of equals: where the direct sound
// lies. Found on the way, as a second pass would cost a tenth of a response's processing.
template <class Take>
std::size_t windowSamples(std::span<const float> signal, long offset, std::span<const float> window, int n, Take take)
{
    const long size = static_cast<long>(signal.size());
    std::size_t peak = 0;
    float largest = 0;
    for (std::size_t j = 0; j < static_cast<std::size_t>(n); ++j) {
        const long at = offset + static_cast<long>(j);
        const float v = at >= 0 && at < size ? signal[static_cast<std::size_t>(at)] * window[j] : 0.0f;
        take(j, v);
        if (std::fabs(v) > largest) {
            largest = std::fabs(v);
            peak = j;
        }
    }
    return peak;
}

constexpr std::size_t kMaxPoints = std::size_t{1} << kMaxMlsOrder;
constexpr int kRefOffset = 52;                 // REF samples enter the FFT from this index
constexpr double kSymmetricRotation = 9.5;     // samples the symmetric windows' phase refers to
constexpr std::string_view kRateText = "Allowed Sampling Rates Are 48kHz and 96kHz";

bool validLengthIndex(const MlsSettings& settings)
{
    return settings.mlsLengthIndex >= 0 && settings.mlsLengthIndex < static_cast<int>(kMlsLengthTexts.size());
}

} // namespace

MlsEngine::MlsEngine()
    : fft_(kMinMlsOrder, kMaxMlsOrder), playBuffer_(2 * static_cast<std::size_t>(kPlayFrames), 0),
      captureCopy_(kCaptureCopySamples, 0), refSignal_(kSignalLength, 0.0f), inSignal_(kSignalLength, 0.0f),
      inImpulseCopy_(kSignalLength, 0.0f), scratch_(kScratchLength, 0.0f), firstPass_(kScratchLength, 0.0f),
      refWindow_(kMaxPoints, 0.0f), inWindow_(kMaxPoints, 0.0f), spectrumRe_(kMaxPoints, 0.0f), spectrumIm_(kMaxPoints, 0.0f),
      fftBuffer_(2 * kMaxPoints)
{
}

MlsStatus MlsEngine::generateMlsForPlayback(const MlsSettings& settings)
{
    if (!validLengthIndex(settings) || !generator_.generateMlsForPlayback(settings.mlsOrder(), settings, playBuffer_, fft_))
        return {kMlsOrderRangeText};
    return {};
}

MlsStatus MlsEngine::rebuildMlsTables(const MlsSettings& settings)
{
    if (!validLengthIndex(settings) || !generator_.rebuildMlsTables(settings.mlsOrder(), settings, playBuffer_))
        return {kMlsOrderRangeText};
    return {};
}

ResImport MlsEngine::importRecording(const char* path)
{
    ResImport result = readResFile(path, captureCopy_);
    if (!result.ok())
        clearDelays();
    return result;
}

void MlsEngine::splitCapture(const MlsSettings& settings)
{
    std::fill(refSignal_.begin(), refSignal_.end(), 0.0f);
    std::fill(inSignal_.begin(), inSignal_.end(), 0.0f);
    peaks_ = vantrel::splitCapture(captureCopy_, refSignal_, inSignal_, settings.refPolarity, settings.inPolarity);
}

void MlsEngine::computeImpulseResponses(const MlsSettings& settings, bool foldRoomTail)
{
    const ImpulseBuffers buffers{refSignal_, inSignal_, inImpulseCopy_, scratch_, firstPass_};
    // Pre-emphasis plays the whole period; otherwise its last kSilentTail samples are silent.
    const int silentTail = textValue(settings.preEmphasisText) > 0 ? 0 : kSilentTail;
    delays_ = vantrel::computeImpulseResponses(generator_, buffers, settings.frontWindowText, foldRoomTail, silentTail);
}

MlsStatus MlsEngine::generateSweepForPlayback(const MlsSettings& settings, const ExcitationSettings& excitation)
{
    SweepPlanResult planned = planSweep(settings, excitation);
    if (!planned.ok()) {
        sweepError_ = std::move(planned.error);
        return {sweepError_};
    }
    sweepPlan_ = planned.plan;
    sweep_.generate(sweepPlan_, settings, playBuffer_, fft_);
    sweepCaption_ = sweepCaptionText(sweepPlan_);
    return {};
}

void MlsEngine::computeSweepResponses(const MlsSettings& settings)
{
    const ImpulseBuffers buffers{refSignal_, inSignal_, inImpulseCopy_, scratch_, firstPass_};
    delays_ = sweep_.deconvolve(sweepPlan_, buffers, settings.frontWindowText, fft_);
}

void MlsEngine::computeHarmonics(const MlsSettings& settings, const FrequencyAxis& axis)
{
    if (delays_.refDelay == 0 || delays_.inDelay == 0 || sweepPlan_.points == 0)
        return;
    sweep_.harmonics(axis, settings.smoothingHalfWidth(), harmonics_, fft_, calibrated_ ? &calibration_ : nullptr);
}

void MlsEngine::buildTimeWindows(const MlsSettings& settings)
{
    if (!validLengthIndex(settings))
        return;
    vantrel::buildTimeWindows(settings, settings.transformSize(), refWindow_, inWindow_);
}

void MlsEngine::clearWorkArrays()
{
    for (std::vector<float>* v : {&spectrumRe_, &spectrumIm_, &scratch_, &firstPass_, &refWindow_, &inWindow_})
        std::fill(v->begin(), v->end(), 0.0f);
    std::fill(generator_.hadamardBuffer().begin(), generator_.hadamardBuffer().end(), 0.0f);
    std::fill(playBuffer_.begin(), playBuffer_.end(), 0);
    refResponse_.fill({});
    inResponse_.fill({});
    refCorrection_.fill(0.0f);
}

// X[k] = FFT(signal[offset + j] w[j]) [k], times e^(+2 pi i r k/n) when the phase refers to r
// samples later; into spectrumRe/spectrumIm. Samples outside the signal read as 0. Returns the
// delay of the windowed response's peak after the phase's reference, in samples.
double MlsEngine::transformChannel(std::span<const float> signal, long offset, std::span<const float> window, int n,
                                   double rotateSamples)
{
    const auto un = static_cast<std::size_t>(n);
    std::span<float> points = generator_.hadamardBuffer();
    const std::size_t peak = windowSamples(signal, offset, window, n, [&](std::size_t j, float v) {
        points[2 * j] = v;
        points[2 * j + 1] = 0.0f;
    });
    (void)fft_.fftForward(points, n);
    if (rotateSamples != 0) {
        const double angle = 2 * std::numbers::pi * rotateSamples / n;
        const std::complex<double> step(std::cos(angle), std::sin(angle));
        std::complex<double> z(1.0, 0.0);
        for (std::size_t k = 0; k < un; ++k) {
            const std::complex<double> x = std::complex<double>(points[2 * k], points[2 * k + 1]) * z;
            points[2 * k] = static_cast<float>(x.real());
            points[2 * k + 1] = static_cast<float>(x.imag());
            z *= step;
        }
    }
    for (std::size_t k = 0; k < un; ++k) {
        spectrumRe_[k] = points[2 * k];
        spectrumIm_[k] = points[2 * k + 1];
    }
    return static_cast<double>(peak) - rotateSamples;
}

MlsStatus MlsEngine::computeFrequencyResponse(const MlsSettings& settings, const FrequencyAxis& axis,
                                              const CalibrationCurve& calibration)
{
    calibrated_ = settings.useCalibration == 1;
    if (calibrated_)
        calibration_ = calibration;
    if (delays_.refDelay == 0 || delays_.inDelay == 0)
        return {kNoImpulseResponseText};
    if (!validLengthIndex(settings))
        return {kMlsOrderRangeText};
    const double rate = settings.sampleRate();
    if (!(rate > 0))
        return {kRateText};
    const int n = settings.transformSize();
    const double binHz = rate / n;
    const double nyquist = rate / 2;
    const int half = n / 2;

    refResponse_.fill({-150.0f, 0.0f});
    inResponse_.fill({-150.0f, 0.0f});
    refCorrection_.fill(0.0f);
    workResponse_.fill({0.0f, 0.0f});
    if (n - 1 < textValue(settings.windowWidthText))
        return {kWindowTooLongText};

    vantrel::buildTimeWindows(settings, n, refWindow_, inWindow_);
    const bool symmetric = settings.windowTypeIndex >= 5;
    const int smoothing = settings.smoothingHalfWidth();

    const double refDelay = transformChannel(refSignal_, kRefOffset, refWindow_, n, symmetric ? kSymmetricRotation : 0.0) / rate;
    bandAverage(spectrumRe_, spectrumIm_, axis, binHz, half, nyquist, true, bandValues_);
    toLevelPhase(bandValues_, workResponse_);
    smoothAboutDelay(workResponse_, axis, refDelay, smoothing, refResponse_);
    referenceCorrection(refResponse_, axis, nyquist, refCorrection_);

    const long position = settings.fftWindowPosition;
    double inDelay = 0;
    if (settings.useMatchedFilter) {
        // The filter's own delay is small beside the window's: the peak of the plain window serves.
        inDelay = static_cast<double>(windowSamples(inSignal_, position, inWindow_, n, [](std::size_t, float) {}));
        const MatchedFilterBuffers buffers{inImpulseCopy_, refWindow_, generator_.hadamardBuffer(), fftBuffer_.span(), spectrumRe_, spectrumIm_};
        if (const MlsStatus status = matchedFilterSpectrum(settings, axis, binHz, n, buffers, matchedFilter_, fft_); !status.ok())
            return status;
    } else if (symmetric) {
        const long width = textInt(settings.windowWidthText);
        if (position < width + 1)
            return {kRepositionWindowText};
        inDelay = transformChannel(inSignal_, position - (width + 1), inWindow_, n, 0.0);
    } else {
        inDelay = transformChannel(inSignal_, position, inWindow_, n, 0.0);
    }
    bandAverage(spectrumRe_, spectrumIm_, axis, binHz, half, nyquist, false, bandValues_);
    inResponse_.fill({1.0f, 0.0f});
    toLevelPhase(bandValues_, workResponse_);
    smoothAboutDelay(workResponse_, axis, inDelay / rate, smoothing, inResponse_);

    transferFunction(refResponse_, inResponse_, refCorrection_, textValue(settings.addDbText), workResponse_);
    if (settings.useCalibration == 1)
        applyCalibration(calibration, workResponse_);
    // A damaged recording or curve must not reach a plot, a file or the balloon as inf or NaN.
    if (!finiteResponse(workResponse_))
        return {kResponseRangeText};
    return {};
}

} // namespace vantrel
