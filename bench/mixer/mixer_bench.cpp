// Renders the same looping voices through our mixer and through OpenAL Soft's loopback device, like against like,
// and reports CPU seconds per output second and their ratio.
//
// Ours has one resampler, a band-limited sinc; OpenAL Soft's "Cubic" and its 23-tap band-limited sinc ("bsinc24")
// run beside it.
//
//   mixer_bench [SECONDS [ENGINE [VOICES [PITCH [OPENAL-RESAMPLER]]]]]
// SECONDS of output per run (default 60); the other arguments keep one engine ("ours", "openal"), voice count,
// pitch or OpenAL Soft resampler ("cubic", "bsinc24") only, for profiling; "all" or absence keeps every one.
#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

#include <memory>
#include <string>
#include <vector>

#include <AL/al.h>
#include <AL/alc.h>
#include <AL/alext.h>

#include "dsound/mixer/control_gains.h"
#include "dsound/mixer/mixer.h"

namespace {

constexpr uint32_t kRate = 44100;
constexpr size_t kBlockFrames = 441;
constexpr size_t kSourceFrames = kRate;

struct Scenario {
    int voices;
    double pitch;
    bool panned;
};

double ThreadCpuSeconds() {
    timespec now;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) * 1e-9;
}

// One second of a different chirp per voice, so no two voices read the same memory.
std::vector<std::vector<int16_t>> MakeSources(int count) {
    std::vector<std::vector<int16_t>> sources(count, std::vector<int16_t>(kSourceFrames));
    for (int v = 0; v < count; ++v)
        for (size_t i = 0; i < kSourceFrames; ++i)
            sources[v][i] = int16_t(lrint(2000 * sin(2 * M_PI * (200.0 + 10.0 * v) * double(i) / kRate)));
    return sources;
}

long PanOf(int voice, int count) { return count > 1 ? -8000 + 16000L * voice / (count - 1) : 0; }

double RunOurs(const Scenario& scenario, double seconds, const std::vector<std::vector<int16_t>>& sources) {
    posix_win32::Mixer mixer;
    std::vector<posix_win32::Voice> voices(scenario.voices);
    {
        std::lock_guard lock(mixer.ControlMutex());
        mixer.SetOutputFormat({kRate, 2, 16});
        for (int v = 0; v < scenario.voices; ++v) {
            posix_win32::Voice& voice = voices[v];
            voice.memory = reinterpret_cast<const uint8_t*>(sources[v].data());
            voice.frames = kSourceFrames;
            voice.frequency = uint32_t(lrint(kRate * scenario.pitch));
            voice.looping = true;
            voice.state = posix_win32::kStatePlaying;
            if (scenario.panned) {
                float left, right;
                posix_win32::PanToGains(PanOf(v, scenario.voices), &left, &right);
                voice.leftPanGain = left;
                voice.rightPanGain = right;
            }
            mixer.AddVoice(&voice);
        }
    }
    std::vector<int16_t> out(kBlockFrames * 2);
    size_t blocks = size_t(seconds * kRate / kBlockFrames);
    double start = ThreadCpuSeconds();
    for (size_t b = 0; b < blocks; ++b)
        mixer.Render(out.data(), kBlockFrames);
    return (ThreadCpuSeconds() - start) / seconds;
}

LPALCLOOPBACKOPENDEVICESOFT alcLoopbackOpenDevice;
LPALCRENDERSAMPLESSOFT alcRenderSamples;
LPALGETSTRINGISOFT alGetStringi;

ALint FindOpenAlResampler(const char* wanted) {
    ALint count = alGetInteger(AL_NUM_RESAMPLERS_SOFT);
    for (ALint i = 0; i < count; ++i)
        if (strstr(alGetStringi(AL_RESAMPLER_NAME_SOFT, i), wanted)) return i;
    fprintf(stderr, "OpenAL Soft has no %s resampler\n", wanted);
    exit(1);
}

