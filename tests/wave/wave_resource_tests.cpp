// The resource reader over resources registered through the resource seam, and FindResourceA's name matching.
#include <gtest/gtest.h>

#include <memory>

#include "seams/resource_seams.h"
#include "wave/wave_bytes.h"
#include "wave/wave_image.h"

using namespace wave_bytes;

class WaveResourceTest : public ::testing::Test {
  protected:
    // Registers `bytes` as the one resource `name` of `type`, then reads it as a WAVE.
    WaveImage* Read(const Bytes& bytes, const char* name = "SOUND") {
        Register(bytes, name);
        image_.reset(WaveImageFromResource(nullptr, name));
        return image_.get();
    }
    void Register(const Bytes& bytes, const char* name = "SOUND", const char* type = "WAVE") {
        posix_win32::ClearRegisteredResourceTables();
        bytes_ = bytes;
        table_[0] = {name, type, bytes_.data(), bytes_.size()};
        table_[1] = {};
        posix_win32::RegisterResourceTable(table_);
    }
    void TearDown() override { posix_win32::ClearRegisteredResourceTables(); }

    struct ImageFree {
        void operator()(WaveImage* image) const { FreeWaveImage(image); }
    };
    Bytes bytes_;
    posix_win32::ResourceEntry table_[2] = {};
    std::unique_ptr<WaveImage, ImageFree> image_;
};

TEST_F(WaveResourceTest, CanonicalResourceGivesOffset44) {
    const Bytes samples = Samples(100);
    const WaveImage* image = Read(CanonicalWave(samples));
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->header.dataOffset, 44u);
    EXPECT_EQ(image->header.dataSize, 100u);
    EXPECT_EQ(Bytes(image->samples, image->samples + 100), samples);
}

TEST_F(WaveResourceTest, ResourceOf38BytesIsRefused) {
    Bytes bytes = CanonicalWave(Samples(100));
    bytes.resize(38);
    EXPECT_EQ(Read(bytes), nullptr);
}

TEST_F(WaveResourceTest, ResourceOf39BytesLooksForFormatAtPosition12Only) {
    // "fmt " at 12, and a "data" tag inside the format bytes (the search starts at the format).
    Bytes bytes = Riff({});
    AppendTag(bytes, "fmt ");
    AppendU32(bytes, 16);
    AppendU16(bytes, 1);
    AppendU16(bytes, 2);
    AppendTag(bytes, "data");
    AppendU32(bytes, 3);
    bytes.resize(39, 0x55);
    const WaveImage* image = Read(bytes);
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->header.dataOffset, 32u);
    EXPECT_EQ(image->header.dataSize, 3u);

    bytes.insert(bytes.begin() + 12, 'x');
    bytes.pop_back();
    EXPECT_EQ(Read(bytes), nullptr);
}

TEST_F(WaveResourceTest, FormatSizeFieldIsNotLookedAt) {
    Bytes bytes = Riff({});
    AppendTag(bytes, "fmt ");
    AppendU32(bytes, 14);
    Append(bytes, FormatBody());
    Append(bytes, Chunk("data", Samples(4)));
    EXPECT_NE(Read(bytes), nullptr);
}

TEST_F(WaveResourceTest, CompressedFormatsAndMissingTagsAreRefused) {
    for (uint16_t tag : {2, 85})
        EXPECT_EQ(Read(CanonicalWave(Samples(8), {tag})), nullptr) << tag;
    Bytes noWave = CanonicalWave(Samples(8));
    noWave[11] = '!';
    EXPECT_EQ(Read(noWave), nullptr);
    EXPECT_EQ(Read(Riff({Chunk("fmt ", FormatBody()), Chunk("LIST", Samples(20))})), nullptr);
}

TEST_F(WaveResourceTest, DataBeforeTheFormatIsPassedOver) {
    const WaveImage* image =
        Read(Riff({Chunk("data", Samples(2, 9)), Chunk("fmt ", FormatBody()), Chunk("data", Samples(8))}));
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->header.dataSize, 8u);
    EXPECT_EQ(image->header.dataOffset, 12u + 10u + 24u + 8u);
}

TEST_F(WaveResourceTest, DataSizeBeyondTheResourceIsCutToWhatItHolds) {
    Bytes bytes = Riff({Chunk("fmt ", FormatBody())});
    AppendTag(bytes, "data");
    AppendU32(bytes, 0xFFFFFF00u);
    Append(bytes, Samples(10));
    const WaveImage* image = Read(bytes);
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->header.dataSize, 10u);
}

TEST_F(WaveResourceTest, NamesAndTypesMatchWithoutRegardToCase) {
    Register(CanonicalWave(Samples(8)), "Explosion", "wave");
    DWORD size = 0;
    EXPECT_NE(LockModuleResource(nullptr, "EXPLOSION", "WAVE", &size), nullptr);
    EXPECT_EQ(size, 44u + 8u);
    EXPECT_NE(FindResourceA(nullptr, "explosion", "Wave"), nullptr);
    EXPECT_EQ(FindResourceA(nullptr, "explosio", "WAVE"), nullptr);
    EXPECT_EQ(FindResourceA(nullptr, "EXPLOSION", "RCDATA"), nullptr);
    EXPECT_EQ(LockModuleResource(nullptr, nullptr, "WAVE", &size), nullptr);
    EXPECT_EQ(LockModuleResource(nullptr, "EXPLOSION", nullptr, &size), nullptr);
}

TEST_F(WaveResourceTest, IntegerIdsMatchByNumberOrHashName) {
    Register(CanonicalWave(Samples(8)), "101");
    EXPECT_NE(FindResourceA(nullptr, MAKEINTRESOURCEA(101), "WAVE"), nullptr);
    EXPECT_NE(FindResourceA(nullptr, "#101", "WAVE"), nullptr);
    EXPECT_EQ(FindResourceA(nullptr, "101", "WAVE"), nullptr) << "a string name is not an id";
    EXPECT_EQ(FindResourceA(nullptr, MAKEINTRESOURCEA(102), "WAVE"), nullptr);
}

TEST_F(WaveResourceTest, LoadAndSizeOfNoResourceAnswerNothing) {
    EXPECT_EQ(LoadResource(nullptr, nullptr), nullptr);
    EXPECT_EQ(SizeofResource(nullptr, nullptr), 0u);
    EXPECT_EQ(LockResource(nullptr), nullptr);
    EXPECT_EQ(WaveImageFromResource(nullptr, "NOSUCH"), nullptr);
}
