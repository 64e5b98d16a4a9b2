// Built without libFuzzer, a fuzz target replays the inputs it is given (files, or folders of them) as a test of the
// native suite. An input of at most 64 bytes is replayed cut at every length too: the truncations it stands for.
#include <stdio.h>

#include <filesystem>
#include <vector>

#include "support/wave_bytes.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);
extern "C" __attribute__((weak)) int LLVMFuzzerInitialize(int* argc, char*** argv);

int main(int argc, char** argv) {
    if (LLVMFuzzerInitialize && LLVMFuzzerInitialize(&argc, &argv) != 0) return 1;
    std::vector<std::filesystem::path> inputs;
    for (int i = 1; i < argc; ++i) {
        if (!std::filesystem::is_directory(argv[i]))
            inputs.emplace_back(argv[i]);
        else
            for (const auto& entry : std::filesystem::directory_iterator(argv[i]))
                inputs.push_back(entry.path());
    }
    for (const auto& input : inputs) {
        const wave_bytes::Bytes bytes = wave_bytes::ReadWholeFile(input);
        // A copy of exactly the replayed length, so that a read past it is out of bounds for the sanitizers.
        for (size_t size = bytes.size() <= 64 ? 0 : bytes.size(); size <= bytes.size(); ++size)
            LLVMFuzzerTestOneInput(wave_bytes::Bytes(bytes.begin(), bytes.begin() + size).data(), size);
    }
    printf("%zu inputs replayed\n", inputs.size());
    return inputs.empty();
}
