// The temporary directory and the file facility: numbered files (an ObjectTable), and one
// current file that FileWriteData writes to. Main thread only.
#pragma once
#include "runtime/objects.h"

#include <cstdint>

constexpr int32_t TEMP_PATH_SIZE = 256; // 255 characters and the NUL
constexpr int32_t FILE_TABLE_GROWTH = 10;

// The temporary directory, ending in '/': $TMPDIR when it is set and absolute, else /tmp.
// Empty when the query failed, so that a name built from it is refused by FileCreate.
extern char TempPath[TEMP_PATH_SIZE];
// File numbers; a record is one FileHandle.
extern ObjectTable FileTable;
typedef intptr_t FileHandle; // the descriptor + 1, so that 0 means "none"
extern FileHandle CurrentFile;

// Fills TempPath. Returns its length, or 0 (TempPath empty) when the directory would not
// fit 255 characters.
int32_t TempPathQuery();

// Sets up the empty file table and no current file. Returns 1, or 0 when MainHeap fails.
int FileTableInit();
// Creates or truncates `name` (an absolute path; relative names are refused) for writing,
// as a private file: mode 0600, not through a symlink, and only when the result is a
// regular file of ours with one link, so that a planted file or link cannot catch the
// write. The result becomes the current file at once (0 on failure). On success a file open
// under `number` is closed first. Returns the handle (for OBJECT_ANY the new number), or 0.
intptr_t FileCreate(int32_t number, const char *name);
// Writes the whole block to the current file. Returns 1, or 0 when there is no current
// file, the buffer is null, the length 0, or the write fails.
int FileWriteData(const void *buffer, uint32_t length);
// Closes the file under `number`; nothing when it holds none.
void FileClose(intptr_t number);
// Removes the file `name`. Returns 1, or 0 when it could not be removed.
int FileDelete(const char *name);
// Closes every open file: unnumbered ones newest first, then numbers upwards from 0.
void FileCloseAll();
