#include <string.h>

#include "wave/chunk_search.h"
#include "wave/wave_image.h"

namespace {
bool HasRiffWaveTags(const BYTE* riffHeader) {
    return memcmp(riffHeader, "RIFF", 4) == 0 && memcmp(riffHeader + 8, "WAVE", 4) == 0;
}
} // namespace

BOOL ReadWaveFileHeader(FileHandle file, WaveImageHeader* header) {
    if (file == 0 || FileSeek(file, 0, FileFromStart) == -1) return FALSE;
    BYTE riffHeader[12];
    if (FileRead(file, riffHeader, sizeof riffHeader) < sizeof riffHeader || !HasRiffWaveTags(riffHeader)) return FALSE;

    ChunkHeader format;
    if (!FindChunk(file, "fmt ", &format)) return FALSE;
    // Only the 16 PCM bytes are kept; a short read leaves zeros, never stale memory.
    WAVEFORMATEX pcm;
    memset(&pcm, 0, sizeof pcm);
    FileRead(file, &pcm, kPcmFormatBytes);
    if (format.size < kPcmFormatBytes || pcm.wFormatTag != WAVE_FORMAT_PCM) return FALSE;

    ChunkHeader data;
    if (!FindChunk(file, "data", &data)) return FALSE;
    header->dataOffset = static_cast<DWORD>(FileTell(file));
    header->dataSize = data.size;
    header->format = pcm;
    return TRUE;
}

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
