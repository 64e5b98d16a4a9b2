// FindChunk and ReadFormatChunk on real files: where the byte-by-byte scan finds a tag and where it cannot.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <memory>

#include "wave/chunk_search.h"
#include "wave/wave_bytes.h"

using namespace wave_bytes;

class ChunkSearchTest : public ::testing::Test {
  protected:
    // Opens a file of `bytes`; the file and its handle live until the test ends.
    FileHandle Open(const Bytes& bytes) {
        if (handle_) FileClose(handle_);
        file_ = std::make_unique<TemporaryFile>(bytes);
        handle_ = FileOpen(file_->path());
        return handle_;
    }
    // A file of `size` filler bytes with `tag` and a size field written at `offset` (cut at the end of the file).
    FileHandle OpenWithTagAt(size_t size, size_t offset, const char* tag = "data", uint32_t chunkSize = 0x1234) {
        Bytes bytes(size, 'x');
        Bytes header;
        AppendTag(header, tag);
        AppendU32(header, chunkSize);
        for (size_t i = 0; i < header.size() && offset + i < size; ++i)
            bytes[offset + i] = header[i];
        return Open(bytes);
    }
    void TearDown() override {
        if (handle_) FileClose(handle_);
    }

    FileHandle handle_ = 0;
    std::unique_ptr<TemporaryFile> file_;
};

TEST_F(ChunkSearchTest, FindsTagAtOddOffsetAndStandsAtItsBody) {
    const FileHandle file = OpenWithTagAt(100, 37, "data", 0xABCD);
    ASSERT_NE(file, 0);
    FileSeek(file, 60, FileFromStart); // the search starts from 0 whatever the position
    ChunkHeader header;
    ASSERT_TRUE(FindChunk(file, "data", &header));
    EXPECT_EQ(header.size, 0xABCDu);
    EXPECT_EQ(FileTell(file), 45);
}

TEST_F(ChunkSearchTest, FindsTagStraddlingTheFirstTwoWindows) {
    const FileHandle file = OpenWithTagAt(40000, 16382);
    ChunkHeader header;
    ASSERT_TRUE(FindChunk(file, "data", &header));
    EXPECT_EQ(FileTell(file), 16382 + 8);
}

TEST_F(ChunkSearchTest, FindsTagDeepInALargeFile) {
    const FileHandle file = OpenWithTagAt(200000, 123457);
    ChunkHeader header;
    ASSERT_TRUE(FindChunk(file, "data", &header));
    EXPECT_EQ(FileTell(file), 123457 + 8);
}

TEST_F(ChunkSearchTest, TakesTheFirstMatchEvenInsideAnotherChunk) {
    Bytes text;
    AppendTag(text, "data");
    AppendU32(text, 3);
    const FileHandle file = Open(Riff({Chunk("LIST", text), Chunk("data", Samples(8))}));
    ChunkHeader header;
    ASSERT_TRUE(FindChunk(file, "data", &header));
    EXPECT_EQ(header.size, 3u);
    EXPECT_EQ(FileTell(file), 12 + 8 + 8);
}

TEST_F(ChunkSearchTest, TagInTheLastFourBytesIsNotFound) {
    ChunkHeader header;
    EXPECT_FALSE(FindChunk(OpenWithTagAt(50, 46), "data", &header));
    // Also when the last four bytes fall at the end of a second window.
    EXPECT_FALSE(FindChunk(OpenWithTagAt(16384 + 100, 16384 + 96), "data", &header));
}

TEST_F(ChunkSearchTest, TagWithoutRoomForItsSizeFieldIsNotFound) {
    ChunkHeader header;
    EXPECT_FALSE(FindChunk(OpenWithTagAt(50, 45), "data", &header));
    EXPECT_FALSE(FindChunk(OpenWithTagAt(50, 43), "data", &header));
    EXPECT_TRUE(FindChunk(OpenWithTagAt(50, 42, "data", 7), "data", &header));
    EXPECT_EQ(header.size, 7u);
}

TEST_F(ChunkSearchTest, EmptyFileAndNoFileFindNothing) {
    ChunkHeader header;
    EXPECT_FALSE(FindChunk(Open({}), "data", &header));
    EXPECT_FALSE(FindChunk(0, "data", &header));
}

TEST_F(ChunkSearchTest, ReadFormatChunkReturnsTheWholeBody) {
    const Bytes body = FormatBody({}, 40);
    void* format = ReadFormatChunk(Open(Riff({Chunk("fmt ", body), Chunk("data", Samples(4))})));
    ASSERT_NE(format, nullptr);
    EXPECT_EQ(memcmp(format, body.data(), body.size()), 0);
    free(format);
}

TEST_F(ChunkSearchTest, ReadFormatChunkRefusesABodyShorterThanItsSize) {
    Bytes bytes = Riff({});
    AppendTag(bytes, "fmt ");
    AppendU32(bytes, 16);
    Append(bytes, Bytes(10, 0));
    EXPECT_EQ(ReadFormatChunk(Open(bytes)), nullptr);
}
