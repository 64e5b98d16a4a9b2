// A file read collects what a slow source delivers piece by piece until the end: a pipe written in two parts. The
// readers' answers for each byte layout are the wave fuzz target's, replayed with its hand-made cases.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "wave/file_access.h"

TEST(FileAccessTest, AReadCollectsShortReadsUntilTheEnd) {
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
