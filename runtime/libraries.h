// The library facility: shared objects loaded by path under small numbers (an
// ObjectTable), their exports looked up by name at each use. LibraryTable is changed on
// the main thread only; lookups may come from any thread while it stays unchanged.
#pragma once
#include "runtime/objects.h"

#include <cstdint>

constexpr int32_t LIBRARY_TABLE_GROWTH = 30;

// Library numbers; a record is the loader's handle (void *), null when closed.
extern ObjectTable LibraryTable;

// Sets up the empty table. Returns 1, or 0 when MainHeap fails.
int LibraryTableInit();
// Loads the shared object at `path` (resolving all its symbols now, keeping them out of the
// global scope). A null path or a failed load gives 0 and leaves the table as it was. On
// success a library open under `number` is closed first. Returns the handle (for
// OBJECT_ANY the new number), or 0.
intptr_t LibraryOpen(int32_t number, const char *path);
// The address of the export `name`, looked up afresh; null when the number holds no
// library, the name is null or the export is missing.
void *LibrarySymbol(intptr_t number, const char *name);
// Unloads the library under `number`; nothing when it holds none.
void LibraryClose(intptr_t number);
// Why the last LibraryOpen failed to load, in the loader's words, once; null when unknown.
const char *LibraryLoadError();
// Unloads every library: unnumbered ones newest first, then numbers from the highest down.
void LibraryCloseAll();
