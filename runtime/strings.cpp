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

// Finishes a piece of `written` characters already at StringTop.
static int EndPiece(int32_t written, int whole) {
    StringTop += written;
    *StringTop = 0;
    if (!whole)
        StringCut = 1;
    return whole;
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
    return EndPiece(int32_t(count), count == length);
}

int StrAppend(const char *text) {
    return text ? PutBytes(text, strlen(text)) : PutBytes("", 0);
}

int StrFromMemory(const void *address) {
    return StrAppend(static_cast<const char *>(address));
}

int StrMid(const char *text, int32_t start, int32_t length) {
    if (!text || length <= 0)
        return PutBytes("", 0);
    for (int32_t skip = start > 1 ? start - 1 : 0; skip > 0 && *text; skip--)
        text++;
    return PutBytes(text, strnlen(text, size_t(length)));
}

int StrSpaces(int32_t count) {
    int32_t room = Room();
    if (room < 0) {
        StringCut = 1;
        return 0;
    }
    if (count < 0)
        count = 0;
    int32_t written = count < room ? count : room;
    memset(StringTop, ' ', size_t(written));
    return EndPiece(written, written == count);
}

int StrFromInt(int32_t value) {
    char text[16];
    int length = snprintf(text, sizeof text, "%" PRId32, value);
    return PutBytes(text, size_t(length));
}

static int CopyToVariable(char **variable, const char *text, size_t length, int freeOld) {
    char *block = static_cast<char *>(HeapAlloc(MainHeap, 0, length + 1));
    if (block) {
        memcpy(block, text, length);
        block[length] = 0;
    }
    // Freed after the copy, so that a variable may be assigned from its own text.
    if (freeOld)
        StrFree(*variable);
    *variable = block;
    return block != nullptr;
}

int StrStore(char **variable, const char *start) {
    if (!StringBuffer || start < StringBuffer || start > StringTop)
        return 0;
    int stored = CopyToVariable(variable, start, size_t(StringTop - start), 1);
    StringTop = const_cast<char *>(start);
    return stored;
}

int StrAssign(char **variable, const char *text) {
    if (!text) {
        StrFree(*variable);
        *variable = nullptr;
        return 1;
    }
    return CopyToVariable(variable, text, strlen(text), 1);
}

int StrAssignFresh(char **variable, const char *text) {
    *variable = nullptr;
    return text ? CopyToVariable(variable, text, strlen(text), 0) : 1;
}

void StrFree(char *block) {
    HeapFree(MainHeap, block);
}

int32_t StrLen(const char *text) {
    return text ? int32_t(strlen(text)) : 0;
}

int32_t StrAsc(const char *text) {
    return text ? int32_t(static_cast<unsigned char>(*text)) : 0;
}

int32_t StrToInt(const char *text) {
    if (!text)
        return 0;
    while (*text == ' ')
        text++;
    int negative = *text == '-';
    if (*text == '-' || *text == '+')
        text++;
    uint32_t value = 0;
    for (; *text >= '0' && *text <= '9'; text++)
        value = value * 10u + uint32_t(*text - '0');
    return int32_t(negative ? 0u - value : value);
}

int StrEqual(const char *a, const char *b) {
    return strcmp(a ? a : "", b ? b : "") == 0;
}
