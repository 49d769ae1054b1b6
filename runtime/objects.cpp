#include "runtime/objects.h"

#include "runtime/heap.h"

#include <cstring>

static ObjectNode *NodeOf(void *payload) {
    return static_cast<ObjectNode *>(payload) - 1;
}

void *ListAdd(ObjectNode **list, size_t payloadSize) {
    ObjectNode *node = static_cast<ObjectNode *>(
        HeapAlloc(ListHeap, HEAP_ZERO_MEMORY, sizeof(ObjectNode) + payloadSize));
    if (!node)
        return nullptr;
    node->next = *list;
    if (*list)
        (*list)->prev = node;
    *list = node;
    return node + 1;
}

void ListRemove(ObjectNode **list, void *payload) {
    if (!payload)
        return;
    ObjectNode *node = NodeOf(payload);
    if (node->prev)
        node->prev->next = node->next;
    else
        *list = node->next;
    if (node->next)
        node->next->prev = node->prev;
    HeapFree(ListHeap, node);
}

void *ListFirst(ObjectNode *list) {
    return list ? list + 1 : nullptr;
}

void *ListNext(void *payload) {
    ObjectNode *next = NodeOf(payload)->next;
    return next ? next + 1 : nullptr;
}

int ListHolds(ObjectNode *list, const void *payload) {
    for (ObjectNode *node = list; node; node = node->next)
        if (node + 1 == payload)
            return 1;
    return 0;
}

static size_t HeldRecords(const ObjectTable *table) {
    return table->records ? size_t(table->capacity) + size_t(table->extraRecords) : 0;
}

int ObjectTableInit(ObjectTable *table, uint32_t recordSize, int32_t growth, int32_t extraRecords,
                    int closeDescending) {
    table->recordSize = recordSize;
    table->growth = growth;
    table->extraRecords = extraRecords;
    table->closeDescending = closeDescending;
    table->list = nullptr;
    table->capacity = OBJECT_INITIAL_CAPACITY;
    size_t held = size_t(OBJECT_INITIAL_CAPACITY) + size_t(extraRecords);
    table->records =
        static_cast<unsigned char *>(HeapAlloc(MainHeap, HEAP_ZERO_MEMORY, held * recordSize));
    if (!table->records) {
        table->capacity = 0;
        return 0;
    }
    return 1;
}

void *ObjectFind(const ObjectTable *table, intptr_t number) {
    if (number >= 0 && number <= table->capacity) {
        if (size_t(number) >= HeldRecords(table))
            return nullptr;
        return table->records + size_t(number) * table->recordSize;
    }
    void *payload = reinterpret_cast<void *>(number);
    return ListHolds(table->list, payload) ? payload : nullptr;
}

void *ObjectOpen(ObjectTable *table, int32_t number) {
    if (number == OBJECT_ANY)
        return ListAdd(&table->list, table->recordSize);
    if (number < 0 || number > OBJECT_NUMBER_MAX)
        return nullptr;
    if (number >= table->capacity) {
        int32_t capacity = number + table->growth;
        size_t bytes = (size_t(capacity) + size_t(table->extraRecords)) * table->recordSize;
        void *records = HeapReAlloc(MainHeap, HEAP_ZERO_MEMORY, table->records, bytes);
        if (!records)
            return nullptr;
        table->records = static_cast<unsigned char *>(records);
        table->capacity = capacity;
    }
    return table->records + size_t(number) * table->recordSize;
}

void ObjectRelease(ObjectTable *table, intptr_t number) {
    void *record = ObjectFind(table, number);
    if (!record)
        return;
    if (number >= 0 && number <= table->capacity)
        memset(record, 0, table->recordSize);
    else
        ListRemove(&table->list, record);
}

void ObjectCloseAll(ObjectTable *table, void (*close)(intptr_t number)) {
    void *payload = ListFirst(table->list);
    while (payload) {
        void *next = ListNext(payload);
        close(reinterpret_cast<intptr_t>(payload));
        payload = next;
    }
    if (table->closeDescending) {
        for (int32_t number = table->capacity - 1; number >= 0; number--)
            close(number);
    } else {
        for (int32_t number = 0; number < table->capacity; number++)
            close(number);
    }
}
