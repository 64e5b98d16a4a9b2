#include "raw_feed_decode.h"

#include <fcntl.h>
#include <mpg123.h>
#include <unistd.h>

#include <vector>

int64_t RawFeedDecode(const char* path, size_t readBytes) {
    mpg123_init();
    mpg123_handle* handle = mpg123_new(nullptr, nullptr);
    mpg123_param(handle, MPG123_ADD_FLAGS, MPG123_QUIET, 0);
    mpg123_format_none(handle);
    mpg123_format(handle, 44100, MPG123_STEREO, MPG123_ENC_SIGNED_16);
    std::vector<unsigned char> source(readBytes), pcm(1152 * 4);
    int64_t produced = 0;
    const int file = open(path, O_RDONLY);
    mpg123_open_feed(handle);
    for (ssize_t got; (got = read(file, source.data(), source.size())) > 0;) {
        const unsigned char* input = source.data();
        size_t inputSize = static_cast<size_t>(got);
        for (;;) {
            size_t done = 0;
            const int answer = mpg123_decode(handle, input, inputSize, pcm.data(), pcm.size(), &done);
            input = nullptr, inputSize = 0;
            produced += static_cast<int64_t>(done);
            if (answer == MPG123_NEED_MORE || (answer != MPG123_OK && answer != MPG123_NEW_FORMAT && !done)) break;
        }
    }
    mpg123_close(handle);
    close(file);
    mpg123_delete(handle);
    return produced;
}
