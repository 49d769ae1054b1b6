// Object lists and numbered object tables: how windows, libraries and files are named by
// small numbers. Single-threaded: the owner of a table or list must not change it while
// another thread reads it.
//
// Object list: doubly linked nodes in ListHeap, newest at the front. A node's payload
// follows its two links and is zero-filled; its address is what the owner hands out.
//
// ObjectTable: `capacity` numbered records of `recordSize` bytes in MainHeap, zero-filled,
// plus `extraRecords` more at the end (the window table holds capacity + 2). A record whose
// first field is 0 is empty. Numbers:
//   - 0..capacity (both included) name a record; one the array does not hold reads as none;
//   - OBJECT_ANY (-1), when opening, puts the record into a node of the table's own list,
//     and the node's payload address becomes the object's number;
//   - any other number is taken as such an address (a lookup gives none unless the address
//     is a live node of the table's list).
// Typical open:  rec = ObjectOpen(&t, n); if (n != OBJECT_ANY) close what rec holds;
//                fill rec; number = n == OBJECT_ANY ? intptr_t(rec) : n.
// Typical close: rec = ObjectFind(&t, n); if (!rec || empty) return; release the object;
//                ObjectRelease(&t, n) (or, for a numbered slot, clear just the fields wanted).
#pragma once
#include <cstddef>
#include <cstdint>

constexpr int32_t OBJECT_ANY = -1;
// Numbers above this are refused: a table is a plain array, so a stray huge number would
// otherwise reserve gigabytes.
constexpr int32_t OBJECT_NUMBER_MAX = 65535;
constexpr int32_t OBJECT_INITIAL_CAPACITY = 10;

struct ObjectNode {
    ObjectNode *next;
    ObjectNode *prev;
};

// Adds a zero-filled node with `payloadSize` bytes at the front of `*list`; returns its
// payload, or null when ListHeap cannot give the node.
void *ListAdd(ObjectNode **list, size_t payloadSize);
// Unlinks the node of `payload` from `*list` and frees it. Null is ignored.
void ListRemove(ObjectNode **list, void *payload);
// Walking from the newest node: payload of the first node / of the one after `payload`,
// or null at the end.
void *ListFirst(ObjectNode *list);
void *ListNext(void *payload);
// 1 when `payload` is the payload of a node in `list`.
int ListHolds(ObjectNode *list, const void *payload);

struct ObjectTable {
    unsigned char *records; // capacity + extraRecords records in MainHeap
    int32_t capacity;
    uint32_t recordSize;
    int32_t growth;       // opening number n >= capacity grows the capacity to n + growth
    int32_t extraRecords; // records held beyond the capacity
    int closeDescending;  // ObjectCloseAll walks the slots from capacity - 1 down to 0
    ObjectNode *list;     // the unnumbered objects
};

// Sets up an empty table of OBJECT_INITIAL_CAPACITY numbers. Returns 1, or 0 when MainHeap
// cannot hold the records (the table then has capacity 0 and every open fails).
int ObjectTableInit(ObjectTable *table, uint32_t recordSize, int32_t growth, int32_t extraRecords,
                    int closeDescending);
// The record named by `number`, or null (see the numbering above).
void *ObjectFind(const ObjectTable *table, intptr_t number);
// The record to open `number` in: a new zero-filled list node for OBJECT_ANY, else the
// numbered record, growing the table first when number >= capacity (which moves the
// records: pointers taken earlier are stale). Null for numbers below -1 or above
// OBJECT_NUMBER_MAX and when memory runs out.
void *ObjectOpen(ObjectTable *table, int32_t number);
// Frees the node of an unnumbered object; zero-fills a numbered record.
void ObjectRelease(ObjectTable *table, intptr_t number);
// Calls `close` for every unnumbered object, newest first, then for every numbered slot
// (empty or not) in the table's order. `close` may release the object it is given.
void ObjectCloseAll(ObjectTable *table, void (*close)(intptr_t number));
