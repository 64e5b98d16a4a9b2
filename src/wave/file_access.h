// Unbuffered, read-only file access on the runtime's integer handles; 0 is never an open file.
#pragma once

#include <windows.h>

typedef int FileHandle;

enum FileOrigin { FileFromStart = 0, FileFromCurrent = 1, FileFromEnd = 2 };

FileHandle FileOpen(const char* path);
DWORD FileRead(FileHandle file, void* destination, DWORD bytes);
LONG FileSeek(FileHandle file, LONG offset, int origin);
LONG FileTell(FileHandle file);
LONG FileLength(FileHandle file);
BOOL FileClose(FileHandle file);
