// The modal message box: disables the calling thread's windows while it is up.
#pragma once
#include <cstdint>

// Returns the pressed button (IDOK, IDYES, IDNO), or 0 when no box can be shown.
int32_t ShowMessage(const char *caption, const char *text, uint32_t flags);
void ShowMessageOk(const char *caption, const char *text);
