// The library facility on Windows: LoadLibraryA, GetProcAddress and FreeLibrary.
#include "runtime/libraries.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <cstdio>

ObjectTable LibraryTable;

namespace {
constexpr int32_t REASON_SIZE = 256;
DWORD LoadError;
char Reason[REASON_SIZE];

HMODULE Module(void *handle) {
    return static_cast<HMODULE>(handle);
}
} // namespace

int LibraryTableInit() {
    return ObjectTableInit(&LibraryTable, sizeof(void *), LIBRARY_TABLE_GROWTH, 0, 1);
}

intptr_t LibraryOpen(int32_t number, const char *path) {
    if (!path || number < OBJECT_ANY || number > OBJECT_NUMBER_MAX)
        return 0;
    HMODULE module = LoadLibraryA(path);
    if (!module) {
        LoadError = GetLastError();
        return 0;
    }
    void **record = static_cast<void **>(ObjectOpen(&LibraryTable, number));
    if (!record) {
        FreeLibrary(module);
        return 0;
    }
    // Freed only now that the new one is loaded, so reopening the same path never unloads
    // it in between.
    if (*record)
        FreeLibrary(Module(*record));
    *record = module;
    return number == OBJECT_ANY ? reinterpret_cast<intptr_t>(record)
                                : reinterpret_cast<intptr_t>(module);
}

void *LibrarySymbol(intptr_t number, const char *name) {
    void **record = static_cast<void **>(ObjectFind(&LibraryTable, number));
    if (!record || !*record || !name)
        return nullptr;
    return reinterpret_cast<void *>(GetProcAddress(Module(*record), name));
}

void LibraryClose(intptr_t number) {
    void **record = static_cast<void **>(ObjectFind(&LibraryTable, number));
    if (!record || !*record)
        return;
    FreeLibrary(Module(*record));
    ObjectRelease(&LibraryTable, number);
}

void LibraryCloseAll() {
    ObjectCloseAll(&LibraryTable, LibraryClose);
}

const char *LibraryLoadError() {
    if (!LoadError)
        return nullptr;
    if (!FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                        LoadError, 0, Reason, sizeof Reason, nullptr))
        snprintf(Reason, sizeof Reason, "error %lu", static_cast<unsigned long>(LoadError));
    LoadError = 0;
    return Reason;
}
