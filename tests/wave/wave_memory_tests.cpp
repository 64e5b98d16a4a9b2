// The memory reader: no header check, no length, and a search that ends at image offset 1,015,559.
// Images are exact-size heap copies, so a read past the bytes a reader needs shows under AddressSanitizer.
#include <gtest/gtest.h>

#include <memory>

#include "wave/wave_bytes.h"
#include "wave/wave_image.h"

using namespace wave_bytes;

class WaveMemoryTest : public ::testing::Test {
  protected:
    WaveImage* Read(const Bytes& bytes) {
        copy_ = std::make_unique<uint8_t[]>(bytes.size());
        memcpy(copy_.get(), bytes.data(), bytes.size());
        image_.reset(WaveImageFromMemory(copy_.get()));
        return image_.get();
    }
    // A "data" chunk at offset 0, filler, then "fmt " at `formatOffset`.
    static Bytes FormatAt(size_t formatOffset) {
        Bytes bytes = Chunk("data", Samples(8));
        bytes.resize(formatOffset, 'x');
        Append(bytes, Chunk("fmt ", FormatBody()));
        return bytes;
    }

    struct ImageFree {
        void operator()(WaveImage* image) const { FreeWaveImage(image); }
    };
    std::unique_ptr<uint8_t[]> copy_;
    std::unique_ptr<WaveImage, ImageFree> image_;
};

TEST_F(WaveMemoryTest, CanonicalImageGivesOffset44) {
    const Bytes samples = Samples(64);
    const WaveImage* image = Read(CanonicalWave(samples));
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->header.dataOffset, 44u);
    EXPECT_EQ(image->header.dataSize, 64u);
    EXPECT_EQ(image->header.format.nBlockAlign, 4);
    EXPECT_EQ(Bytes(image->samples, image->samples + 64), samples);
}

TEST_F(WaveMemoryTest, ImageWithoutRiffHeaderIsAccepted) {
    Bytes chunksOnly = Chunk("fmt ", FormatBody());
    Append(chunksOnly, Chunk("data", Samples(4)));
    const WaveImage* image = Read(chunksOnly);
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->header.dataOffset, 24u + 8u);
}

TEST_F(WaveMemoryTest, TagsAtTheSearchLimitAreRefused) {
    EXPECT_NE(Read(FormatAt(1015559)), nullptr);
    EXPECT_EQ(Read(FormatAt(1015560)), nullptr);
    Bytes lateData = Chunk("fmt ", FormatBody());
    lateData.resize(1015560, 'x');
    Append(lateData, Chunk("data", Samples(4)));
    EXPECT_EQ(Read(lateData), nullptr);
}

TEST_F(WaveMemoryTest, FormatSizeFieldIsNotLookedAt) {
    Bytes bytes = Riff({});
    AppendTag(bytes, "fmt ");
    AppendU32(bytes, 14);
    Append(bytes, FormatBody());
    Append(bytes, Chunk("data", Samples(4)));
    EXPECT_NE(Read(bytes), nullptr);
}

TEST_F(WaveMemoryTest, CompressedFormatsAreRefused) {
    for (uint16_t tag : {2, 85})
        EXPECT_EQ(Read(CanonicalWave(Samples(8), {tag})), nullptr) << tag;
    EXPECT_EQ(WaveImageFromMemory(nullptr), nullptr);
}

TEST_F(WaveMemoryTest, FirstDataTagFromTheStartIsTaken) {
    const WaveImage* image =
        Read(Riff({Chunk("data", Samples(2, 9)), Chunk("fmt ", FormatBody()), Chunk("data", Samples(8))}));
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->header.dataOffset, 20u);
    EXPECT_EQ(image->header.dataSize, 2u);
}
