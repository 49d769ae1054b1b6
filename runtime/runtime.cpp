#include "runtime/runtime.h"

#include "runtime/clock.h"
#include "runtime/files.h"
#include "runtime/heap.h"
#include "runtime/libraries.h"
#include "runtime/random.h"
#include "runtime/strings.h"

#include <cstring>

constexpr size_t MAIN_HEAP_INITIAL = 4000;
constexpr size_t LIST_HEAP_INITIAL = 1024;

int RuntimeStart(WindowRuntimeStartProc startWindows) {
    MainHeap = nullptr;
    ListHeap = nullptr;
    StringBuffer = nullptr;
    StringTop = nullptr;
    StringCut = 0;
    memset(TempPath, 0, sizeof TempPath);
    memset(&FileTable, 0, sizeof FileTable);
    memset(&LibraryTable, 0, sizeof LibraryTable);
    CurrentFile = 0;

    MainHeap = HeapCreate(MAIN_HEAP_INITIAL);
    ListHeap = HeapCreate(LIST_HEAP_INITIAL);
    FileTableInit();
    LibraryTableInit();
    RandomSeed(TickMs());
    // The common controls of the original platform have no counterpart here.
    int display = startWindows();
    StringBufferInit();
    return display && MainHeap && ListHeap ? RUNTIME_READY : RUNTIME_FAILED;
}

void RuntimeEnd(WindowCloseAllProc closeWindows) {
    closeWindows();
    LibraryCloseAll();
    FileCloseAll();
    HeapDestroy(ListHeap);
    ListHeap = nullptr;
}

void MainHeapDestroy() {
    HeapDestroy(MainHeap);
    MainHeap = nullptr;
    StringBuffer = nullptr;
    StringTop = nullptr;
    memset(&FileTable, 0, sizeof FileTable);
    memset(&LibraryTable, 0, sizeof LibraryTable);
}
