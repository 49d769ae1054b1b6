// The temporary directory and the file facility: numbered files (an ObjectTable), and one
// current file that FileWriteData writes to. Main thread only.
#pragma once
#include "runtime/objects.h"

#include <cstdint>

constexpr int32_t TEMP_PATH_SIZE = 256; // 255 characters and the NUL
constexpr int32_t FILE_TABLE_GROWTH = 10;
// Followed by a descriptor's number, names what that descriptor has open.
constexpr const char *FD_PATH_PREFIX = "/proc/self/fd/";

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

// Sets up the empty file table and no current file, and makes writes to a closed pipe or past
// a file-size limit fail with an error instead of a signal. Returns 1, or 0 when MainHeap fails.
int FileTableInit();
// Creates `name` (an absolute path; relative names are refused) for writing as a new private
// file: mode 0600, and only when nothing of that name exists (not even a link), so that a
// planted file or link cannot catch the write. The result becomes the current file at once
// (0 on failure). On success a file open under `number` is closed first. Returns the handle
// (for OBJECT_ANY the new number), or 0.
intptr_t FileCreate(int32_t number, const char *name);
// Writes the whole block to the current file. Returns 1, or 0 when there is no current
// file, the buffer is null, the length 0, or not all of it could be written (a full disk,
// a file-size limit: the file is then cut short and must not be used).
int FileWriteData(const void *buffer, uint32_t length);
// A name that opens the file under `number` again whatever becomes of its path meanwhile
// ("/proc/self/fd/N"), built at StringTop. Null when the number holds no file.
const char *FileDescriptorPath(intptr_t number);
// Closes the file under `number`; nothing when it holds none.
void FileClose(intptr_t number);
// Removes the file `name`. Returns 1, or 0 when it could not be removed.
int FileDelete(const char *name);
// Makes a directory only we may enter (mode 0700) from `pattern`, a path ending in
// "XXXXXX", which is replaced in place by a name that did not exist. Returns a descriptor of
// the directory, checked to be the one made (ours, not a link), or -1. Names under
// "/proc/self/fd/<descriptor>/" reach into it even if its path is changed meanwhile.
int DirectoryCreate(char *pattern);
// Closes the directory's descriptor, then removes the empty directory `name`. Returns 1, or
// 0 when it could not be removed.
int DirectoryDelete(const char *name, int descriptor);
// Closes every open file: unnumbered ones newest first, then numbers upwards from 0.
void FileCloseAll();
