// A valid WAVE and a valid MP3 cut at every header byte and at a dense sample of body offsets, through every open
// path: each open fails cleanly or yields exactly the bytes that are there.
#include <algorithm>
#include <memory>

#include "hostile_inputs.h"
#include "render_session.h"
#include "wave/wave_image.h"

using namespace hostile;
using namespace wave_bytes;

namespace {

constexpr size_t kWaveHeaderBytes = 44;
constexpr size_t kWaveDataBytes = 1000;
// Where the fixture's first frame header starts, behind its leading tag.
constexpr size_t kMp3AudioStart = 311;

struct ImageFree {
    void operator()(WaveImage* image) const { FreeWaveImage(image); }
};
using ImageHolder = std::unique_ptr<WaveImage, ImageFree>;

Bytes ImageSamples(const WaveImage* image) { return Bytes(image->samples, image->samples + image->header.dataSize); }

std::vector<int16_t> AsSamples(const Bytes& bytes, size_t frames) {
    std::vector<int16_t> samples(frames * 2);
    for (size_t i = 0; i < samples.size(); ++i)
        samples[i] = static_cast<int16_t>(bytes[2 * i] | bytes[2 * i + 1] << 8);
    return samples;
}

uint32_t ReadU32(const Bytes& bytes, size_t at) {
    uint32_t value;
    memcpy(&value, bytes.data() + at, sizeof value);
    return value;
}

class TruncationTest : public RenderSession {
  protected:
    void RegisterResource(const Bytes& bytes) {
        posix_win32::ClearRegisteredResourceTables();
        resource_ = bytes; // an exact-size heap block: a read past its end is an out-of-bounds read
        table_[0] = {"CUT", "WAVE", resource_.data(), resource_.size()};
        table_[1] = {};
        posix_win32::RegisterResourceTable(table_);
    }

    Bytes resource_;
    posix_win32::ResourceEntry table_[2] = {};
};

TEST_F(TruncationTest, CutWaveThroughEveryOpenPath) {
    const Bytes data = Samples(kWaveDataBytes, 3);
    const Bytes whole = CanonicalWave(data);
    GuardedMemory memory(kMemorySearchBytes);
    ASSERT_TRUE(memory.valid());

    for (size_t n : CutOffsets(whole.size(), 120, 7)) {
        SCOPED_TRACE(testing::Message() << "cut at " << n);
        const Bytes cut = Prefix(whole, n);
        TemporaryFile file(cut);

        // The file reader wants every sample byte its "data" chunk claims.
        ImageHolder fromFile(WaveImageFromFile(file.path()));
        EXPECT_EQ(fromFile != nullptr, n == whole.size());
        EXPECT_EQ(ZRVA_Open(1, file.path(), nullptr, 0), n == whole.size() ? 1u : 0u);
        ZRVA_Close(1);

        // A resource keeps what its size holds, once the "data" tag and size field are inside it.
        RegisterResource(cut);
        ImageHolder fromResource(WaveImageFromResource(nullptr, "CUT"));
        if (n < kWaveHeaderBytes) {
            EXPECT_EQ(fromResource, nullptr);
        } else {
            ASSERT_NE(fromResource, nullptr);
            EXPECT_EQ(fromResource->header.dataOffset, kWaveHeaderBytes);
            EXPECT_EQ(ImageSamples(fromResource.get()), Bytes(cut.begin() + kWaveHeaderBytes, cut.end()));
        }

        // A memory image has no length: the cut image lies at the start of zeroed memory that covers the whole
        // tag search, and what the reader takes past the cut is those zeros.
        const uint8_t* image = memory.PlaceAtStart(cut);
        ImageHolder fromMemory(WaveImageFromMemory(image));
        if (n < 40) {
            EXPECT_EQ(fromMemory, nullptr);
        } else {
            Bytes padded(image, image + kWaveHeaderBytes + kWaveDataBytes);
            ASSERT_NE(fromMemory, nullptr);
            EXPECT_EQ(fromMemory->header.dataSize, ReadU32(padded, 40));
            EXPECT_EQ(ImageSamples(fromMemory.get()),
                      Bytes(padded.begin() + 44, padded.begin() + 44 + fromMemory->header.dataSize));
        }

        // A stream plays the whole frames that are there, then silence.
        const std::vector<int16_t> played = PlayStreamOnce(file.path());
        if (n < kWaveHeaderBytes) {
            EXPECT_TRUE(played.empty());
            continue;
        }
        ASSERT_EQ(played.size(), kPrefilledFrames * kChannels);
        const size_t frames = (n - kWaveHeaderBytes) / 4;
        std::vector<int16_t> expected(played.size(), 0);
        const std::vector<int16_t> present = AsSamples(data, frames);
        std::copy(present.begin(), present.end(), expected.begin());
        EXPECT_EQ(played, expected);
    }
}

TEST_F(TruncationTest, CutMp3PlaysAPrefixOfTheWholeFileThenSilence) {
    const Bytes whole = ReadWholeFile(Fixture("mp3_cbr128_44k_stereo_tagged.mp3"));
    ASSERT_GT(whole.size(), kMp3AudioStart + 1000);
    GuardedMemory memory(kMemorySearchBytes);
    ASSERT_TRUE(memory.valid());
    std::vector<int16_t> reference;
    {
        TemporaryFile file(whole);
        reference = PlayStreamOnce(file.path());
        ASSERT_FALSE(reference.empty());
        ASSERT_TRUE(std::any_of(reference.begin(), reference.end(), [](int16_t s) { return s != 0; }));
    }

    size_t index = 0;
    for (size_t n : CutOffsets(whole.size(), kMp3AudioStart + 700, 61)) {
        SCOPED_TRACE(testing::Message() << "cut at " << n);
        const Bytes cut = Prefix(whole, n);
        TemporaryFile file(cut);

        // No MPEG file is a PCM WAVE, whichever static path it is offered to.
        EXPECT_EQ(ImageHolder(WaveImageFromFile(file.path())), nullptr);
        RegisterResource(cut);
        EXPECT_EQ(ImageHolder(WaveImageFromResource(nullptr, "CUT")), nullptr);
        EXPECT_EQ(ZRVA_Open(1, file.path(), nullptr, 0), 0u);
        // Each memory search runs through a megabyte of zeros, so only every tenth cut takes it.
        if (index++ % 10 == 0) EXPECT_EQ(ImageHolder(WaveImageFromMemory(memory.PlaceAtStart(cut))), nullptr);

        const std::vector<int16_t> played = PlayStreamOnce(file.path());
        if (n == whole.size()) EXPECT_EQ(played, reference);
        if (played.empty()) continue;
        ASSERT_EQ(played.size(), reference.size());
        const auto diverged = std::mismatch(played.begin(), played.end(), reference.begin()).first;
        EXPECT_TRUE(std::all_of(diverged, played.end(), [](int16_t s) { return s == 0; }))
            << "sample " << (diverged - played.begin()) << " differs from the whole file and is not silence";
    }
}

} // namespace
