// Private heaps of Windows: each Heap is a system heap, so destroying it frees every block.
#include "runtime/heap.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

namespace {

constexpr DWORD HEAP_OPTIONS = 0; // serialised: the player's thread may allocate too
constexpr SIZE_T HEAP_NO_MAXIMUM = 0;

HANDLE System(Heap *heap) {
    return reinterpret_cast<HANDLE>(heap);
}

// A block of another heap is refused, as the portable heaps do, instead of corrupting both.
bool Owns(Heap *heap, void *block) {
    return HeapValidate(System(heap), 0, block) != FALSE;
}

} // namespace

Heap *MainHeap;
Heap *ListHeap;

Heap *HeapCreate(size_t initialSize) {
    return reinterpret_cast<Heap *>(HeapCreate(HEAP_OPTIONS, initialSize, HEAP_NO_MAXIMUM));
}

void HeapDestroy(Heap *heap) {
    if (heap)
        HeapDestroy(System(heap));
}

void *HeapAlloc(Heap *heap, uint32_t flags, size_t size) {
    if (!heap)
        return nullptr;
    return HeapAlloc(System(heap), flags & HEAP_ZERO_MEMORY, size);
}

void *HeapReAlloc(Heap *heap, uint32_t flags, void *block, size_t size) {
    if (!block)
        return HeapAlloc(heap, flags, size);
    if (!heap || !Owns(heap, block))
        return nullptr;
    return HeapReAlloc(System(heap), flags & HEAP_ZERO_MEMORY, block, size);
}

int HeapFree(Heap *heap, void *block) {
    if (!heap || !block || !Owns(heap, block))
        return 0;
    return HeapFree(System(heap), 0, block) ? 1 : 0;
}

size_t HeapBlockCount(Heap *heap) {
    if (!heap)
        return 0;
    size_t blocks = 0;
    PROCESS_HEAP_ENTRY entry = {};
    HeapLock(System(heap));
    while (HeapWalk(System(heap), &entry))
        if (entry.wFlags & PROCESS_HEAP_ENTRY_BUSY)
            blocks++;
    HeapUnlock(System(heap));
    return blocks;
}
