// The file reader: what ReadWaveFileHeader accepts, and that WaveImageFromFile leaves no handle or block behind.
#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <sys/stat.h>

#include <memory>
#include <string>
#include <thread>

#include "wave/chunk_search.h"
#include "wave/wave_bytes.h"
#include "wave/wave_image.h"

using namespace wave_bytes;

namespace {
int OpenDescriptorCount() {
    int count = 0;
    if (DIR* directory = opendir("/proc/self/fd")) {
        while (readdir(directory))
            ++count;
        closedir(directory);
    }
    return count;
}
} // namespace

class WaveFileTest : public ::testing::Test {
  protected:
    // Reads `bytes` back through a file; the image is freed when the test ends.
    WaveImage* Read(const Bytes& bytes) {
        file_ = std::make_unique<TemporaryFile>(bytes);
        image_.reset(WaveImageFromFile(file_->path()));
        return image_.get();
    }

    struct ImageFree {
        void operator()(WaveImage* image) const { FreeWaveImage(image); }
    };
    std::unique_ptr<TemporaryFile> file_;
    std::unique_ptr<WaveImage, ImageFree> image_;
};

TEST_F(WaveFileTest, CanonicalFileGivesOffset44AndItsSamples) {
    const Bytes samples = Samples(400);
    const WaveImage* image = Read(CanonicalWave(samples, {1, 1, 22050, 8}));
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->header.dataOffset, 44u);
    EXPECT_EQ(image->header.dataSize, 400u);
    EXPECT_EQ(image->header.format.nChannels, 1);
    EXPECT_EQ(image->header.format.nSamplesPerSec, 22050u);
    EXPECT_EQ(image->header.format.nBlockAlign, 1);
    EXPECT_EQ(image->samples, reinterpret_cast<const BYTE*>(image + 1));
    EXPECT_EQ(Bytes(image->samples, image->samples + 400), samples);
}

TEST_F(WaveFileTest, ExtendedFormatBodiesKeepTheirFirst16Bytes) {
    for (size_t bodyBytes : {18u, 40u}) {
        const WaveImage* image = Read(Riff({Chunk("fmt ", FormatBody({}, bodyBytes)), Chunk("data", Samples(8))}));
        ASSERT_NE(image, nullptr) << bodyBytes;
        EXPECT_EQ(image->header.format.wBitsPerSample, 16);
        EXPECT_EQ(image->header.format.cbSize, 0);
        EXPECT_EQ(image->header.dataOffset, 12 + 8 + bodyBytes + 8);
    }
}

TEST_F(WaveFileTest, FormatSizeBelow16IsRefused) {
    Bytes format = FormatBody();
    Bytes bytes = Riff({});
    AppendTag(bytes, "fmt ");
    AppendU32(bytes, 14);
    Append(bytes, format);
    Append(bytes, Chunk("data", Samples(8)));
    EXPECT_EQ(Read(bytes), nullptr);
}

TEST_F(WaveFileTest, CompressedFormatsAreRefused) {
    for (uint16_t tag : {2, 85})
        EXPECT_EQ(Read(CanonicalWave(Samples(8), {tag})), nullptr) << tag;
}

TEST_F(WaveFileTest, MissingRiffOrWaveTagIsRefused) {
    Bytes bytes = CanonicalWave(Samples(8));
    bytes[8] = 'X';
    EXPECT_EQ(Read(bytes), nullptr);
    EXPECT_EQ(Read(Bytes(bytes.begin(), bytes.begin() + 11)), nullptr);
}

TEST_F(WaveFileTest, EarlierDataTagInsideAnotherChunkIsTaken) {
    Bytes text;
    AppendTag(text, "data");
    AppendU32(text, 2);
    Append(text, Bytes{'h', 'i'});
    const WaveImage* image = Read(Riff({Chunk("fmt ", FormatBody()), Chunk("LIST", text), Chunk("data", Samples(8))}));
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->header.dataSize, 2u);
    EXPECT_EQ(image->samples[0], 'h');
}

TEST_F(WaveFileTest, ShortDataBodyFailsAndLeavesNothingOpen) {
    Bytes bytes = Riff({Chunk("fmt ", FormatBody())});
    AppendTag(bytes, "data");
    AppendU32(bytes, 1000);
    Append(bytes, Samples(999));
    const int before = OpenDescriptorCount();
    EXPECT_EQ(Read(bytes), nullptr);
    EXPECT_EQ(OpenDescriptorCount(), before);
}

TEST_F(WaveFileTest, MissingFileAndNullPathFail) {
    EXPECT_EQ(WaveImageFromFile("/nonexistent/zorva.wav"), nullptr);
    EXPECT_EQ(WaveImageFromFile(nullptr), nullptr);
    WaveImageHeader header;
    EXPECT_FALSE(ReadWaveFileHeader(0, &header));
}

// A pipe hands a read only what has been written so far; FileRead goes on until it has all it asked for or the end.
TEST_F(WaveFileTest, FileReadCollectsShortReadsUntilTheEnd) {
    char folder[] = "/tmp/zorva-pipe-XXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    const std::string pipe = std::string(folder) + "/pipe";
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    std::thread writer([&] {
        const int fd = open(pipe.c_str(), O_WRONLY);
        EXPECT_EQ(write(fd, "abcde", 5), 5);
        usleep(50000);
        EXPECT_EQ(write(fd, "fghij", 5), 5);
        close(fd);
    });
    const FileHandle handle = FileOpen(pipe.c_str());
    char bytes[16] = {};
    EXPECT_EQ(FileRead(handle, bytes, sizeof bytes), 10u);
    EXPECT_STREQ(bytes, "abcdefghij");
    FileClose(handle);
    writer.join();
    unlink(pipe.c_str());
    rmdir(folder);
}

TEST_F(WaveFileTest, HandleIsNeverZeroWithStandardInputClosed) {
    TemporaryFile file(CanonicalWave(Samples(8)));
    const int savedInput = dup(0);
    close(0);
    const FileHandle handle = FileOpen(file.path());
    const int probe = open("/dev/null", O_RDONLY); // takes the lowest free descriptor
    dup2(savedInput, 0);
    close(savedInput);

    EXPECT_GT(handle, 0);
    EXPECT_EQ(probe, 0) << "the original descriptor 0 was not given back";
    WaveImageHeader header;
    EXPECT_TRUE(ReadWaveFileHeader(handle, &header));
    EXPECT_TRUE(FileClose(handle));
    if (probe > 0) close(probe);
}
