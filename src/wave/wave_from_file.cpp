#include "wave/chunk_search.h"
#include "wave/wave_image.h"

WaveImage* WaveImageFromFile(LPCSTR path) {
    const FileHandle file = FileOpen(path);
    if (file == 0) return nullptr;
    WaveImageHeader header;
    // A "data" chunk that claims more bytes than the file holds is refused, before its block is asked for.
    const LONG length = FileLength(file);
    const bool complete = ReadWaveFileHeader(file, &header) && length >= 0 &&
                          header.dataOffset <= static_cast<DWORD>(length) &&
                          header.dataSize <= static_cast<DWORD>(length) - header.dataOffset;
    WaveImage* image = complete ? AllocateWaveImage(header) : nullptr;
    if (image) {
        FileSeek(file, static_cast<LONG>(header.dataOffset), FileFromStart);
        // The file may still have shrunk since its length was taken.
        if (FileRead(file, image->samples, header.dataSize) != header.dataSize) {
            FreeWaveImage(image);
            image = nullptr;
        }
    }
    FileClose(file);
    return image;
}
