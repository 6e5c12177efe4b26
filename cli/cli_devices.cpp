// vantrel-cli devices: the sound card's input and output device lists and the two device
// labels, as the measurement window shows them for the stored device ids.

#include <cstdio>
#include <sstream>
#include <string>

#include "cli/cli_command.h"
#include "mls/sound_card.h"
#include "platform/headless/headless_platform.h"
#include "platform/portaudio/portaudio_system.h"

namespace vantrel {
namespace {

int run()
{
    std::ostringstream events;
    HeadlessPlatform platform(events);
    SilentWindowClient client;
    WindowHost& window = platform.createWindow(kSoundCardWindow, client, nullptr, false);
    PortAudioSystem audio;
    MlsSettings settings;
    std::int32_t none[2] = {};
    SoundCard card(window, audio, settings, platform.log(), {{}, none, none}, {});
    card.fillDeviceLists();

    for (const bool input : {true, false}) {
        const int list = input ? kInputDeviceList : kOutputDeviceList;
        std::printf("%s devices (%d):\n", input ? "Input" : "Output", window.listCount(list));
        for (int i = 0; i < window.listCount(list); ++i)
            std::printf("  %c %s\n", window.listSelection(list) == i ? '*' : ' ', window.listItem(list, i).c_str());
        std::printf("  %s: %s\n", input ? "Input" : "Output",
                    window.text(input ? kInputDeviceLabel : kOutputDeviceLabel).c_str());
    }
    return 0;
}

std::function<int()> setupDevices(CLI::App&) { return run; }

const CliRegistration registration({"devices", "The sound card's input and output devices as the measurement window lists them",
                                    setupDevices});

} // namespace
} // namespace vantrel
