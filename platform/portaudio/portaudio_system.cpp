#include "platform/portaudio/portaudio_system.h"

#include <portaudio.h>
#include <pa_jack.h>
#include <jack/jack.h>
#include <alsa/asoundlib.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <mutex>
#include <semaphore>
#include <thread>
#include <vector>

#include "platform/window_host.h"

namespace vantrel {

namespace {

constexpr int kChannels = 2;
constexpr unsigned kOutputDone = 1;
constexpr unsigned kCaptureDone = 2;

int paCallback(const void* input, void* output, unsigned long frames, const PaStreamCallbackTimeInfo*,
               PaStreamCallbackFlags, void* user);

// While PortAudio probes every ALSA configuration and looks for a JACK server, the two
// libraries report each miss on stderr; an absent card or server is a normal state here, and
// the failures that matter come back as PortAudio results.
void quietAlsa(const char*, int, const char*, int, const char*, ...) {}
void quietJack(const char*) {}

} // namespace

struct PortAudioSystem::Impl {
    bool initialized = false;
    std::vector<PaDeviceIndex> inputs, outputs;

    // User-interface thread only.
    struct Half {
        bool open = false, prepared = false, queued = false, running = false;
        int rate = 0;
        PaStreamParameters params{};
        AudioCompletion* completion = nullptr;
    };
    Half out, in;
    PaStream* stream = nullptr;
    bool streamHasOutput = false;
    bool started = false;

    // Set before the stream starts, read by the callback.
    const std::int32_t* play = nullptr;
    long playFrames = 0;
    std::int32_t* capture = nullptr;
    long captureFrames = 0;
    int inChannels = kChannels; // REF and the microphones, interleaved in capture
    std::atomic<bool> captureArmed{false};
    std::atomic<bool> playArmed{false};

    // Callback only while the stream runs.
    long playPos = 0;      // frames handed to the device
    long capturePos = 0;   // frames recorded
    long framesSeen = 0;   // periods' frames since the stream started
    bool playing = false;

    std::atomic<long> recorded{0};
    std::atomic<long> playStart{-1};
    std::atomic<unsigned> done{0};

    // Relay: the callback only raises flags and releases the semaphore; this thread turns them
    // into posts onto the user-interface thread.
    std::counting_semaphore<> wake{0};
    std::atomic<bool> quit{false};
    std::mutex postMutex; // guards the windows and posted
    WindowHost* outWindow = nullptr;
    WindowHost* inWindow = nullptr;
    unsigned posted = 0;
    std::weak_ptr<Impl> self;
    std::thread relay;

    // The operator's reason for the last failure, shown below the error text of that status.
    std::string reason;
    PaError reasonFor = paNoError;

    PaError explain(PaError err, PaDeviceIndex device);

