#include "wave/chunk_search.h"
#include "wave/wave_image.h"

WaveImage* WaveImageFromFile(LPCSTR path) {
    const FileHandle file = FileOpen(path);
    if (file == 0) return nullptr;
    WaveImageHeader header;
    WaveImage* image = ReadWaveFileHeader(file, &header) ? AllocateWaveImage(header) : nullptr;
    if (image) {
        FileSeek(file, static_cast<LONG>(header.dataOffset), FileFromStart);
        // A "data" chunk that claims more bytes than the file holds is refused.
        if (FileRead(file, image->samples, header.dataSize) != header.dataSize) {
            FreeWaveImage(image);
            image = nullptr;
        }
    }
    FileClose(file);
    return image;
}
