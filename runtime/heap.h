// Private heaps: blocks come from malloc one by one and stay linked to their heap, so that
// destroying a heap frees every block still in it. Every call is serialised by the heap's
// own lock, so a heap may be used from any thread.
#pragma once
#include <cstddef>
#include <cstdint>

struct Heap;

enum : uint32_t {
    HEAP_ZERO_MEMORY = 0x08, // HeapAlloc, HeapReAlloc: zero-fill the new bytes
};

extern Heap *MainHeap; // string variables, arrays, StringBuffer, object tables
extern Heap *ListHeap; // the nodes of the object lists

// Returns the new heap, or null. Blocks are taken from malloc as they are asked for, so
// `initialSize` reserves nothing; it is kept only as a hint of the expected use.
Heap *HeapCreate(size_t initialSize);
// Frees every block still in the heap, then the heap itself. A null heap is ignored.
void HeapDestroy(Heap *heap);
// Returns a block of `size` bytes (16-byte aligned), or null.
void *HeapAlloc(Heap *heap, uint32_t flags, size_t size);
// Resizes a block of this heap, keeping its contents; with HEAP_ZERO_MEMORY the grown
// part is zero-filled. A null block is allocated afresh. On failure returns null and the
// old block stays valid.
void *HeapReAlloc(Heap *heap, uint32_t flags, void *block, size_t size);
// Returns a block to its heap: 1, or 0 (and nothing freed) when the block is null or
// belongs to another heap.
int HeapFree(Heap *heap, void *block);
// Number of blocks currently allocated from the heap.
size_t HeapBlockCount(Heap *heap);
