// MpegFormatProbe on an input held as a file: the answer must not depend on whether a result is asked for, and an
// accepted file must really hold the frame header the result describes, and any information frame and tag it read.
#include "fuzz_file.h"
#include "stream/mpeg_format_probe.h"
#include "wave_checks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static fuzz::MemoryFile memoryFile;
    const FileHandle file = FileOpen(memoryFile.Hold(data, size));
    FUZZ_CHECK(file != 0);

    MpegProbeResult result;
    memset(&result, 0xA5, sizeof result);
    MpegProbeResult untouched;
    memset(&untouched, 0xA5, sizeof untouched);
    const BOOL accepted = MpegFormatProbe(file, &result);
    FUZZ_CHECK(MpegFormatProbe(file, nullptr) == accepted);
    FileClose(file);
    if (!accepted) {
        FUZZ_CHECK(memcmp(&result, &untouched, sizeof result) == 0);
        return 0;
    }
    // The probe acts only on bytes it read: the header lies wholly inside the file.
    FUZZ_CHECK(result.audioStart == result.leadingTagSize);
    FUZZ_CHECK(size >= 4 && result.audioStart <= size - 4);
    FUZZ_CHECK(result.headerWord == wave_checks::LoadU32(data + result.audioStart));
    FUZZ_CHECK((result.headerWord & 0xF0FF) == 0xF0FF);
    FUZZ_CHECK(result.tailTagSize == 0 || result.tailTagSize == 128);
    FUZZ_CHECK(result.audioLength == size - result.tailTagSize - result.audioStart);
    if (result.tailTagSize) FUZZ_CHECK(memcmp(data + size - 128, "TAG", 3) == 0);
    FUZZ_CHECK(result.format.wfx.wFormatTag == 0x55 && result.format.wfx.nChannels == 2);
    FUZZ_CHECK(result.format.wfx.nSamplesPerSec != 0);
    // An information frame is a whole frame inside the audio data, and its tag is trusted only when it fits.
    const MpegGaplessInfo& gapless = result.gapless;
    FUZZ_CHECK(gapless.infoFrameBytes <= result.audioLength);
    if (!gapless.infoFrameBytes) FUZZ_CHECK(!gapless.trimmable && gapless.frameCount == 0);
    if (gapless.infoFrameBytes) FUZZ_CHECK(memcmp(data + result.audioStart, "\xFF", 1) == 0);
    if (gapless.trimmable) {
        MpegFrameHeader header;
        FUZZ_CHECK(ReadMpegFrameHeader(data + result.audioStart, &header));
        FUZZ_CHECK(gapless.encoderDelay + gapless.encoderPadding <
                   static_cast<unsigned long long>(gapless.frameCount) * header.samples);
    }
    return 0;
}
