/* Calling conventions of the public interface and the outcome record every call fills.
   One part of ambrelkit2.h, the public interface of libambrelkit2-x64; hosts include that file. */
#ifndef AMBRELKIT2_BASE_H
#define AMBRELKIT2_BASE_H

#include <stddef.h>
#include <stdint.h>

#if defined(__cplusplus)
#define AK_EXTERN_C_BEGIN extern "C" {
#define AK_EXTERN_C_END }
#define AK_STATIC_ASSERT(condition, name) static_assert(condition, #name)
#else
#define AK_EXTERN_C_BEGIN
#define AK_EXTERN_C_END
#define AK_STATIC_ASSERT(condition, name) typedef char ak_static_assert_##name[(condition) ? 1 : -1]
#endif

/* Marks a function the library exports. */
#define AK_API __attribute__((visibility("default")))

AK_EXTERN_C_BEGIN

/* Handles. A null scanner, sensor or callback handle is refused (or, by the free and remove
   functions, ignored). The library keeps a list of the callback, dual callback and
   signal-processing handles it made and has not yet taken back: parseRawSignalDravik refuses
   any other pointer with 119, and the remove functions ignore one (a handle removed before, a
   DualCallbackHandle given to a CallbackHandle removal or the reverse, a pointer the library
   never returned), so a handle removed twice is freed once. The memory of a removed handle may
   be reused for a later one, which a stale pointer then names. Scanner and sensor handles are
   not checked: one already freed, one of another kind (a callback handle given as a sensor) or
   any other pointer the library did not return is undefined behaviour, as with a freed pointer
   in C; so is a pointer to a record or buffer smaller than the call says, or one freed while
   the call runs. */

/* Outcome of a call, filled by every function that takes one; a null pointer is
   accepted and then only the return value tells the outcome. */
typedef struct CallStatus {
    uint8_t Success;    /* 1: the call did its work, 0: it failed */
    uint32_t Error;     /* 0 on success, otherwise the error code */
    char ErrorMsg[512]; /* terminated text, at most 511 characters; empty on success */
} CallStatus;

AK_STATIC_ASSERT(sizeof(CallStatus) == 520, call_status_size);
AK_STATIC_ASSERT(offsetof(CallStatus, Success) == 0, call_status_success_offset);
AK_STATIC_ASSERT(offsetof(CallStatus, Error) == 4, call_status_error_offset);
AK_STATIC_ASSERT(offsetof(CallStatus, ErrorMsg) == 8, call_status_message_offset);

AK_EXTERN_C_END

#endif /* AMBRELKIT2_BASE_H */
