#include "runtime/strings.h"

#include "runtime/heap.h"

#include <cinttypes>
#include <cstdio>
#include <cstring>

char *StringBuffer;
char *StringTop;
int StringCut;

int StringBufferInit() {
    StringBuffer = static_cast<char *>(HeapAlloc(MainHeap, HEAP_ZERO_MEMORY, STRING_BUFFER_SIZE));
    StringTop = StringBuffer;
    return StringBuffer != nullptr;
}

// Room for characters at StringTop, keeping one byte for the NUL; -1 when StringTop does
// not lie in the buffer at all.
static int32_t Room() {
    if (!StringBuffer || StringTop < StringBuffer || StringTop >= StringBuffer + STRING_BUFFER_SIZE)
        return -1;
    return int32_t(StringBuffer + STRING_BUFFER_SIZE - 1 - StringTop);
}

// Copies `length` bytes from `source` (which may lie in the buffer) to StringTop.
static int PutBytes(const char *source, size_t length) {
    int32_t room = Room();
    if (room < 0) {
        StringCut = 1;
        return 0;
    }
    size_t count = length < size_t(room) ? length : size_t(room);
    memmove(StringTop, source, count);
    StringTop += count;
    *StringTop = 0;
    if (count != length)
        StringCut = 1;
    return count == length;
}

int StrAppend(const char *text) {
    return text ? PutBytes(text, strlen(text)) : PutBytes("", 0);
}

int StrFromInt(int32_t value) {
    char text[16];
    int length = snprintf(text, sizeof text, "%" PRId32, value);
    return PutBytes(text, size_t(length));
}
