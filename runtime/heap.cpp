#include "runtime/heap.h"

#include <cstdlib>
#include <cstring>
#include <pthread.h>

// Prefix of every block: links within its heap, the owner (to refuse foreign blocks) and
// the size (for HeapReAlloc's zero-fill). 32 bytes keep the payload 16-byte aligned.
struct alignas(16) HeapBlock {
    HeapBlock *prev;
    HeapBlock *next;
    Heap *owner;
    size_t size;
};

struct Heap {
    pthread_mutex_t lock;
    HeapBlock *first;
    size_t blocks;
};

Heap *MainHeap;
Heap *ListHeap;

static HeapBlock *BlockOf(void *payload) {
    return static_cast<HeapBlock *>(payload) - 1;
}

static void LinkBlock(Heap *heap, HeapBlock *block) {
    block->prev = nullptr;
    block->next = heap->first;
    if (heap->first)
        heap->first->prev = block;
    heap->first = block;
    heap->blocks++;
}

static void UnlinkBlock(Heap *heap, HeapBlock *block) {
    if (block->prev)
        block->prev->next = block->next;
    else
        heap->first = block->next;
    if (block->next)
        block->next->prev = block->prev;
    heap->blocks--;
}

Heap *HeapCreate(size_t initialSize) {
    (void)initialSize;
    Heap *heap = static_cast<Heap *>(malloc(sizeof(Heap)));
    if (!heap)
        return nullptr;
    pthread_mutex_init(&heap->lock, nullptr);
    heap->first = nullptr;
    heap->blocks = 0;
    return heap;
}

void HeapDestroy(Heap *heap) {
    if (!heap)
        return;
    HeapBlock *block = heap->first;
    while (block) {
        HeapBlock *next = block->next;
        free(block);
        block = next;
    }
    pthread_mutex_destroy(&heap->lock);
    free(heap);
}

void *HeapAlloc(Heap *heap, uint32_t flags, size_t size) {
    if (!heap || size > SIZE_MAX - sizeof(HeapBlock))
        return nullptr;
    HeapBlock *block = static_cast<HeapBlock *>(malloc(sizeof(HeapBlock) + size));
    if (!block)
        return nullptr;
    block->owner = heap;
    block->size = size;
    if (flags & HEAP_ZERO_MEMORY)
        memset(block + 1, 0, size);
    pthread_mutex_lock(&heap->lock);
    LinkBlock(heap, block);
    pthread_mutex_unlock(&heap->lock);
    return block + 1;
}

void *HeapReAlloc(Heap *heap, uint32_t flags, void *payload, size_t size) {
    if (!payload)
        return HeapAlloc(heap, flags, size);
    if (!heap || size > SIZE_MAX - sizeof(HeapBlock) || BlockOf(payload)->owner != heap)
        return nullptr;
    pthread_mutex_lock(&heap->lock);
    HeapBlock *old = BlockOf(payload);
    size_t oldSize = old->size;
    // Unlinked while realloc may move it; relinked whichever way it goes.
    UnlinkBlock(heap, old);
    HeapBlock *block = static_cast<HeapBlock *>(realloc(old, sizeof(HeapBlock) + size));
    if (!block) {
        LinkBlock(heap, old);
        pthread_mutex_unlock(&heap->lock);
        return nullptr;
    }
    block->size = size;
    LinkBlock(heap, block);
    pthread_mutex_unlock(&heap->lock);
    if ((flags & HEAP_ZERO_MEMORY) && size > oldSize)
        memset(reinterpret_cast<unsigned char *>(block + 1) + oldSize, 0, size - oldSize);
    return block + 1;
}

int HeapFree(Heap *heap, void *payload) {
    if (!heap || !payload)
        return 0;
    HeapBlock *block = BlockOf(payload);
    if (block->owner != heap)
        return 0;
    pthread_mutex_lock(&heap->lock);
    UnlinkBlock(heap, block);
    pthread_mutex_unlock(&heap->lock);
    free(block);
    return 1;
}

size_t HeapBlockCount(Heap *heap) {
    if (!heap)
        return 0;
    pthread_mutex_lock(&heap->lock);
    size_t blocks = heap->blocks;
    pthread_mutex_unlock(&heap->lock);
    return blocks;
}
