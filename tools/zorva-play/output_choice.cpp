#include "output_choice.h"

#include <dirent.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <string>

namespace {

bool Exists(const std::string& path) { return access(path.c_str(), F_OK) == 0; }

// A PulseAudio or PipeWire server of this user.
bool SoundServerPresent() {
    if (getenv("PULSE_SERVER")) return true;
    const char* runtime = getenv("XDG_RUNTIME_DIR");
    const std::string folder = runtime ? runtime : "/run/user/" + std::to_string(getuid());
    return Exists(folder + "/pulse/native") || Exists(folder + "/pipewire-0");
}

// An ALSA playback device ("pcmC0D0p").
bool SoundCardPresent() {
    DIR* devices = opendir("/dev/snd");
    if (!devices) return false;
    bool found = false;
    while (const dirent* entry = readdir(devices)) {
        const size_t length = strlen(entry->d_name);
        if (strncmp(entry->d_name, "pcmC", 4) == 0 && length > 4 && entry->d_name[length - 1] == 'p') found = true;
    }
    closedir(devices);
    return found;
}

} // namespace

bool ChooseFileOutputWithoutSoundDevice(const char* fallbackFile) {
    // A user who chose an output or an SDL driver knows better than this guess.
    if (getenv("ZORVA_OUTPUT") || getenv("SDL_AUDIODRIVER")) return false;
    if (SoundServerPresent() || SoundCardPresent()) return false;
    setenv("ZORVA_OUTPUT", (std::string("wav:") + fallbackFile).c_str(), 1);
    return true;
}
