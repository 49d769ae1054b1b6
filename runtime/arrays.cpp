#include "runtime/arrays.h"

#include "runtime/heap.h"

// Element blocks above this are refused rather than attempted: the counts are 32-bit.
constexpr int64_t ARRAY_MAX_BYTES = INT32_MAX;

ArrayHeader *ArrayHeaderOf(void *elements) {
    return static_cast<ArrayHeader *>(elements) - 1;
}

static int Allocate(const void *layout, void **variable, int32_t typeCode, int64_t count,
                    int32_t elementSize) {
    *variable = nullptr;
    if (count <= 0 || elementSize < 0 || count * elementSize > ARRAY_MAX_BYTES)
        return 0;
    ArrayHeader *header = static_cast<ArrayHeader *>(
        HeapAlloc(MainHeap, HEAP_ZERO_MEMORY, sizeof(ArrayHeader) + size_t(count * elementSize)));
    if (!header)
        return 0;
    header->layout = layout;
    header->variable = variable;
    header->highestIndex = int32_t(count - 1);
    header->typeCode = typeCode;
    *variable = header + 1;
    return 1;
}

int ArrayDim(const void *layout, void **variable, int32_t typeCode, int32_t highestIndex,
             int32_t elementSize) {
    return Allocate(layout, variable, typeCode, int64_t(highestIndex) + 1, elementSize);
}

int ArrayDimMulti(const void *layout, ArrayVariable *variable, int32_t dimensionCount,
                  int32_t typeCode, int32_t elementSize) {
    variable->elements = nullptr;
    if (dimensionCount < 1 || dimensionCount > ARRAY_MAX_DIMENSIONS)
        return 0;
    int64_t count = 1;
    for (int32_t i = 0; i < dimensionCount; i++) {
        if (variable->dims[i] <= 0)
            return 0;
        count *= variable->dims[i];
        if (count > ARRAY_MAX_BYTES)
            return 0;
    }
    if (!Allocate(layout, &variable->elements, typeCode, count, elementSize))
        return 0;
    // Strides from the last index outwards: each is the product of the sizes after it.
    int64_t stride = variable->dims[dimensionCount - 1];
    for (int32_t i = dimensionCount - 2; i >= 0; i--) {
        int64_t size = variable->dims[i];
        variable->dims[i] = int32_t(stride);
        stride *= size;
    }
    return 1;
}

void ArrayFree(void *elements) {
    if (elements)
        HeapFree(MainHeap, ArrayHeaderOf(elements));
}
