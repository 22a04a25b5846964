/* The public header must compile as strict C99; the C++ tests compare what C sees. */
#include "sdk/api/include/ambrelkit2.h"

size_t akCallStatusSizeInC(void) { return sizeof(CallStatus); }
size_t akCallStatusErrorOffsetInC(void) { return offsetof(CallStatus, Error); }
size_t akCallStatusMessageOffsetInC(void) { return offsetof(CallStatus, ErrorMsg); }