double RunOpenAl(const Scenario& scenario, const char* resampler, double seconds,
                 const std::vector<std::vector<int16_t>>& sources) {
    ALCdevice* device = alcLoopbackOpenDevice(nullptr);
    const ALCint attributes[] = {ALC_FORMAT_CHANNELS_SOFT,
                                 ALC_STEREO_SOFT,
                                 ALC_FORMAT_TYPE_SOFT,
                                 ALC_SHORT_SOFT,
                                 ALC_FREQUENCY,
                                 ALCint(kRate),
                                 ALC_MONO_SOURCES,
                                 512,
                                 ALC_HRTF_SOFT,
                                 ALC_FALSE,
                                 0};
    ALCcontext* context = alcCreateContext(device, attributes);
    alcMakeContextCurrent(context);
    alDistanceModel(AL_NONE);
    ALint resamplerIndex = FindOpenAlResampler(resampler);
    std::vector<ALuint> buffers(scenario.voices), voices(scenario.voices);
    alGenBuffers(scenario.voices, buffers.data());
    alGenSources(scenario.voices, voices.data());
    for (int v = 0; v < scenario.voices; ++v) {
        alBufferData(buffers[v], AL_FORMAT_MONO16, sources[v].data(), ALsizei(kSourceFrames * 2), kRate);
        alSourcei(voices[v], AL_BUFFER, ALint(buffers[v]));
        alSourcei(voices[v], AL_LOOPING, AL_TRUE);
        alSourcef(voices[v], AL_PITCH, float(scenario.pitch));
        alSourcei(voices[v], AL_SOURCE_RESAMPLER_SOFT, resamplerIndex);
        alSourcei(voices[v], AL_SOURCE_RELATIVE, AL_TRUE);
        // Panned voices stand on an arc in front of the listener; unpanned ones at its centre.
        double angle = scenario.panned ? PanOf(v, scenario.voices) / 10000.0 * M_PI / 2 : 0.0;
        alSource3f(voices[v], AL_POSITION, float(sin(angle)), 0.0f, float(-cos(angle)));
    }
    alSourcePlayv(scenario.voices, voices.data());
    if (alGetError() != AL_NO_ERROR) {
        fprintf(stderr, "OpenAL Soft set-up failed\n");
        exit(1);
    }
    std::vector<int16_t> out(kBlockFrames * 2);
    size_t blocks = size_t(seconds * kRate / kBlockFrames);
    double start = ThreadCpuSeconds();
    for (size_t b = 0; b < blocks; ++b)
        alcRenderSamples(device, out.data(), ALCsizei(kBlockFrames));
    double cpu = (ThreadCpuSeconds() - start) / seconds;
    alSourceStopv(scenario.voices, voices.data());
    alDeleteSources(scenario.voices, voices.data());
    alDeleteBuffers(scenario.voices, buffers.data());
    alcMakeContextCurrent(nullptr);
    alcDestroyContext(context);
    alcCloseDevice(device);
    return cpu;
}

} // namespace

int main(int argc, char** argv) {
    double seconds = argc > 1 ? atof(argv[1]) : 60.0;
    auto argument = [&](int index) { return std::string(argc > index ? argv[index] : "all"); };
    std::string only = argument(2);
    std::string voiceFilter = argument(3), pitchFilter = argument(4), kindFilter = argument(5);
    alcLoopbackOpenDevice =
        reinterpret_cast<LPALCLOOPBACKOPENDEVICESOFT>(alcGetProcAddress(nullptr, "alcLoopbackOpenDeviceSOFT"));
    alcRenderSamples = reinterpret_cast<LPALCRENDERSAMPLESSOFT>(alcGetProcAddress(nullptr, "alcRenderSamplesSOFT"));
    alGetStringi = reinterpret_cast<LPALGETSTRINGISOFT>(alGetProcAddress("alGetStringiSOFT"));
    if (!alcLoopbackOpenDevice || !alcRenderSamples || !alGetStringi) {
        fprintf(stderr, "OpenAL Soft lacks the loopback or resampler extensions\n");
        return 1;
    }
    std::vector<std::vector<int16_t>> sources = MakeSources(256);
    struct OpenAlResampler {
        const char* name;
        const char* openAl; // a part of its name as OpenAL Soft lists it
    };
    const OpenAlResampler resamplers[] = {{"cubic", "Cubic"}, {"bsinc24", "23rd order Sinc"}};
    printf("%-8s %-6s %-7s %12s %8s %12s %7s\n", "voices", "pitch", "pan", "ours cpu/s", "openal", "openal cpu/s",
           "ratio");
    for (double pitch : {1.1, 1.0}) {
        if (pitchFilter != "all" && atof(pitchFilter.c_str()) != pitch) continue;
        for (int voices : {16, 64, 256}) {
            if (voiceFilter != "all" && atoi(voiceFilter.c_str()) != voices) continue;
            Scenario scenario = {voices, pitch, pitch == 1.0};
            const double ours = only == "openal" ? 0 : RunOurs(scenario, seconds, sources);
            for (const OpenAlResampler& resampler : resamplers) {
                if (kindFilter != "all" && kindFilter != resampler.name) continue;
                double openAl = only == "ours" ? 0 : RunOpenAl(scenario, resampler.openAl, seconds, sources);
                printf("%-8d %-6.1f %-7s %12.5f %8s %12.5f %7.3f\n", voices, pitch,
                       scenario.panned ? "spread" : "centre", ours, resampler.name, openAl,
                       openAl > 0 ? ours / openAl : 0.0);
                fflush(stdout);
            }
        }
    }
    return 0;
}
