// The file, resource and memory readers over one table of images (well-formed, damaged, hostile) and over every
// truncation of a whole file, each held against the model of the byte layout that the fuzz target checks too.
#include <fcntl.h>
#include <sys/stat.h>

#include <thread>

#include <gtest/gtest.h>

#include "../fuzz/wave_checks.h"
#include "support/wave_bytes.h"

namespace {

using wave_bytes::Bytes;
using wave_bytes::Chunk;
using wave_bytes::FormatBody;
using wave_bytes::Riff;

Bytes Join(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& part : parts)
        out.insert(out.end(), part.begin(), part.end());
    return out;
}

Bytes WithU32At(Bytes bytes, size_t at, uint32_t value) {
    for (int i = 0; i < 4; ++i)
        bytes[at + i] = static_cast<uint8_t>(value >> (8 * i));
    return bytes;
}

const Bytes kSamples = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
const Bytes kCanonical = Riff({Chunk("fmt ", FormatBody()), Chunk("data", kSamples)});

void ExpectAllReadersAgreeWithTheModel(const Bytes& bytes, const std::string& name) {
    wave_bytes::TemporaryFile file(bytes);
    EXPECT_EQ(wave_checks::CheckFile(file.path(), bytes.data(), bytes.size()), nullptr) << name << " (file)";
    EXPECT_EQ(wave_checks::CheckResource(bytes.data(), bytes.size()), nullptr) << name << " (resource)";
    EXPECT_EQ(wave_checks::CheckMemory(bytes.data(), bytes.size(), false), nullptr) << name << " (memory)";
}

} // namespace

TEST(WaveReaderTest, EveryReaderAnswersEachImageAsItsLayoutSays) {
    // Paddings that put the next tag at the last position the file search's first window compares, at the first of
    // the next window, and across the two.
    const Bytes lastInWindow(16359, 'x'), firstInNext(16360, 'x'), across(16370, 'x');
    // The smallest resource: its "fmt " at 12, the one position its search takes, and "data" inside the format.
    const Bytes smallest = Join({{'R', 'I', 'F', 'F', 31, 0, 0, 0, 'W', 'A', 'V', 'E', 'f', 'm', 't', ' ', 16, 0, 0, 0},
                                 {1, 0, 1, 0, 0x44, 0xAC, 0, 0, 0x88, 0x58, 1, 'd', 'a', 't', 'a', 0, 0, 0, 0}});
    const std::pair<const char*, Bytes> cases[] = {
        {"canonical", kCanonical},
        {"8-bit mono", Riff({Chunk("fmt ", FormatBody(1, 1, 8)), Chunk("data", kSamples)})},
        {"compressed", Riff({Chunk("fmt ", FormatBody(2)), Chunk("data", kSamples)})},
        {"no RIFF", Join({{'R', 'I', 'F', 'X'}, Bytes(kCanonical.begin() + 4, kCanonical.end())})},
        {"no WAVE", WithU32At(kCanonical, 8, 0x45564157 + 1)},
        {"data first", Riff({Chunk("data", kSamples), Chunk("fmt ", FormatBody())})},
        {"extended format", Riff({Chunk("fmt ", FormatBody(1, 2, 16, 40)), Chunk("data", kSamples)})},
        {"short format", Riff({Chunk("fmt ", FormatBody(1, 2, 16, 14)), Chunk("data", kSamples)})},
        {"format size 0", WithU32At(kCanonical, 16, 0)},
        {"format size all ones", WithU32At(kCanonical, 16, 0xFFFFFFFF)},
        {"data size all ones", WithU32At(kCanonical, 40, 0xFFFFFFFF)},
        {"data size one past", WithU32At(kCanonical, 40, 17)},
        {"tag inside another chunk",
         Riff({Chunk("LIST", {'d', 'a', 't', 'a', 4, 0, 0, 0}), Chunk("fmt ", FormatBody()), Chunk("data", kSamples)})},
        {"tag last in a window",
         Riff({Chunk("JUNK", lastInWindow), Chunk("fmt ", FormatBody()), Chunk("data", kSamples)})},
        {"tag first in a window",
         Riff({Chunk("JUNK", firstInNext), Chunk("fmt ", FormatBody()), Chunk("data", kSamples)})},
        {"tag across two windows", Riff({Chunk("JUNK", across), Chunk("fmt ", FormatBody()), Chunk("data", kSamples)})},
        {"smallest resource", smallest},
        {"tag at the very end", Join({Riff({Chunk("fmt ", FormatBody())}), {'d', 'a', 't', 'a'}})},
        {"chunks without RIFF", Join({Chunk("fmt ", FormatBody(1, 1, 8)), Chunk("data", {9, 8, 7, 6})})},
        {"empty", {}},
    };
    for (const auto& [name, bytes] : cases)
        ExpectAllReadersAgreeWithTheModel(bytes, name);
    // With no tag nearby the memory reader searches its whole megabyte, up to its last offset.
    for (const auto& [name, bytes] : {cases[0], cases[18], cases[19]})
        EXPECT_EQ(wave_checks::CheckMemory(bytes.data(), bytes.size(), true), nullptr) << name << " (whole search)";
}

TEST(WaveReaderTest, EveryTruncationOfAWholeFileIsAnsweredAsItsLayoutSays) {
    for (size_t length = 0; length <= kCanonical.size(); ++length)
        ExpectAllReadersAgreeWithTheModel(Bytes(kCanonical.begin(), kCanonical.begin() + length),
                                          "cut to " + std::to_string(length));
}

// A read collects what a slow source delivers piece by piece until the end: a pipe written in two parts.
TEST(WaveReaderTest, FileReadCollectsShortReadsUntilTheEnd) {
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
