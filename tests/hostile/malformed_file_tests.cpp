// Files and images whose size fields lie, files that are not files, and names no file has: every reader answers
// its failure value or takes only the bytes that are there.
#include <sys/stat.h>

#include <memory>
#include <string>

#include "hostile_inputs.h"
#include "render_session.h"
#include "stream/decode_stream.h"
#include "stream/mpeg_format_probe.h"
#include "wave/chunk_search.h"
#include "wave/wave_image.h"

using namespace hostile;
using namespace wave_bytes;

namespace {

struct ImageFree {
    void operator()(WaveImage* image) const { FreeWaveImage(image); }
};
using ImageHolder = std::unique_ptr<WaveImage, ImageFree>;

Bytes Header(const char* tag, uint32_t size) {
    Bytes out;
    AppendTag(out, tag);
    AppendU32(out, size);
    return out;
}

// RIFF, then a "fmt " header claiming `formatSize` before 16 PCM bytes, then a "data" header claiming `dataSize`
// before `samples`.
Bytes LyingWave(uint32_t formatSize, uint32_t dataSize, const Bytes& samples) {
    Bytes out;
    AppendTag(out, "RIFF");
    AppendU32(out, 0);
    AppendTag(out, "WAVE");
    Append(out, Header("fmt ", formatSize));
    Append(out, FormatBody());
    Append(out, Header("data", dataSize));
    Append(out, samples);
    return out;
}

std::vector<int16_t> SamplesThenSilence(const Bytes& bytes, size_t totalSamples) {
    std::vector<int16_t> samples(totalSamples, 0);
    for (size_t i = 0; i < bytes.size() / 4 * 2; ++i)
        samples[i] = static_cast<int16_t>(bytes[2 * i] | bytes[2 * i + 1] << 8);
    return samples;
}

class MalformedFileTest : public RenderSession {
  protected:
    void RegisterResource(const Bytes& bytes) {
        posix_win32::ClearRegisteredResourceTables();
        resource_ = bytes;
        table_[0] = {"LIAR", "WAVE", resource_.data(), resource_.size()};
        table_[1] = {};
        posix_win32::RegisterResourceTable(table_);
    }
    ImageHolder FromResource(const Bytes& bytes) {
        RegisterResource(bytes);
        return ImageHolder(WaveImageFromResource(nullptr, "LIAR"));
    }
    // The image ends at an unreadable page, so a reader that takes a byte past it faults.
    ImageHolder FromGuardedMemory(const Bytes& bytes) {
        memory_ = std::make_unique<GuardedMemory>(bytes.size());
        return ImageHolder(WaveImageFromMemory(memory_->PlaceAtEnd(bytes)));
    }

    // Every path that takes a name refuses it.
    static void ExpectEveryNamedOpenFails(const char* path) {
        EXPECT_EQ(ImageHolder(WaveImageFromFile(path)), nullptr);
        EXPECT_EQ(DecodeStreamOpen(path, kStreamMs, nullptr), nullptr);
        EXPECT_EQ(ZRVA_Open(0, path, nullptr, 0), 0u);
        EXPECT_EQ(ZRVA_Open(0, path, nullptr, kStreamMs), 0u);
    }

