// The temporary directory and the file facility on Windows: the user's own temporary
// directory, and files made with the system's calls as they are.
#include "runtime/files.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <cstring>

char TempPath[TEMP_PATH_SIZE];
ObjectTable FileTable;
FileHandle CurrentFile;

namespace {
constexpr DWORD TEMP_PATH_QUERY = TEMP_PATH_SIZE - 1; // 255 spaces give the query its buffer
constexpr char TEMP_PATH_FILL = ' ';
} // namespace

int32_t TempPathQuery() {
    memset(TempPath, TEMP_PATH_FILL, TEMP_PATH_QUERY);
    TempPath[TEMP_PATH_QUERY] = 0;
    DWORD length = GetTempPathA(TEMP_PATH_QUERY, TempPath);
    if (length == 0 || length > TEMP_PATH_QUERY) {
        TempPath[0] = 0;
        return 0;
    }
    return int32_t(length);
}

int FileTableInit() {
    CurrentFile = 0;
    return ObjectTableInit(&FileTable, sizeof(FileHandle), FILE_TABLE_GROWTH, 0, 0);
}

intptr_t FileCreate(int32_t number, const char *name) {
    CurrentFile = 0;
    if (!name || number < OBJECT_ANY || number > OBJECT_NUMBER_MAX)
        return 0;
    HANDLE file = CreateFileA(name, GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return 0;
    FileHandle *record = static_cast<FileHandle *>(ObjectOpen(&FileTable, number));
    if (!record) {
        CloseHandle(file);
        return 0;
    }
    if (*record)
        CloseHandle(reinterpret_cast<HANDLE>(*record));
    *record = reinterpret_cast<FileHandle>(file);
    CurrentFile = *record;
    return number == OBJECT_ANY ? reinterpret_cast<intptr_t>(record) : *record;
}

int FileWriteData(const void *buffer, uint32_t length) {
    if (!CurrentFile || !buffer || !length)
        return 0;
    DWORD written = 0;
    return WriteFile(reinterpret_cast<HANDLE>(CurrentFile), buffer, length, &written, nullptr) &&
           written == length;
}

void FileClose(intptr_t number) {
    FileHandle *record = static_cast<FileHandle *>(ObjectFind(&FileTable, number));
    if (!record || !*record)
        return;
    if (CurrentFile == *record)
        CurrentFile = 0;
    CloseHandle(reinterpret_cast<HANDLE>(*record));
    ObjectRelease(&FileTable, number);
}

int FileDelete(const char *name) {
    return name && DeleteFileA(name) ? 1 : 0;
}

void FileCloseAll() {
    ObjectCloseAll(&FileTable, FileClose);
}
