// WaveImageFromResource over a resource registered through the resource seam; the bytes are an exact-size heap
// copy, so a read past the resource is an out-of-bounds read for the address sanitizer.
#include <vector>

#include "fuzz_file.h"
#include "seams/resource_seams.h"
#include "wave/wave_image.h"
#include "wave_model.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<uint8_t> bytes(data, data + size);
    const posix_win32::ResourceEntry table[] = {{"FUZZ", "WAVE", bytes.data(), bytes.size()}, {}};
    posix_win32::RegisterResourceTable(table);

    const fuzz::WaveModel model = fuzz::ResourceModel(bytes.data(), size);
    WaveImage* image = WaveImageFromResource(nullptr, "FUZZ");
    posix_win32::ClearRegisteredResourceTables();
    FUZZ_CHECK((image != nullptr) == model.accepted);
    if (image) {
        FUZZ_CHECK(image->header.dataOffset == model.dataOffset && image->header.dataSize == model.dataSize);
        FUZZ_CHECK(memcmp(&image->header.format, model.format, 16) == 0 && image->header.format.cbSize == 0);
        FUZZ_CHECK(memcmp(image->samples, data + model.dataOffset, model.dataSize) == 0);
        FreeWaveImage(image);
    }
    return 0;
}