    Bytes resource_;
    posix_win32::ResourceEntry table_[2] = {};
    std::unique_ptr<GuardedMemory> memory_;
};

TEST_F(MalformedFileTest, DataSizeOfAllOnesIsRefusedByTheFileAndCutToWhatIsThereElsewhere) {
    const Bytes samples = Samples(100, 9);
    const Bytes wave = LyingWave(16, 0xFFFFFFFF, samples);
    TemporaryFile file(wave);
    EXPECT_EQ(ImageHolder(WaveImageFromFile(file.path())), nullptr);
    EXPECT_EQ(ZRVA_Open(0, file.path(), nullptr, 0), 0u);

    const ImageHolder fromResource = FromResource(wave);
    ASSERT_NE(fromResource, nullptr);
    EXPECT_EQ(fromResource->header.dataSize, samples.size());
    EXPECT_EQ(Bytes(fromResource->samples, fromResource->samples + samples.size()), samples);
    // A memory image carries no length: one whose "data" claims 4 GiB is no complete image, and the reader
    // cannot tell, so it is not offered here.

    EXPECT_EQ(PlayStreamOnce(file.path()), SamplesThenSilence(samples, kPrefilledFrames * kChannels));
}

TEST_F(MalformedFileTest, FormatSizeZeroFailsInTheFileAndStreamButNotWhereTheSizeIsNotRead) {
    const Bytes samples = Samples(64, 5);
    const Bytes wave = LyingWave(0, static_cast<uint32_t>(samples.size()), samples);
    TemporaryFile file(wave);
    EXPECT_EQ(ImageHolder(WaveImageFromFile(file.path())), nullptr);
    // The stream takes the body as its size says: no bytes, so no format tag the compression manager knows.
    EXPECT_EQ(ZRVA_Open(0, file.path(), nullptr, kStreamMs), 0u);
    EXPECT_NE(FromResource(wave), nullptr);
    const ImageHolder fromMemory = FromGuardedMemory(wave);
    ASSERT_NE(fromMemory, nullptr);
    EXPECT_EQ(Bytes(fromMemory->samples, fromMemory->samples + fromMemory->header.dataSize), samples);
}

TEST_F(MalformedFileTest, FormatSizeOfAllOnesPassesTheStaticReadersAndFailsTheStream) {
    const Bytes samples = Samples(64, 7);
    const Bytes wave = LyingWave(0xFFFFFFFF, static_cast<uint32_t>(samples.size()), samples);
    TemporaryFile file(wave);
    const ImageHolder fromFile(WaveImageFromFile(file.path()));
    ASSERT_NE(fromFile, nullptr);
    EXPECT_EQ(Bytes(fromFile->samples, fromFile->samples + fromFile->header.dataSize), samples);
    EXPECT_NE(FromResource(wave), nullptr);
    EXPECT_NE(FromGuardedMemory(wave), nullptr);
    // The whole body cannot be read, so there is no source format.
    const FileHandle handle = FileOpen(file.path());
    EXPECT_EQ(ReadFormatChunk(handle), nullptr);
    FileClose(handle);
    EXPECT_EQ(ZRVA_Open(0, file.path(), nullptr, kStreamMs), 0u);
}

TEST_F(MalformedFileTest, LeadingTagLargerThanTheFileIsNoMpegAndNoWave) {
    const Bytes frame = {0xFF, 0xFB, 0x90, 0x04};
    for (const Bytes& size : {Bytes{0x7F, 0x7F, 0x7F, 0x7F}, Bytes{0x00, 0x00, 0x00, 0x10}}) {
        Bytes file = {'I', 'D', '3', 4, 0, 0};
        Append(file, size);
        Append(file, frame);
        file.resize(20, 0);
        TemporaryFile scratch(file);
        const FileHandle handle = FileOpen(scratch.path());
        ASSERT_NE(handle, 0);
        MpegProbeResult probe;
        EXPECT_FALSE(MpegFormatProbe(handle, &probe));
        FileClose(handle);
        EXPECT_EQ(ZRVA_Open(0, scratch.path(), nullptr, kStreamMs), 0u);
    }
}

TEST_F(MalformedFileTest, EmptyFileFailsEveryReader) {
    TemporaryFile file(Bytes{});
    ExpectEveryNamedOpenFails(file.path());
    const FileHandle handle = FileOpen(file.path());
    ASSERT_NE(handle, 0);
    ChunkHeader chunk;
    WaveImageHeader header;
    EXPECT_FALSE(FindChunk(handle, "data", &chunk));
    EXPECT_FALSE(ReadWaveFileHeader(handle, &header));
    EXPECT_FALSE(MpegFormatProbe(handle, nullptr));
    EXPECT_EQ(ReadFormatChunk(handle), nullptr);
    FileClose(handle);
    EXPECT_EQ(FromResource(Bytes{}), nullptr);
}

TEST_F(MalformedFileTest, DirectoryIsNoFile) {
    char pattern[] = "/tmp/zorva-hostile-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    EXPECT_EQ(FileOpen(pattern), 0);
    ExpectEveryNamedOpenFails(pattern);
    rmdir(pattern);
}

TEST_F(MalformedFileTest, MissingAndOverlongPathsFailEveryReader) {
    ExpectEveryNamedOpenFails("/nonexistent-directory/no-such-sound.wav");
    const std::string overlong = "/tmp/" + std::string(5000, 'a') + ".wav";
    ExpectEveryNamedOpenFails(overlong.c_str());
    EXPECT_EQ(FileOpen(overlong.c_str()), 0);
}

TEST_F(MalformedFileTest, MemoryImageOfJustTheTwoChunksPlays) {
    std::vector<int16_t> ramp(400);
    for (size_t i = 0; i < ramp.size(); ++i)
        ramp[i] = static_cast<int16_t>(i * 11 - 2000);
    const Bytes data(reinterpret_cast<const uint8_t*>(ramp.data()),
                     reinterpret_cast<const uint8_t*>(ramp.data() + ramp.size()));
    Bytes image = Chunk("fmt ", FormatBody());
    Append(image, Chunk("data", data));
    GuardedMemory memory(image.size());
    ASSERT_EQ(ZRVA_Open(0, nullptr, memory.PlaceAtEnd(image), 0), 1u);
    ASSERT_EQ(ZRVA_Play(0, 0, 0), 1u);
    std::vector<int16_t> expected = ramp;
    expected.resize(ramp.size() + 100 * kChannels, 0);
    EXPECT_EQ(Render(ramp.size() / kChannels + 100), expected);
}

} // namespace
