// Strings: 8-bit, NUL-terminated; null reads as the empty string everywhere. Expressions
// are built in StringBuffer without allocation: each writing operation puts its piece at
// StringTop, ends it with a NUL and leaves StringTop on that NUL, so the next piece follows.
// The caller notes StringTop before the expression and afterwards either stores the result
// (StrStore) or uses it in place and puts StringTop back itself. Main thread only.
//
// Writes never pass the end of StringBuffer: a piece that does not fit is cut so that its
// NUL lands on the buffer's last byte; the operation then returns 0 and sets StringCut.
#pragma once
#include <cstdint>

constexpr int32_t STRING_BUFFER_SIZE = 64000;

extern char *StringBuffer; // STRING_BUFFER_SIZE bytes from MainHeap, zero-filled at start
extern char *StringTop;    // the NUL of the string being built
// Set by every write that was cut, never cleared by the string operations: clear it before
// an expression whose result must be whole (a file name) and test it afterwards.
extern int StringCut;

// Takes STRING_BUFFER_SIZE zero-filled bytes from MainHeap and puts StringTop at their start.
// Returns 1, or 0 when MainHeap cannot give them (every later write is then cut to nothing).
int StringBufferInit();

// Writing operations: 1 when the piece went in whole, 0 when it was cut.
int StrAppend(const char *text);
// Like StrAppend, for bytes found at an address (null gives the empty string).
int StrFromMemory(const void *address);
// Skips start - 1 characters (none for start <= 1), then copies up to `length` of them;
// both stop at the NUL. A length <= 0 gives the empty string.
int StrMid(const char *text, int32_t start, int32_t length);
// `count` spaces; a negative count gives none.
int StrSpaces(int32_t count);
// Decimal text of a signed 32-bit value.
int StrFromInt(int32_t value);

// Copies the string built from `start` up to StringTop into a new MainHeap block, frees the
// variable's old block, and puts StringTop back to `start`. Returns 1, or 0 when the block
// cannot be had (the variable is then null) or `start` does not lie in StringBuffer at or
// below StringTop (nothing changes).
int StrStore(char **variable, const char *start);
// Replaces the variable's block with a copy of `text`; null text leaves the variable null.
// Returns 1, or 0 when the block cannot be had (the variable is then null).
int StrAssign(char **variable, const char *text);
// StrAssign for a fresh variable (a parameter) whose content is garbage: nothing is freed.
int StrAssignFresh(char **variable, const char *text);
// Returns a string block to MainHeap; null is ignored.
void StrFree(char *block);

int32_t StrLen(const char *text);
// The first byte as 0..255; 0 for the empty string.
int32_t StrAsc(const char *text);
// Leading spaces (0x20 only), one optional sign, the longest run of digits; the digits'
// value modulo 2^32, negated for '-'. No digits give 0.
int32_t StrToInt(const char *text);
// 1 when byte for byte equal, else 0.
int StrEqual(const char *a, const char *b);
