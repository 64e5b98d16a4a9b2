// What only a host's own files show the file layer: a source that delivers in pieces, a process whose standard input
// is closed, a folder named as a file. The readers' answers for each byte layout are the wave fuzz target's.
#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "wave/file_access.h"

TEST(FileAccessTest, AReadCollectsAPipesPiecesUntilItCloses) {
    int ends[2];
    ASSERT_EQ(pipe(ends), 0);
    const FileHandle handle = FileOpen(("/proc/self/fd/" + std::to_string(ends[0])).c_str());
    ASSERT_EQ(write(ends[1], "abcde", 5), 5);
    // The second piece goes in only once the first is taken, so the first read() surely stops short.
    std::thread writer([&] {
        for (int queued = 1; queued > 0;)
            ioctl(ends[0], FIONREAD, &queued);
        EXPECT_EQ(write(ends[1], "fghij", 5), 5);
        close(ends[1]);
    });
    char bytes[16] = {};
    EXPECT_EQ(FileRead(handle, bytes, sizeof bytes), 10u);
    EXPECT_STREQ(bytes, "abcdefghij");
    writer.join();
    FileClose(handle);
    close(ends[0]);
}

TEST(FileAccessTest, AHandleIsNeverZeroAndAFolderIsNoFile) {
    const int savedInput = dup(0);
    close(0);
    const FileHandle handle = FileOpen("/proc/self/exe");
    const int lowest = open("/dev/null", O_RDONLY);
    dup2(savedInput, 0);
    close(savedInput);
    EXPECT_GT(handle, 0);
    EXPECT_EQ(lowest, 0) << "descriptor 0 was kept";
    EXPECT_GT(FileLength(handle), 0);
    FileClose(handle);
    if (lowest > 0) close(lowest);
    EXPECT_EQ(FileOpen("/tmp"), 0);
}
