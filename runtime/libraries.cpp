#include "runtime/libraries.h"

#include <dlfcn.h>

ObjectTable LibraryTable;

int LibraryTableInit() {
    return ObjectTableInit(&LibraryTable, sizeof(void *), LIBRARY_TABLE_GROWTH, 0, 1);
}

intptr_t LibraryOpen(int32_t number, const char *path) {
    if (!path || number < OBJECT_ANY || number > OBJECT_NUMBER_MAX)
        return 0;
    void *handle = dlopen(path, RTLD_NOW | RTLD_LOCAL);
    if (!handle)
        return 0;
    void **record = static_cast<void **>(ObjectOpen(&LibraryTable, number));
    if (!record) {
        dlclose(handle);
        return 0;
    }
    // Closed only now that the new one is loaded, so reopening the same path never
    // unloads it in between.
    if (*record)
        dlclose(*record);
    *record = handle;
    return number == OBJECT_ANY ? reinterpret_cast<intptr_t>(record)
                                : reinterpret_cast<intptr_t>(handle);
}

void *LibrarySymbol(intptr_t number, const char *name) {
    void **record = static_cast<void **>(ObjectFind(&LibraryTable, number));
    if (!record || !*record || !name)
        return nullptr;
    return dlsym(*record, name);
}

void LibraryClose(intptr_t number) {
    void **record = static_cast<void **>(ObjectFind(&LibraryTable, number));
    if (!record || !*record)
        return;
    dlclose(*record);
    ObjectRelease(&LibraryTable, number);
}

void LibraryCloseAll() {
    ObjectCloseAll(&LibraryTable, LibraryClose);
}

const char *LibraryLoadError() {
    return dlerror();
}
