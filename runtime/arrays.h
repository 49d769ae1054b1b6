// Arrays: one zero-filled MainHeap block, an ArrayHeader followed by the elements. The
// array variable holds the address of element 0 (null: no array). The caller frees the old
// block (ArrayFree) before dimensioning a variable again.
#pragma once
#include <cstdint>

struct ArrayHeader {
    const void *layout; // description of a structured element's strings; null when none
    void **variable;    // the array variable
    int32_t highestIndex;
    int32_t typeCode; // stored for the element's kind, not read here
};

// A multi-dimensional array variable: element 0's address, followed by one word per
// dimension. Before ArrayDimMulti the words hold the dimension sizes; afterwards every word
// but the last holds the stride of that index in elements (the last keeps its size).
// Elements are in row-major order: element (i, j, k) sits at i*dims[0] + j*dims[1] + k.
constexpr int32_t ARRAY_MAX_DIMENSIONS = 8;
struct ArrayVariable {
    void *elements;
    int32_t dims[ARRAY_MAX_DIMENSIONS];
};

// Allocates header and highestIndex + 1 zero-filled elements of `elementSize` bytes, fills
// the header and stores element 0's address in *variable. Returns 1, or 0 with *variable
// null when the block cannot be had or the sizes are negative or too big.
int ArrayDim(const void *layout, void **variable, int32_t typeCode, int32_t highestIndex,
             int32_t elementSize);
// The same for `dimensionCount` (1..ARRAY_MAX_DIMENSIONS) dimensions whose sizes are in
// variable->dims; the highest index is the element count - 1. On failure the sizes stay.
int ArrayDimMulti(const void *layout, ArrayVariable *variable, int32_t dimensionCount,
                  int32_t typeCode, int32_t elementSize);
// Returns the block of an array to MainHeap; null is ignored.
void ArrayFree(void *elements);
// The header in front of element 0.
ArrayHeader *ArrayHeaderOf(void *elements);
