#pragma once

// Broadcast texts (service names, event names and texts) in DVB text: a byte string whose first
// byte may select a character table. Decoded to UTF-16 without a terminating zero.

#include "StreamwellExport.h"
#include "platform.h"

// With capacity 0 answers how many units the text gives; otherwise writes at most capacity units
// into out and answers how many it wrote. Writing with a capacity of at least the count writes the
// count; a shorter capacity writes the text's start, except for the selectors converted through
// the device's ANSI code page, which then write nothing. Nothing beyond text[length - 1] is read. A negative length or capacity, or a capacity
// without out, gives 0.
STREAMWELL_API int DecodeDvbText(const unsigned char* text, int length, WCHAR* out, int capacity);
