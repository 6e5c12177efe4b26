#pragma once
// The simulated rig's sound card: one input and one output device, "Simulated Rig". When a
// measurement starts it records what a real rig would: REF is the played left channel through
// the amplifier loop-back (a few frames late, unity gain, a little noise); IN is the played
// right channel through the virtual loudspeaker at the turntables' angles to a microphone at a
// distance (delay r/c, level 1/r), plus microphone noise. The capture starts leadFrames before
// the playback, as on a real card. Completions come on the session's clock after the capture's
// and the playback's duration, as events of their own on the user-interface thread.

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "platform/audio_system.h"
#include "platform/clock.h"
#include "platform/sim/loudspeaker.h"
#include "platform/sim/rig_angles.h"
#include "platform/sim/sim_arc.h"
#include "platform/sim/sim_paths.h"

namespace vantrel {

class AlignedFloats;

struct SimAudioOptions {
    int leadFrames = 384;        // capture frames recorded before the first played frame
    int loopbackDelay = 3;       // frames from the output to the REF input
    double distance = 2.0;       // m, loudspeaker to microphone
    double refNoise = 3e-6;      // rms, fraction of full scale
    double micNoise = 3e-5;      // rms, fraction of full scale
    std::uint32_t seed = 1;      // with the angles of the point, seeds the noise of a recording
    // The amplifier and motor's distortion: y = x + a2 x^2 + a3 x^3 (x as a fraction of full
    // scale) in front of the loudspeaker's linear model; 0, 0 is linear, bit for bit.
    double a2 = 0, a3 = 0;
    // Rehearsed faults, counting measurements (input opens) from 1; 0 is never.
    int errorAtMeasurement = 0;  // that recording fails to open: kSimDeviceFault
    int hangAtMeasurement = 0;   // that recording and its playback never complete
    int playbackLagMs = 0;       // every playback reports its end this much late
    double nearFieldDistance = 0; // m from the woofer's cone on its axis; 0: the far field at distance
    LoudspeakerDesign loudspeaker;
    // The baffle centre's place relative to the rotation centre (m, the loudspeaker's frame:
    // +z its axis, +y up the baffle); zero: on the rotation centre, bit for bit the rig without.
    VirtualLoudspeaker::Offset mountOffset{};
    // Paths beside the direct one (a room's reflections) for the angles (hDeg, vDeg), summed
    // into IN; none: the anechoic rig, bit for bit. REF is electrical and takes none.
    std::function<std::vector<SimPath>(double hDeg, double vDeg)> extraPaths;
    // A microphone arc (sim_arc.h): the capture holds REF and then one channel per microphone,
    // each hearing the loudspeaker in its own direction with its own noise; empty: the one
    // microphone of IN, bit for bit.
    std::vector<SimArcMicrophone> arc;
    // Without an arc, the one microphone's errors (its angle is not used); none: a perfect one.
    std::optional<SimArcMicrophone> microphone;
};

// Failures of the simulated device (0 is success); errorText gives their texts.
enum SimAudioError : AudioStatus {
    kSimBadDevice = 1,
    kSimBadRate,
    kSimAlreadyOpen,
    kSimNotOpen,
    kSimNotPrepared,
    kSimBadBuffer,
    kSimDeviceFault,
};

class SimAudioSystem final : public AudioSystem {
public:
    SimAudioSystem(Clock& clock, const RigAngles& angles, SimAudioOptions options = {});
    ~SimAudioSystem() override;
    SimAudioSystem(const SimAudioSystem&) = delete;
    SimAudioSystem& operator=(const SimAudioSystem&) = delete;

    int inputDeviceCount() override { return 1; }
    int outputDeviceCount() override { return 1; }
    AudioStatus inputCaps(int id, AudioDeviceCaps& caps) override;
    AudioStatus outputCaps(int id, AudioDeviceCaps& caps) override;
    std::string errorText(AudioStatus status) override;

