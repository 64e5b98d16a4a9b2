// DecodeStreamOpen, reads of several sizes and rewinds on an input held as a file, through the compression
// manager's codecs (MPEG, PCM, IMA and MS ADPCM, G.711): whatever the file holds, every read stays within its
// count and the stream's own bookkeeping stays consistent.
#include <string.h>

#include <vector>

#include "fuzz_file.h"
#include "platform/system_library_binding.h"
#include "seams/message_box_seams.h"
#include "stream/decode_stream.h"

namespace {

// Output is cut off here, so that a tiny file that claims hours of audio still runs quickly.
constexpr LONG kMostBytesPerPass = 1 << 18;

void CheckInvariants(const DecodeStream* stream) {
    FUZZ_CHECK(stream->carryOver >= 0);
    FUZZ_CHECK(static_cast<DWORD>(stream->carryOver) <= stream->header.cbDstLengthUsed);
    FUZZ_CHECK(stream->header.cbDstLengthUsed <= stream->header.cbDstLength);
    FUZZ_CHECK(stream->header.cbSrcLength <= stream->sourceCapacity);
}

// The most source one read may take in while it delivers nothing: its bounded stretch of silent source, plus the
// conversion that crossed the bound.
DWORD MostSilentSource(const DecodeStream* stream) {
    const DWORD stretch = stream->sourceCapacity * 2 > 16384 ? stream->sourceCapacity * 2 : 16384;
    return stretch + stream->sourceCapacity;
}

// Reads in pieces of `piece` bytes until a short read or the cut-off; answers the bytes delivered.
LONG ReadPass(DecodeStream* stream, std::vector<BYTE>& buffer, LONG piece) {
    LONG total = 0;
    while (total < kMostBytesPerPass) {
        const LONG takenBefore = FileTell(stream->file);
        const LONG got = DecodeStreamRead(stream, buffer.data(), piece);
        FUZZ_CHECK(got >= 0 && got <= piece);
        // Damaged data that yields nothing is given up on within a bounded stretch, whatever the file's size.
        if (got == 0) FUZZ_CHECK(static_cast<DWORD>(FileTell(stream->file) - takenBefore) <= MostSilentSource(stream));
        CheckInvariants(stream);
        total += got;
        if (got < piece) break;
    }
    return total;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    posix_win32::SetMessageBoxHook([](HWND, const char*, const char*, UINT) { return IDOK; });
    return BindAcmLibrary() ? 0 : 1;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static fuzz::MemoryFile memoryFile;
    const char* path = memoryFile.Hold(data, size);
    // The last byte picks the conversion length, so short and long source buffers are both met.
    const DWORD lengthMs = size ? 10u + data[size - 1] * 4u : 100u;
    WAVEFORMATEX format;
    memset(&format, 0xA5, sizeof format);
    DecodeStream* stream = DecodeStreamOpen(path, lengthMs, &format);
    if (!stream) return 0;
    FUZZ_CHECK(memcmp(&format, stream->pcmFormat, sizeof format) == 0);
    FUZZ_CHECK(format.wFormatTag == WAVE_FORMAT_PCM && format.nBlockAlign != 0);

    std::vector<BYTE> buffer(70000);
    const LONG first = ReadPass(stream, buffer, 4096);
    // A read of no bytes changes nothing. Once the data has ended, or counted as ended, reads take nothing more
    // from the file.
    const LONG sourceRead = stream->sourceRead;
    FUZZ_CHECK(DecodeStreamRead(stream, buffer.data(), 0) == 0);
    FUZZ_CHECK(DecodeStreamRead(stream, buffer.data(), -1) == 0);
    if (first < kMostBytesPerPass && static_cast<DWORD>(sourceRead) >= stream->dataLength) {
        DecodeStreamRead(stream, buffer.data(), 4096);
        FUZZ_CHECK(stream->sourceRead == sourceRead);
    }
    FUZZ_CHECK(DecodeStreamRewind(stream, 0));
    CheckInvariants(stream);
    ReadPass(stream, buffer, 65537);
    FUZZ_CHECK(DecodeStreamRewind(stream, static_cast<DWORD>(size / 3)));
    ReadPass(stream, buffer, 333);
    FUZZ_CHECK(DecodeStreamRewind(stream, 0xFFFFFFF0u));
    ReadPass(stream, buffer, 4096);
    DecodeStreamClose(stream);
    return 0;
}