    void relayLoop();
    void deliver(unsigned flag);
    void resetShared();
    AudioStatus openStream(bool withInput, bool withOutput, int rate);
    AudioStatus closeStream();
    AudioStatus halt();
    void shutdown();
    AudioStatus deviceCaps(const std::vector<PaDeviceIndex>& list, int id, bool input, AudioDeviceCaps& caps) const;
    AudioStatus openHalf(Half& half, const std::vector<PaDeviceIndex>& list, int id, int rate, bool input);
};

namespace {

// Copies frames between the device and the two preallocated buffers; never allocates, locks
// or logs. Frames outside the buffers are silence.
int paCallback(const void* input, void* output, unsigned long frames, const PaStreamCallbackTimeInfo*,
               PaStreamCallbackFlags, void* user)
{
    auto& s = *static_cast<PortAudioSystem::Impl*>(user);
    const long n = static_cast<long>(frames);

    if (s.captureArmed.load(std::memory_order_acquire) && s.capturePos < s.captureFrames) {
        const long k = std::min(n, s.captureFrames - s.capturePos);
        const long channels = s.inChannels;
        std::int32_t* dst = s.capture + channels * s.capturePos;
        if (input)
            std::memcpy(dst, input, sizeof(std::int32_t) * static_cast<std::size_t>(channels * k));
        else
            std::memset(dst, 0, sizeof(std::int32_t) * static_cast<std::size_t>(channels * k));
        s.capturePos += k;
        s.recorded.store(s.capturePos, std::memory_order_release);
        if (s.capturePos == s.captureFrames) {
            s.done.fetch_or(kCaptureDone, std::memory_order_acq_rel);
            s.wake.release();
        }
    }

    if (output) {
        auto* out = static_cast<std::int32_t*>(output);
        long written = 0;
        if (!s.playing && s.playArmed.load(std::memory_order_acquire)) {
            s.playing = true;
            s.playStart.store(s.framesSeen, std::memory_order_release);
        }
        if (s.playing && s.playPos < s.playFrames) {
            written = std::min(n, s.playFrames - s.playPos);
            std::memcpy(out, s.play + kChannels * s.playPos, sizeof(std::int32_t) * kChannels * written);
            s.playPos += written;
            if (s.playPos == s.playFrames) {
                s.done.fetch_or(kOutputDone, std::memory_order_acq_rel);
                s.wake.release();
            }
        }
        std::memset(out + kChannels * written, 0, sizeof(std::int32_t) * kChannels * (n - written));
    }
    s.framesSeen += n;
    return paContinue;
}

} // namespace

void PortAudioSystem::Impl::relayLoop()
{
    for (;;) {
        wake.acquire();
        if (quit.load())
            return;
        // The flags are read under the lock: a new measurement clears them before it clears
        // posted, so stale flags can never mark the new measurement's completions as posted.
        std::lock_guard lock(postMutex);
        const unsigned flags = done.load(std::memory_order_acquire);
        for (unsigned flag : {kCaptureDone, kOutputDone}) {
            WindowHost* window = flag == kOutputDone ? outWindow : inWindow;
            if ((flags & flag) && !(posted & flag) && window) {
                posted |= flag;
                window->post([weak = self, flag] {
                    if (auto s = weak.lock())
                        s->deliver(flag);
                });
            }
        }
    }
}

// On the user-interface thread: a completion reaches the caller once, and only while its
// device is still open and running.
void PortAudioSystem::Impl::deliver(unsigned flag)
{
    if (!(done.load(std::memory_order_acquire) & flag))
        return;
    Half& half = flag == kOutputDone ? out : in;
    if (!half.running || !half.completion)
        return;
    half.running = false;
    if (flag == kOutputDone)
        half.completion->outputDone();
    else
        half.completion->captureDone(static_cast<std::size_t>(recorded.load()) * static_cast<std::size_t>(inChannels) *
                                     sizeof(std::int32_t));
}

// Keeps the reason for a failure of a PortAudio call on device; returns err.
PaError PortAudioSystem::Impl::explain(PaError err, PaDeviceIndex device)
{
    SoundCardFailure failure;
    failure.paError = err;
    const PaDeviceInfo* info = device >= 0 ? Pa_GetDeviceInfo(device) : nullptr;
    const PaHostApiInfo* api = info ? Pa_GetHostApiInfo(info->hostApi) : nullptr;
    if (info && info->name)
        failure.deviceName = info->name;
    if (api) {
        failure.hostApiType = api->type;
        // The host's code belongs to this failure only when the host reported one just now.
        const PaHostErrorInfo* host = Pa_GetLastHostErrorInfo();
        if (host && host->hostApiType == api->type &&
            (err == paUnanticipatedHostError || err == paDeviceUnavailable || err == paBadIODeviceCombination))
            failure.hostErrorCode = host->errorCode;
    }
    reason = soundCardFailureReason(failure);
    reasonFor = err;
    return err;
}

void PortAudioSystem::Impl::resetShared()
{
    captureArmed.store(false);
    playArmed.store(false);
    playPos = capturePos = framesSeen = 0;
    playing = false;
    recorded.store(0);
    playStart.store(-1);
    done.store(0);
    std::lock_guard lock(postMutex);
    posted = 0;
}

AudioStatus PortAudioSystem::Impl::openStream(bool withInput, bool withOutput, int rate)
{
    resetShared();
    PaStream* s = nullptr;
    const PaError err = Pa_OpenStream(&s, withInput ? &in.params : nullptr, withOutput ? &out.params : nullptr, rate,
                                      paFramesPerBufferUnspecified, paClipOff | paDitherOff, paCallback, this);
    if (err != paNoError)
        return explain(err, withInput ? in.params.device : out.params.device);
    stream = s;
    streamHasOutput = withOutput;
    started = false;
    return paNoError;
}

// Stops the stream at once (the callback has returned when this does) so that no buffer is
// touched any more.
AudioStatus PortAudioSystem::Impl::halt()
{
    if (!stream || !started)
        return paNoError;
    started = false;
    const PaError err = Pa_AbortStream(stream);
    return err == paStreamIsStopped ? paNoError : err;
}

AudioStatus PortAudioSystem::Impl::closeStream()
{
    if (!stream)
        return paNoError;
    PaError err = paNoError;
    if (started) {
        started = false;
        err = Pa_StopStream(stream);
        if (err == paStreamIsStopped)
            err = paNoError;
    }
    const PaError closeErr = Pa_CloseStream(stream);
    stream = nullptr;
    return err != paNoError ? err : closeErr;
}

void PortAudioSystem::Impl::shutdown()
{
    {
        std::lock_guard lock(postMutex);
        outWindow = inWindow = nullptr;
    }
    out = Half{};
    in = Half{};
    if (stream) {
        halt();
        Pa_CloseStream(stream);
        stream = nullptr;
    }
    quit.store(true);
    wake.release();
    if (relay.joinable())
        relay.join();
    if (initialized)
        Pa_Terminate();
    initialized = false;
}

AudioStatus PortAudioSystem::Impl::deviceCaps(const std::vector<PaDeviceIndex>& list, int id, bool input,
                                              AudioDeviceCaps& caps) const
{
    if (id < 0 || id >= static_cast<int>(list.size()))
        return paInvalidDevice;
    const PaDeviceInfo* info = Pa_GetDeviceInfo(list[static_cast<std::size_t>(id)]);
    if (!info)
        return paInvalidDevice;
    const PaHostApiInfo* api = Pa_GetHostApiInfo(info->hostApi);
    caps.name = info->name ? info->name : "";
    if (api && api->name)
        caps.name += std::string(" (") + api->name + ")";
    caps.channels = input ? info->maxInputChannels : info->maxOutputChannels;
    return paNoError;
}

AudioStatus PortAudioSystem::Impl::openHalf(Half& half, const std::vector<PaDeviceIndex>& list, int id, int rate,
                                            bool input)
{
    if (!initialized)
        return paNotInitialized;
    if (half.open)
        return paDeviceUnavailable;
    if (inputs.empty() && outputs.empty())
        return explain(paInvalidDevice, paNoDevice);
    if (id < 0 || id >= static_cast<int>(list.size()))
        return paInvalidDevice;
    const PaDeviceIndex device = list[static_cast<std::size_t>(id)];
    const PaDeviceInfo* info = Pa_GetDeviceInfo(device);
    if (!info)
        return paInvalidDevice;
    const int channels = input ? inChannels : kChannels;
    if ((input ? info->maxInputChannels : info->maxOutputChannels) < channels)
        return paInvalidChannelCount;
    PaStreamParameters params{};
    params.device = device;
    params.channelCount = channels;
    params.sampleFormat = paInt32; // 24 valid bits, left-justified
    params.suggestedLatency = input ? info->defaultHighInputLatency : info->defaultHighOutputLatency;
    const PaError err = Pa_IsFormatSupported(input ? &params : nullptr, input ? nullptr : &params, rate);
    if (err != paFormatIsSupported)
        return explain(err, device);
    half = Half{};
    half.params = params;
    half.rate = rate;
    half.open = true;
    return paNoError;
}

std::string soundCardFailureReason(const SoundCardFailure& f)
{
    if (f.hostApiType == -1)
        return f.paError == paInvalidDevice ? "No sound device was found: no sound card, and no sound server (PipeWire, "
                                              "JACK) was running when Vantrel started."
                                            : std::string();
    const std::string_view name = f.deviceName;
    const bool serverDevice = name.starts_with("pipewire") || name.starts_with("pulse") || name.starts_with("jack") ||
                              name == "default" || name == "sysdefault";
    const std::string serverAbsent = "The sound server does not answer: PipeWire (or PulseAudio) is not running for "
                                     "this user. Start it, or choose the sound card's own device (hw:...).";
    if (f.hostApiType == paJACK) {
        switch (f.paError) {
        case paUnanticipatedHostError:
        case paDeviceUnavailable:
        case paInternalError:
        case paTimedOut:
            return "The JACK server does not answer: it has stopped since Vantrel started. Start it again (jackd, or "
                   "PipeWire's JACK service) and restart Vantrel.";
        default:
            return {};
        }
    }
    if (f.hostApiType != paALSA)
        return {};
    switch (-f.hostErrorCode) {
    case EBUSY:
        return "The sound card is busy: another program holds it. Close that program, or measure through the sound "
               "server (the \"pipewire\" or \"default\" device).";
    case EACCES:
    case EPERM:
        return "No permission for the sound card: the user must be in the group \"audio\" (sudo adduser $USER audio, "
               "then log in again).";
    case ECONNREFUSED:
    case EHOSTDOWN:
    case ECONNRESET:
        return serverAbsent;
    case ENOENT:
    case EIO:
        return serverDevice ? serverAbsent : std::string();
    case ENODEV:
    case ENXIO:
        return "The sound card is not there any more (unplugged or switched off).";
    default:
        return {};
    }
}

PortAudioSystem::PortAudioSystem() : impl_(std::make_shared<Impl>())
{
    Impl& s = *impl_;
    s.self = impl_;
    snd_lib_error_set_handler(quietAlsa);
    jack_set_error_function(quietJack);
    jack_set_info_function(quietJack);
    PaJack_SetClientName("Vantrel");
    s.initialized = Pa_Initialize() == paNoError;
    if (s.initialized) {
        const PaDeviceIndex count = Pa_GetDeviceCount();
        for (PaDeviceIndex i = 0; i < count; ++i) {
            const PaDeviceInfo* info = Pa_GetDeviceInfo(i);
            if (!info)
                continue;
            if (info->maxInputChannels > 0)
                s.inputs.push_back(i);
            if (info->maxOutputChannels > 0)
                s.outputs.push_back(i);
        }
    }
    s.relay = std::thread([&s] { s.relayLoop(); });
}

PortAudioSystem::~PortAudioSystem() { impl_->shutdown(); }

int PortAudioSystem::inputDeviceCount() { return static_cast<int>(impl_->inputs.size()); }
int PortAudioSystem::outputDeviceCount() { return static_cast<int>(impl_->outputs.size()); }

AudioStatus PortAudioSystem::inputCaps(int id, AudioDeviceCaps& caps)
{
    return impl_->deviceCaps(impl_->inputs, id, true, caps);
}

AudioStatus PortAudioSystem::outputCaps(int id, AudioDeviceCaps& caps)
{
    return impl_->deviceCaps(impl_->outputs, id, false, caps);
}

std::string PortAudioSystem::errorText(AudioStatus status)
{
    std::string text = Pa_GetErrorText(status);
    if (status == impl_->reasonFor && !impl_->reason.empty())
        text.append("\n").append(impl_->reason);
    return text;
}

AudioStatus PortAudioSystem::openOutput(int id, int rate, WindowHost& window, AudioCompletion& completion)
{
    Impl& s = *impl_;
    s.reason.clear(); // a new measurement: earlier reasons are stale
    s.reasonFor = paNoError;
    if (s.stream)
        return paDeviceUnavailable;
    const AudioStatus err = s.openHalf(s.out, s.outputs, id, rate, false);
    if (err != paNoError)
        return err;
    s.out.completion = &completion;
    std::lock_guard lock(s.postMutex);
    s.outWindow = &window;
    return paNoError;
}

AudioStatus PortAudioSystem::prepareOutput(std::span<const std::int32_t> interleaved)
{
    Impl& s = *impl_;
    if (!s.out.open)
        return paBadStreamPtr;
    if (s.out.running)
        return paStreamIsNotStopped;
    if (interleaved.size() < kChannels)
        return paBadBufferPtr;
    s.play = interleaved.data();
    s.playFrames = static_cast<long>(interleaved.size() / kChannels);
    s.out.prepared = true;
    return paNoError;
}

AudioStatus PortAudioSystem::openInput(int id, int rate, WindowHost& window, AudioCompletion& completion)
{
    Impl& s = *impl_;
    if (s.stream)
        return paDeviceUnavailable;
    if (s.out.open && s.out.rate != rate)
        return paInvalidSampleRate;
    AudioStatus err = s.openHalf(s.in, s.inputs, id, rate, true);
    if (err != paNoError)
        return err;
    err = s.openStream(true, s.out.open, rate);
    if (err != paNoError) {
        s.in = Impl::Half{};
        return err;
    }
    s.in.completion = &completion;
    std::lock_guard lock(s.postMutex);
    s.inWindow = &window;
    return paNoError;
}

bool PortAudioSystem::setInputChannels(int channels)
{
    Impl& s = *impl_;
    if (s.in.open || channels < kChannels || channels > kMaxInputChannels)
        return false;
    s.inChannels = channels;
    return true;
}

AudioStatus PortAudioSystem::prepareInput(std::span<std::int32_t> interleaved)
{
    Impl& s = *impl_;
    if (!s.in.open)
        return paBadStreamPtr;
    if (s.in.running || s.in.queued)
        return paStreamIsNotStopped;
    if (interleaved.size() < static_cast<std::size_t>(s.inChannels))
        return paBadBufferPtr;
    s.capture = interleaved.data();
    s.captureFrames = static_cast<long>(interleaved.size() / static_cast<std::size_t>(s.inChannels));
    s.in.prepared = true;
    return paNoError;
}

AudioStatus PortAudioSystem::queueInput()
{
    Impl& s = *impl_;
    if (!s.in.open)
        return paBadStreamPtr;
    if (!s.in.prepared)
        return paBadBufferPtr;
    s.in.queued = true;
    s.captureArmed.store(true, std::memory_order_release);
    return paNoError;
}

AudioStatus PortAudioSystem::startInput()
{
    Impl& s = *impl_;
    if (!s.in.open || !s.stream)
        return paBadStreamPtr;
    if (!s.in.queued)
        return paBadBufferPtr;
    if (s.started)
        return paStreamIsNotStopped;
    const PaError err = Pa_StartStream(s.stream);
    if (err != paNoError)
        return s.explain(err, s.in.params.device);
    s.started = true;
    s.in.running = true;
    return paNoError;
}

AudioStatus PortAudioSystem::play()
{
    Impl& s = *impl_;
    if (!s.out.open)
        return paBadStreamPtr;
    if (!s.out.prepared)
        return paBadBufferPtr;
    if (s.out.running)
        return paStreamIsNotStopped;
    if (!s.stream) {
        // Playback without a capture: a stream of its own.
        const AudioStatus err = s.openStream(false, true, s.out.rate);
        if (err != paNoError)
            return err;
    } else if (!s.streamHasOutput) {
        return paCanNotWriteToAnInputOnlyStream;
    }
    s.playArmed.store(true, std::memory_order_release);
    if (!s.started) {
        const PaError err = Pa_StartStream(s.stream);
        if (err != paNoError) {
            s.playArmed.store(false);
            return s.explain(err, s.out.params.device);
        }
        s.started = true;
    }
    s.out.running = true;
    return paNoError;
}

AudioStatus PortAudioSystem::resetOutput()
{
    Impl& s = *impl_;
    if (s.out.running && !(s.done.load() & kOutputDone)) {
        s.out.running = false;
        return s.halt();
    }
    return paNoError;
}

AudioStatus PortAudioSystem::unprepareOutput()
{
    Impl& s = *impl_;
    if (!s.out.prepared)
        return paNoError;
    AudioStatus err = resetOutput();
    s.out.prepared = false;
    return err;
}

AudioStatus PortAudioSystem::closeOutput()
{
    Impl& s = *impl_;
    if (!s.out.open)
        return paNoError;
    AudioStatus err = unprepareOutput();
    s.out = Impl::Half{};
    {
        std::lock_guard lock(s.postMutex);
        s.outWindow = nullptr;
    }
    if (!s.in.open) {
        const AudioStatus closeErr = s.closeStream();
        if (err == paNoError)
            err = closeErr;
    }
    return err;
}

AudioStatus PortAudioSystem::stopInput()
{
    Impl& s = *impl_;
    if (s.in.running && !(s.done.load() & kCaptureDone)) {
        s.in.running = false;
        return s.halt();
    }
    return paNoError;
}

AudioStatus PortAudioSystem::resetInput()
{
    Impl& s = *impl_;
    s.captureArmed.store(false, std::memory_order_release);
    if (s.in.queued && !(s.done.load() & kCaptureDone) && s.started)
        return s.halt();
    return paNoError;
}

AudioStatus PortAudioSystem::unprepareInput()
{
    Impl& s = *impl_;
    if (!s.in.prepared)
        return paNoError;
    const AudioStatus err = resetInput();
    s.in.prepared = false;
    s.in.queued = false;
    return err;
}

AudioStatus PortAudioSystem::closeInput()
{
    Impl& s = *impl_;
    if (!s.in.open)
        return paNoError;
    AudioStatus err = unprepareInput();
    s.in = Impl::Half{};
    {
        std::lock_guard lock(s.postMutex);
        s.inWindow = nullptr;
    }
    // A playback still under way keeps the shared stream; closing the output ends it.
    if (!s.out.running || !s.out.open) {
        const AudioStatus closeErr = s.closeStream();
        if (err == paNoError)
            err = closeErr;
    }
    return err;
}

long PortAudioSystem::playbackStartFrame() const { return impl_->playStart.load(); }

bool PortAudioSystem::wireJackLoopBack(std::string& error)
{
    const char* ownName = nullptr;
    if (!impl_->stream || PaJack_GetClientName(&ownName) != paNoError || !ownName) {
        error = "no JACK stream is open";
        return false;
    }
    jack_status_t status{};
    jack_client_t* client = jack_client_open("Vantrel wiring", JackNoStartServer, &status);
    if (!client) {
        error = "cannot reach the JACK server";
        return false;
    }
    const std::string pattern = std::string("^") + ownName + ":";
    const char** outs = jack_get_ports(client, pattern.c_str(), nullptr, JackPortIsOutput);
    const char** ins = jack_get_ports(client, pattern.c_str(), nullptr, JackPortIsInput);
    int wired = 0;
    for (int k = 0; outs && ins && outs[k] && ins[k]; ++k) {
        jack_port_t* out = jack_port_by_name(client, outs[k]);
        jack_port_t* in = jack_port_by_name(client, ins[k]);
        if (const char** peers = jack_port_get_all_connections(client, out)) {
            for (int j = 0; peers[j]; ++j)
                jack_disconnect(client, outs[k], peers[j]);
            jack_free(peers);
        }
        if (const char** peers = jack_port_get_all_connections(client, in)) {
            for (int j = 0; peers[j]; ++j)
                jack_disconnect(client, peers[j], ins[k]);
            jack_free(peers);
        }
        if (jack_connect(client, outs[k], ins[k]) == 0)
            ++wired;
    }
    if (outs)
        jack_free(outs);
    if (ins)
        jack_free(ins);
    jack_client_close(client);
    if (wired < kChannels) {
        error = "wired " + std::to_string(wired) + " of " + std::to_string(kChannels) + " port pairs of " + ownName;
        return false;
    }
    return true;
}

} // namespace vantrel