    AudioStatus openOutput(int id, int rate, WindowHost& window, AudioCompletion& completion) override;
    AudioStatus prepareOutput(std::span<const std::int32_t> interleaved) override;
    AudioStatus openInput(int id, int rate, WindowHost& window, AudioCompletion& completion) override;
    AudioStatus prepareInput(std::span<std::int32_t> interleaved) override;
    // The rig records what its arc has: REF and one channel per microphone.
    bool setInputChannels(int channels) override { return channels == captureChannels(); }
    AudioStatus queueInput() override;
    AudioStatus startInput() override;
    AudioStatus play() override;

    AudioStatus resetOutput() override;
    AudioStatus unprepareOutput() override;
    AudioStatus closeOutput() override;
    AudioStatus stopInput() override;
    AudioStatus resetInput() override;
    AudioStatus unprepareInput() override;
    AudioStatus closeInput() override;

    const VirtualLoudspeaker& loudspeaker() const { return loudspeaker_; }
    const SimAudioOptions& options() const { return options_; }
    // The transfer from the played right channel to the recorded IN channel at frequency hz for
    // the angles (hDeg, vDeg): the loudspeaker at the microphone distance, or its near field
    // when the microphone stands at the cone. Ground truth.
    std::complex<double> inTransfer(double hz, double hDeg, double vDeg) const;
    // The same for microphone m of the arc, with its errors, at the turntables' (hDeg, vDeg).
    std::complex<double> micTransfer(std::size_t m, double hz, double hDeg, double vDeg) const;
    // Recorded channels: REF and one per microphone.
    int captureChannels() const { return options_.arc.empty() ? 2 : 1 + static_cast<int>(options_.arc.size()); }
    // The turntable angles do not matter while the microphone stands at the cone.
    void microphoneAtCone(double d) override { options_.nearFieldDistance = d; }

private:
    struct Device {
        bool open = false, prepared = false, queued = false, running = false;
        int rate = 0;
        AudioCompletion* completion = nullptr;
    };

    // The loudspeaker's parts at every bin of the recording's transform, kept between
    // recordings: per rate what depends on the frequency alone, per rate and exact sin t the
    // two piston directivities (the Bessel functions), and the played channel's spectrum while
    // the play buffer stays the same. Each value is the one the model itself computes.
    struct BinTable {
        int rate = 0;
        std::vector<double> hz, k;
        std::vector<VirtualLoudspeaker::Filters> filters;
        std::vector<std::complex<double>> distance;
    };
    struct DirectivityTable {
        int rate = 0;
        double sinT = 0;
        std::vector<double> woofer, tweeter;
    };

    void record(bool withPlayback);
    // IN's signal for one microphone (nullptr: the rig's single one) into inSignal_.
    void computeIn(const SimArcMicrophone* mic);
    void schedule(std::chrono::milliseconds delay, bool output);
    const BinTable& binTable(int rate);
    const DirectivityTable& directivityTable(int rate, double sinT);
    const std::vector<float>& playedSpectrum(std::size_t playFrames);
    void distort();
    const std::vector<float>& noiseTable();

    Clock& clock_;
    const RigAngles& angles_;
    SimAudioOptions options_;
    VirtualLoudspeaker loudspeaker_;
    Device out_, in_;
    std::span<const std::int32_t> play_;
    std::span<std::int32_t> capture_;
    std::uint64_t measurement_ = 0; // counts starts; stale completions carry an older number
    bool recorded_ = false;         // the capture buffer holds this measurement's recording
    int attempts_ = 0;              // input opens, for the rehearsed faults
    std::shared_ptr<bool> alive_;   // completions outliving the device do nothing
    std::unique_ptr<AlignedFloats> inSignal_; // bins 0..N/2 of the recorded IN signal, then the signal
    std::unique_ptr<BinTable> bins_;
    std::vector<std::unique_ptr<DirectivityTable>> directivities_; // oldest first
    std::vector<std::int32_t> playedRight_; // the right channel whose spectrum is kept
    std::vector<float> playedSpectrum_;
    std::vector<float> noiseTable_; // unit normal values of the rig's seed
};

} // namespace vantrel
