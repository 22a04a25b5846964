/* What the misuse program's checks share: guarded memory, result checks and the devices. */
#ifndef MISUSE_HARNESS_H
#define MISUSE_HARNESS_H

#include <stddef.h>
#include <stdint.h>

#include <ambrelkit2.h>

/* ---- Families ---------------------------------------------------------------------------- */

#define FAMILY_BIT(family) (UINT32_C(1) << (family))
#define ANY_FAMILY UINT32_C(0xFFFFFFFF)
#define TESSELS (FAMILY_BIT(SensorFamilyTessel) | FAMILY_BIT(SensorFamilyTesselQuindle))
#define MORVEX2S \
    (FAMILY_BIT(SensorFamilyMorvex2Model2) | FAMILY_BIT(SensorFamilyMorvex2) | FAMILY_BIT(SensorFamilyMorvex2F))
#define MORVEXES (FAMILY_BIT(SensorFamilyMorvex) | FAMILY_BIT(SensorFamilyMorvexBlack) | MORVEX2S)

/* One emulated device the launcher serves, and its sensor once made. */
typedef struct Device {
    const char* label;
    uint8_t family;
    uint8_t model;
    const char* address;
    _Sensor* sensor;
} Device;

enum { DEVICE_COUNT = 11 };
extern Device devices[DEVICE_COUNT];
/* The device of a family (the first one), or null. */
Device* device_of(uint8_t family, uint8_t model);

/* ---- Guarded memory ---------------------------------------------------------------------
   Each slot is a page of its own followed by a page no access is allowed to: a buffer from
   guarded() ends where the slot's page ends, so a write (or read) past it faults. The bytes are
   filled with GUARD_FILL. */

enum { GUARD_SLOTS = 6, GUARD_FILL = 0xA5 };
void guard_init(void);
void* guarded(int slot, size_t size);
/* A call status in slot 0. */
CallStatus* guarded_status(void);
/* 1 when every byte still holds GUARD_FILL. */
int untouched(const void* bytes, size_t size);

/* ---- Checks -------------------------------------------------------------------------------- */

/* The device (or part) the following checks are about, printed with each failure. */
void set_context(const char* context);
void fail_at(const char* file, int line, const char* format, ...);
int failure_count(void);
int check_count(void);
void count_check(void);

#define CHECK(condition, ...)                                       \
    do {                                                            \
        count_check();                                              \
        if (!(condition)) fail_at(__FILE__, __LINE__, __VA_ARGS__); \
    } while (0)

/* A refusal: 0 returned, the status says failure with a code and a terminated, non-empty text. */
void expect_refused_at(const char* file, int line, const char* what, uint8_t result, const CallStatus* status);
/* A refusal with that code. */
void expect_code_at(const char* file, int line, const char* what, uint8_t result, const CallStatus* status,
                    uint32_t code);
/* Either outcome, told consistently: success with an empty text, or a refusal. */
void expect_outcome_at(const char* file, int line, const char* what, uint8_t result, const CallStatus* status);
/* The outcome of a call that families outside `families` must refuse. */
void expect_for_families_at(const char* file, int line, const char* what, uint8_t result, const CallStatus* status,
                            const Device* device, uint32_t families);

#define EXPECT_REFUSED(what, result, status) expect_refused_at(__FILE__, __LINE__, what, result, status)
#define EXPECT_CODE(what, result, status, code) expect_code_at(__FILE__, __LINE__, what, result, status, code)
#define EXPECT_OUTCOME(what, result, status) expect_outcome_at(__FILE__, __LINE__, what, result, status)
#define EXPECT_FOR_FAMILIES(what, result, status, device, families) \
    expect_for_families_at(__FILE__, __LINE__, what, result, status, device, families)

/* ---- Waiting ------------------------------------------------------------------------------- */

/* Polls condition(argument) every few milliseconds for up to deadline_ms; 1 once it holds. */
int wait_until(int (*condition)(void*), void* argument, int deadline_ms);
/* Milliseconds of a monotonic clock. */
int64_t now_ms(void);

/* ---- The parts of the run ------------------------------------------------------------------- */

void misuse_scanner(SensorScannerWrap* scanner);
void misuse_creation(SensorScannerWrap* scanner);
void misuse_sensor(Device* device);
void misuse_dravik_files(Device* dravik);
void misuse_amplifier_records(Device* device);
void misuse_links(void);
void misuse_processing(void);
void misuse_foreign_handles(SensorScannerWrap* scanner);
void check_stream(Device* device);

#endif
