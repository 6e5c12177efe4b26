#include "platform/sim/sim_audio.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <optional>
#include <numbers>
#include <random>
#include <system_error>
#include <thread>

#include "mls/complex_fft.h"

namespace vantrel {

namespace {

// The room's paths arrive through the sound card's anti-alias filter, whose kernel is finite:
// a path's sound cannot ring ahead of its arrival by more than that kernel's half length. The
// exact band edge at rate / 2 of the spectral sum would make every reflection a sinc whose
// 1 / n tail runs milliseconds ahead of it, into the direct sound's gate, which no recording
// does. The paths take a raised-cosine edge from 0.4 rate to rate / 2 instead (zero phase, so
// no arrival moves), whose kernel falls as 1 / n^3 beyond about 10 samples. The direct sound
// keeps the exact edge: the anechoic rig's recordings stay what they were, bit for bit.
//   Band-limited image sources: P. M. Peterson, "Simulating the response of multiple
//   microphones to a single acoustic source in a reverberant room", J. Acoust. Soc. Am. 80(5),
//   1527-1529 (1986).
double pathBandEdge(double hz, int rate)
{
    const double edge = 0.4 * rate, nyquist = 0.5 * rate;
    if (hz <= edge)
        return 1.0;
    if (hz >= nyquist)
        return 0.0;
    return 0.5 * (1.0 + std::cos(std::numbers::pi * (hz - edge) / (nyquist - edge)));
}

constexpr int kFftOrder = 19; // 524288 points: the whole play buffer plus the loudspeaker's ring-out
constexpr std::size_t kFftSize = std::size_t{1} << kFftOrder;
constexpr double kFullScale = 2147483648.0;       // 2^31
constexpr double kMaxCode = 8388607.0;            // 2^23 - 1, 24 valid bits
constexpr const char* kDeviceName = "Simulated Rig";
// Directions whose Bessel tables are kept: the 41 values of sin t on the 5-degree grid, with
// room to spare; about 4 MB each.
constexpr std::size_t kDirectivityTables = 48;
// Unit normal values the recordings draw their noise from (a power of two, 4 MB).
constexpr std::size_t kNoiseTableSize = std::size_t{1} << 20;
constexpr std::size_t kPhaseResync = 1024;
static_assert((kFftSize / 4) % kPhaseResync == 0, "the second part of the bins starts on a resync");
constexpr std::uint32_t kNoiseStrides = 32; // odd strides 1..63 through the noise table

// 24 valid bits, left-justified: round(x 2^23) << 8, clipped to the 24-bit range.
std::int32_t toSample(double x)
{
    const double code = std::clamp(std::nearbyint(x * kFullScale / 256.0), -kMaxCode - 1, kMaxCode);
    return static_cast<std::int32_t>(code) * 256;
}

// work(begin, end) over [0, count), split at split: the part above on a thread of its own. The
// rig stands in for a sound card, which records beside the computer, not on its thread. Every
// value is computed as in one pass, so the recording is the same bit for bit either way.
template <class Work>
void inTwoParts(std::size_t count, std::size_t split, const Work& work)
{
    split = std::min(split, count);
    std::optional<std::thread> other;
    try {
        other.emplace([&] { work(split, count); });
    } catch (const std::system_error&) {
        work(split, count); // no thread to be had: the same work in turn
    }
    work(0, split);
    if (other)
        other->join();
}

std::chrono::milliseconds framesToMs(std::size_t frames, int rate)
{
    return std::chrono::milliseconds((static_cast<std::uint64_t>(frames) * 1000 + static_cast<std::uint64_t>(rate) - 1) /
                                     static_cast<std::uint64_t>(rate));
}

} // namespace

SimAudioSystem::SimAudioSystem(Clock& clock, const RigAngles& angles, SimAudioOptions options)
    : clock_(clock), angles_(angles), options_(options), loudspeaker_(options.loudspeaker),
      alive_(std::make_shared<bool>(true))
{
}

SimAudioSystem::~SimAudioSystem() = default;

AudioStatus SimAudioSystem::inputCaps(int id, AudioDeviceCaps& caps)
{
    if (id != 0)
        return kSimBadDevice;
    caps = {kDeviceName, captureChannels()};
    return kAudioOk;
}

AudioStatus SimAudioSystem::outputCaps(int id, AudioDeviceCaps& caps)
{
    if (id != 0)
        return kSimBadDevice;
    caps = {kDeviceName, 2};
    return kAudioOk;
}

std::string SimAudioSystem::errorText(AudioStatus status)
{
    switch (status) {
    case kAudioOk: return "Success";
    case kSimBadDevice: return "Simulated Rig: no such device";
    case kSimBadRate: return "Simulated Rig: sampling rate not supported";
    case kSimAlreadyOpen: return "Simulated Rig: device already open";
    case kSimNotOpen: return "Simulated Rig: device not open";
    case kSimNotPrepared: return "Simulated Rig: no buffer prepared";
    case kSimBadBuffer: return "Simulated Rig: buffer too small";
    case kSimDeviceFault: return "Simulated Rig: the device stopped responding (rehearsed fault)";
    default: return "Simulated Rig: unknown error " + std::to_string(status);
    }
}

std::complex<double> SimAudioSystem::inTransfer(double hz, double hDeg, double vDeg) const
{
    if (options_.nearFieldDistance > 0)
        return loudspeaker_.nearField(hz, options_.nearFieldDistance);
    return loudspeaker_.atDistance(hz, hDeg, vDeg, options_.distance, options_.mountOffset);
}

std::complex<double> SimAudioSystem::micTransfer(std::size_t m, double hz, double hDeg, double vDeg) const
{
    const SimArcMicrophone& mic = options_.arc.at(m);
    const double r = options_.distance + mic.radiusError;
    const double gain = std::pow(10.0, mic.levelDb / 20.0);
    const double delay = 2 * std::numbers::pi * hz * mic.delaySeconds;
    const std::complex<double> at = options_.nearFieldDistance > 0
                                        ? loudspeaker_.nearField(hz, options_.nearFieldDistance)
                                        : loudspeaker_.atDistance(hz, hDeg + mic.angleDegrees, vDeg, r);
    return gain * at * std::polar(1.0, -delay);
}

AudioStatus SimAudioSystem::openOutput(int id, int rate, WindowHost&, AudioCompletion& completion)
{
    if (id != 0)
        return kSimBadDevice;
    if (rate < 8000 || rate > 192000)
        return kSimBadRate;
    if (out_.open)
        return kSimAlreadyOpen;
    out_ = Device{true, false, false, false, rate, &completion};
    return kAudioOk;
}

AudioStatus SimAudioSystem::prepareOutput(std::span<const std::int32_t> interleaved)
{
    if (!out_.open)
        return kSimNotOpen;
    if (interleaved.size() < 2)
        return kSimBadBuffer;
    play_ = interleaved;
    out_.prepared = true;
    return kAudioOk;
}

AudioStatus SimAudioSystem::openInput(int id, int rate, WindowHost&, AudioCompletion& completion)
{
    if (id != 0)
        return kSimBadDevice;
    if (rate < 8000 || rate > 192000 || (out_.open && rate != out_.rate))
        return kSimBadRate;
    if (in_.open)
        return kSimAlreadyOpen;
    if (++attempts_ == options_.errorAtMeasurement)
        return kSimDeviceFault;
    in_ = Device{true, false, false, false, rate, &completion};
    return kAudioOk;
}

AudioStatus SimAudioSystem::prepareInput(std::span<std::int32_t> interleaved)
{
    if (!in_.open)
        return kSimNotOpen;
    if (interleaved.size() < static_cast<std::size_t>(captureChannels()))
        return kSimBadBuffer;
    capture_ = interleaved;
    in_.prepared = true;
    return kAudioOk;
}

AudioStatus SimAudioSystem::queueInput()
{
    if (!in_.open)
        return kSimNotOpen;
    if (!in_.prepared)
        return kSimNotPrepared;
    in_.queued = true;
    return kAudioOk;
}

AudioStatus SimAudioSystem::startInput()
{
    if (!in_.open)
        return kSimNotOpen;
    if (!in_.queued)
        return kSimNotPrepared;
    ++measurement_;
    in_.running = true;
    // Recorded once: with the playback when it starts, else (no playback) when the capture ends.
    recorded_ = false;
    schedule(framesToMs(capture_.size() / static_cast<std::size_t>(captureChannels()), in_.rate), false);
    return kAudioOk;
}

AudioStatus SimAudioSystem::play()
{
    if (!out_.open)
        return kSimNotOpen;
    if (!out_.prepared)
        return kSimNotPrepared;
    out_.running = true;
    if (in_.running) {
        record(true);
        recorded_ = true;
    }
    schedule(framesToMs(static_cast<std::size_t>(options_.leadFrames) + play_.size() / 2, out_.rate) +
                 std::chrono::milliseconds(options_.playbackLagMs),
             true);
    return kAudioOk;
}

void SimAudioSystem::schedule(std::chrono::milliseconds delay, bool output)
{
    if (attempts_ == options_.hangAtMeasurement)
        return; // the rehearsed hang: this recording never comes back
    clock_.callAfter(delay, [this, alive = std::weak_ptr<bool>(alive_), number = measurement_, output] {
        if (alive.expired() || number != measurement_)
            return;
        Device& device = output ? out_ : in_;
        if (!device.running)
            return;
        device.running = false;
        if (output) {
            device.completion->outputDone();
        } else {
            if (!recorded_)
                record(false);
            device.completion->captureDone(capture_.size_bytes());
        }
    });
}

// Capture frame c holds played frame p = c - leadFrames:
//   REF[c] = left[p - loopbackDelay] + n_ref[c]
//   IN[c]  = (g(right) (*) h)[p] + n_mic[c],  H(f) = loudspeaker(f, H, V) e^{-j 2 pi f r / c} / r
//            + the sum of the extra paths (sim_paths.h),
//   g(x) = x + a2 x^2 + a3 x^3
// (with the microphone at the cone, H(f) is the loudspeaker's near field there instead)
// The convolution runs as a product of spectra over 2^19 points, enough for the play buffer and
// the loudspeaker's ring-out, so that the circular product equals the linear one.
void SimAudioSystem::computeIn(const SimArcMicrophone* mic)
{
    const std::size_t playFrames = std::min(play_.size() / 2, kFftSize);
    const std::vector<float>& played = playedSpectrum(playFrames);
    if (!inSignal_)
        inSignal_ = std::make_unique<AlignedFloats>(kFftSize + 2);
    float* const out = inSignal_->data();
    const BinTable& bins = binTable(in_.rate);
    const double hDeg = mic ? angles_.hDegrees() + mic->angleDegrees : angles_.hDegrees(), vDeg = angles_.vDegrees();
    // Mounted off the rotation centre the sound leaves in its own direction and travels
    // its own distance r': the bins' e^{-j k r} / r becomes e^{-j k r'} / r' by a lead of
    // r - r' in the drivers' path phases and a spreading r / r'.
    const bool mounted = VirtualLoudspeaker::mountedOff(options_.mountOffset);
    const VirtualLoudspeaker::MountedPath mount =
        mounted ? VirtualLoudspeaker::mountedPath(hDeg, vDeg, options_.distance, options_.mountOffset)
                : VirtualLoudspeaker::MountedPath{VirtualLoudspeaker::geometry(hDeg, vDeg), options_.distance};
    const auto& g = mount.geometry;
    const double spreading = options_.distance / mount.distance;
    const DirectivityTable& directivity = directivityTable(in_.rate, g.sinT);
    // The drivers' path phases turn by a fixed step from bin to bin; set exactly every
    // kPhaseResync bins, so that the rounding of the steps stays far below the noise.
    const LoudspeakerDesign& design = loudspeaker_.design();
    double wooferLead = design.woofer.heightY * g.uy, tweeterLead = design.tweeter.heightY * g.uy; // m
    if (mounted) {
        wooferLead += options_.distance - mount.distance;
        tweeterLead += options_.distance - mount.distance;
    }
    const double dk = bins.k[1];
    const std::complex<double> wooferStep = std::polar(1.0, dk * wooferLead);
    const std::complex<double> tweeterStep = std::polar(1.0, dk * tweeterLead);
    // A microphone of the arc: gain r / (r + dr) g and the phase of its extra way dr + c tau,
    // turned on like the drivers' phases.
    const double micGain = mic ? std::pow(10.0, mic->levelDb / 20.0) * options_.distance / (options_.distance + mic->radiusError) : 1.0;
    const double micWay = mic ? mic->radiusError + design.speedOfSound * mic->delaySeconds : 0.0;
    const std::complex<double> micStep = std::polar(1.0, -dk * micWay);
    const std::vector<SimPath> paths = options_.extraPaths ? options_.extraPaths(hDeg, vDeg) : std::vector<SimPath>{};
    const PathSpectrum extra(loudspeaker_, paths, bins.hz[1], kFftSize / 2 + 1);
    // The recording is real: the bins above N/2 are the conjugates of these.
    inTwoParts(kFftSize / 2 + 1, kFftSize / 4, [&](std::size_t begin, std::size_t end) {
        std::vector<std::complex<double>> extraBins(extra.empty() ? 0 : end - begin);
        if (!extra.empty())
            extra.sum(begin, end, bins.filters, extraBins);
        std::complex<double> wooferPath, tweeterPath, micPath;
        for (std::size_t k = begin; k < end; ++k) {
            if (k % kPhaseResync == 0) {
                wooferPath = std::polar(1.0, bins.k[k] * wooferLead);
                tweeterPath = std::polar(1.0, bins.k[k] * tweeterLead);
                micPath = std::polar(1.0, -bins.k[k] * micWay);
            }
            // inTransfer(k binHz, H, V), from the parts the model is made of
            std::complex<double> t = loudspeaker_.combine(bins.hz[k], g, bins.filters[k], directivity.woofer[k],
                                                          directivity.tweeter[k], wooferPath, tweeterPath) *
                                     bins.distance[k];
            if (mounted)
                t *= spreading;
            if (!extraBins.empty())
                t += extraBins[k - begin] * pathBandEdge(bins.hz[k], in_.rate);
            wooferPath *= wooferStep;
            tweeterPath *= tweeterStep;
            if (options_.nearFieldDistance > 0) // the microphone at the cone
                t = loudspeaker_.nearField(bins.hz[k], options_.nearFieldDistance);
            if (mic) {
                t *= micGain * micPath;
                micPath *= micStep;
            }
            if (k == 0 || k == kFftSize / 2)
                t = t.real();
            const std::complex<double> y = std::complex<double>(played[2 * k], played[2 * k + 1]) * t;
            out[2 * k] = static_cast<float>(y.real());
            out[2 * k + 1] = static_cast<float>(y.imag());
        }
    });
    const ComplexFft fft(kFftOrder, kFftOrder);
    fft.realInverse(inSignal_->span(), static_cast<int>(kFftSize));
}

// Capture frame c holds played frame p = c - leadFrames:
//   REF[c] = left[p - loopbackDelay] + n_ref[c]
//   IN[c]  = (g(right) (*) h)[p] + n_mic[c],  H(f) = loudspeaker(f, H, V) e^{-j 2 pi f r / c} / r
//            + the sum of the extra paths (sim_paths.h),
//   g(x) = x + a2 x^2 + a3 x^3
// (with the microphone at the cone, H(f) is the loudspeaker's near field there instead; with
// an arc, one IN per microphone, H(f) its own: sim_arc.h)
// The convolution runs as a product of spectra over 2^19 points, enough for the play buffer and
// the loudspeaker's ring-out, so that the circular product equals the linear one.
void SimAudioSystem::record(bool withPlayback)
{
    const auto channels = static_cast<std::size_t>(captureChannels());
    const std::size_t mics = channels - 1;
    const std::size_t frames = capture_.size() / channels;
    const auto lead = static_cast<std::ptrdiff_t>(options_.leadFrames);
    const auto loop = static_cast<std::ptrdiff_t>(options_.loopbackDelay);

    // Seeded by the point, not by the count of measurements: a walk resumed after an
    // interruption records the same noise at each point as one never stopped. Drawing half a
    // million normal values for every recording cost more than the processing of it; each
    // recording reads the rig's table of them instead, from its own start and with its own odd
    // stride, so that two points' noises are unrelated. The strides are short: a stride across
    // the whole table missed the cache at every sample. The arc's further microphones draw
    // theirs after the first's from the same stream.
    std::seed_seq seeds{options_.seed, static_cast<std::uint32_t>(std::lround(angles_.hDegrees()) + 1000),
                        static_cast<std::uint32_t>(std::lround(angles_.vDegrees()) + 1000)};
    std::mt19937 rng(seeds);
    const std::vector<float>& table = noiseTable();
    const std::size_t mask = table.size() - 1;
    const std::size_t refStart = rng() & mask;
    std::size_t inStart = rng() & mask;
    const std::size_t refStride = 2 * (rng() % kNoiseStrides) + 1;
    std::size_t inStride = 2 * (rng() % kNoiseStrides) + 1;
    const std::size_t playedFrames = play_.size() / 2;
    for (std::size_t m = 0; m < mics; ++m) {
        if (m > 0) {
            inStart = rng() & mask;
            inStride = 2 * (rng() % kNoiseStrides) + 1;
        }
        const bool heard = withPlayback && (options_.arc.empty() || options_.arc[m].present);
        if (heard)
            computeIn(!options_.arc.empty() ? &options_.arc[m] : options_.microphone ? &*options_.microphone : nullptr);
        const bool withRef = m == 0;
        inTwoParts(frames, frames / 2, [&](std::size_t begin, std::size_t end) {
            std::size_t refAt = (refStart + begin * refStride) & mask, inAt = (inStart + begin * inStride) & mask;
            for (std::size_t c = begin; c < end; ++c) {
                double ref = options_.refNoise * table[refAt];
                double in = options_.micNoise * table[inAt];
                refAt = (refAt + refStride) & mask;
                inAt = (inAt + inStride) & mask;
                if (withPlayback) {
                    const std::ptrdiff_t p = static_cast<std::ptrdiff_t>(c) - lead;
                    const std::ptrdiff_t q = p - loop;
                    if (withRef && q >= 0 && static_cast<std::size_t>(q) < playedFrames)
                        ref += play_[2 * static_cast<std::size_t>(q)] / kFullScale;
                    if (heard && p >= 0 && static_cast<std::size_t>(p) < kFftSize)
                        in += (*inSignal_)[static_cast<std::size_t>(p)];
                }
                if (withRef)
                    capture_[channels * c] = toSample(ref);
                capture_[channels * c + 1 + m] = toSample(in);
            }
        });
    }
}

const std::vector<float>& SimAudioSystem::noiseTable()
{
    if (noiseTable_.empty()) {
        std::mt19937 rng(options_.seed);
        std::normal_distribution<double> gauss(0.0, 1.0);
        noiseTable_.resize(kNoiseTableSize);
        for (float& x : noiseTable_)
            x = static_cast<float>(gauss(rng));
    }
    return noiseTable_;
}

const SimAudioSystem::BinTable& SimAudioSystem::binTable(int rate)
{
    if (bins_ && bins_->rate == rate)
        return *bins_;
    auto t = std::make_unique<BinTable>();
    t->rate = rate;
    const std::size_t n = kFftSize / 2 + 1;
    t->hz.resize(n);
    t->k.resize(n);
    t->filters.resize(n);
    t->distance.resize(n);
    const double binHz = static_cast<double>(rate) / static_cast<double>(kFftSize);
    for (std::size_t i = 0; i < n; ++i) {
        t->hz[i] = static_cast<double>(i) * binHz;
        t->k[i] = loudspeaker_.wavenumber(t->hz[i]);
        t->filters[i] = loudspeaker_.filters(t->hz[i]);
        t->distance[i] = VirtualLoudspeaker::distanceFactor(t->k[i], options_.distance);
    }
    bins_ = std::move(t);
    return *bins_;
}

const SimAudioSystem::DirectivityTable& SimAudioSystem::directivityTable(int rate, double sinT)
{
    for (const auto& d : directivities_)
        if (d->rate == rate && d->sinT == sinT)
            return *d;
    const BinTable& bins = binTable(rate);
    auto d = std::make_unique<DirectivityTable>();
    d->rate = rate;
    d->sinT = sinT;
    d->woofer.resize(bins.k.size());
    d->tweeter.resize(bins.k.size());
    const LoudspeakerDesign& design = loudspeaker_.design();
    for (std::size_t i = 0; i < bins.k.size(); ++i) {
        d->woofer[i] = pistonDirectivity(bins.k[i] * design.woofer.radius * sinT);
        d->tweeter[i] = pistonDirectivity(bins.k[i] * design.tweeter.radius * sinT);
    }
    if (directivities_.size() >= kDirectivityTables)
        directivities_.erase(directivities_.begin());
    directivities_.push_back(std::move(d));
    return *directivities_.back();
}

const std::vector<float>& SimAudioSystem::playedSpectrum(std::size_t playFrames)
{
    bool same = playedRight_.size() == playFrames && !playedSpectrum_.empty();
    for (std::size_t p = 0; same && p < playFrames; ++p)
        same = playedRight_[p] == play_[2 * p + 1];
    if (same)
        return playedSpectrum_;
    playedRight_.resize(playFrames);
    playedSpectrum_.assign(2 * kFftSize, 0.0f);
    for (std::size_t p = 0; p < playFrames; ++p) {
        playedRight_[p] = play_[2 * p + 1];
        playedSpectrum_[2 * p] = static_cast<float>(play_[2 * p + 1] / kFullScale);
    }
    const ComplexFft fft(kFftOrder, kFftOrder);
    fft.fftForward(playedSpectrum_, static_cast<int>(kFftSize));
    if (options_.a2 != 0 || options_.a3 != 0)
        distort();
    return playedSpectrum_;
}

// g(x) = x + a2 x^2 + a3 x^3 on the played spectrum, at twice the rate: harmonics above the
// recording's Nyquist frequency fall outside its band there and are dropped, as the analogue
// loudspeaker's are by a real card's anti-alias filter, instead of folding back into the band.
void SimAudioSystem::distort()
{
    constexpr std::size_t kWide = 2 * kFftSize;
    constexpr std::size_t kHalf = kFftSize / 2;
    std::vector<float> wide(2 * kWide, 0.0f);
    // Interpolation: the band of the 2^19-point spectrum into the middle-free 2^20-point one.
    for (std::size_t k = 0; k < kHalf; ++k)
        for (int part = 0; part < 2; ++part) {
            wide[2 * k + static_cast<std::size_t>(part)] = 2 * playedSpectrum_[2 * k + static_cast<std::size_t>(part)];
            if (k > 0)
                wide[2 * (kWide - k) + static_cast<std::size_t>(part)] =
                    2 * playedSpectrum_[2 * (kFftSize - k) + static_cast<std::size_t>(part)];
        }
    const ComplexFft fft(kFftOrder + 1, kFftOrder + 1);
    fft.fftInverse(wide, static_cast<int>(kWide));
    for (std::size_t j = 0; j < kWide; ++j) {
        const double x = wide[2 * j];
        wide[2 * j] = static_cast<float>(x + options_.a2 * x * x + options_.a3 * x * x * x);
        wide[2 * j + 1] = 0.0f;
    }
    fft.fftForward(wide, static_cast<int>(kWide));
    std::fill(playedSpectrum_.begin(), playedSpectrum_.end(), 0.0f);
    for (std::size_t k = 0; k < kHalf; ++k)
        for (int part = 0; part < 2; ++part) {
            playedSpectrum_[2 * k + static_cast<std::size_t>(part)] = wide[2 * k + static_cast<std::size_t>(part)] / 2;
            if (k > 0)
                playedSpectrum_[2 * (kFftSize - k) + static_cast<std::size_t>(part)] =
                    wide[2 * (kWide - k) + static_cast<std::size_t>(part)] / 2;
        }
}

AudioStatus SimAudioSystem::resetOutput()
{
    out_.running = false;
    return kAudioOk;
}

AudioStatus SimAudioSystem::unprepareOutput()
{
    out_.running = false;
    out_.prepared = false;
    play_ = {};
    return kAudioOk;
}

AudioStatus SimAudioSystem::closeOutput()
{
    out_ = Device{};
    play_ = {};
    return kAudioOk;
}

AudioStatus SimAudioSystem::stopInput()
{
    in_.running = false;
    return kAudioOk;
}

AudioStatus SimAudioSystem::resetInput()
{
    in_.running = false;
    in_.queued = false;
    return kAudioOk;
}

AudioStatus SimAudioSystem::unprepareInput()
{
    (void)resetInput();
    in_.prepared = false;
    capture_ = {};
    return kAudioOk;
}

AudioStatus SimAudioSystem::closeInput()
{
    in_ = Device{};
    capture_ = {};
    return kAudioOk;
}

} // namespace vantrel
