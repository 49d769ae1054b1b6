// Strings: 8-bit, NUL-terminated. Expressions are built in StringBuffer without allocation:
// each writing operation puts its piece at StringTop, ends it with a NUL and leaves StringTop
// on that NUL, so the next piece follows. The caller notes StringTop before the expression
// and puts it back after using the result in place. Main thread only.
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

// Writing operations: 1 when the piece went in whole, 0 when it was cut. Null text reads as
// the empty string.
int StrAppend(const char *text);
// Decimal text of a signed 32-bit value.
int StrFromInt(int32_t value);
