/* Guarded memory, result checks, waits and the device list of the misuse program. */
#define _DEFAULT_SOURCE /* MAP_ANONYMOUS */

#include "MisuseHarness.h"

#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/mman.h>
#include <time.h>
#include <unistd.h>

/* The addresses the launcher serves its devices at. */
Device devices[DEVICE_COUNT] = {
    {"Tessel", SensorFamilyTessel, 0, "C0:FF:EE:00:A0:01", NULL},
    {"Morvex", SensorFamilyMorvex, 0, "C0:FF:EE:00:A0:03", NULL},
    {"MorvexBlack", SensorFamilyMorvexBlack, 0, "C0:FF:EE:00:A0:04", NULL},
    {"Vondra", SensorFamilyVondra, 0, "C0:FF:EE:00:A0:05", NULL},
    {"Vondra2", SensorFamilyVondra2, 3, "C0:FF:EE:00:A0:06", NULL},
    {"Lorrel", SensorFamilyLorrel, 2, "C0:FF:EE:00:A0:11", NULL},
    {"Wrenlet", SensorFamilyLorrel, 4, "C0:FF:EE:00:A0:12", NULL},
    {"Dravik", SensorFamilyDravik, 0, "C0:FF:EE:00:A0:14", NULL},
    {"Dravik without stimulator", SensorFamilyDravik, 0, "C0:FF:EE:00:A0:15", NULL},
    {"Morvex2", SensorFamilyMorvex2Model2, 2, "C0:FF:EE:00:A0:18", NULL},
    {"PhotoStim", SensorFamilyPhotoStim, 0, "C0:FF:EE:00:A0:21", NULL},
};

Device* device_of(uint8_t family, uint8_t model) {
    int i;
    for (i = 0; i < DEVICE_COUNT; ++i) {
        if (devices[i].family == family && devices[i].model == model) return &devices[i];
    }
    return NULL;
}

static unsigned char* slots[GUARD_SLOTS];
static size_t page_size;

void guard_init(void) {
    int slot;
    page_size = (size_t)sysconf(_SC_PAGESIZE);
    for (slot = 0; slot < GUARD_SLOTS; ++slot) {
        unsigned char* pages = mmap(NULL, 2 * page_size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (pages == MAP_FAILED || mprotect(pages + page_size, page_size, PROT_NONE) != 0) {
            perror("guard pages");
            exit(2);
        }
        slots[slot] = pages;
    }
}

void* guarded(int slot, size_t size) {
    unsigned char* bytes;
    if (size > page_size) {
        fprintf(stderr, "a guarded buffer of %zu bytes does not fit a page\n", size);
        exit(2);
    }
    bytes = slots[slot] + page_size - size;
    memset(slots[slot], GUARD_FILL, page_size);
    return bytes;
}

CallStatus* guarded_status(void) { return guarded(0, sizeof(CallStatus)); }

int untouched(const void* bytes, size_t size) {
    const unsigned char* p = bytes;
    size_t i;
    for (i = 0; i < size; ++i) {
        if (p[i] != GUARD_FILL) return 0;
    }
    return 1;
}

static const char* current_context = "";
static int failures;
static int checks;

void set_context(const char* context) { current_context = context; }
int failure_count(void) { return failures; }
int check_count(void) { return checks; }
void count_check(void) { ++checks; }

void fail_at(const char* file, int line, const char* format, ...) {
    va_list arguments;
    ++failures;
    fprintf(stderr, "%s:%d: [%s] ", file, line, current_context);
    va_start(arguments, format);
    vfprintf(stderr, format, arguments);
    va_end(arguments);
    fputc('\n', stderr);
}

/* A status text is terminated within its array and, for a failure, not empty. */
static int text_ends(const CallStatus* status) {
    return memchr(status->ErrorMsg, '\0', sizeof status->ErrorMsg) != NULL;
}

void expect_refused_at(const char* file, int line, const char* what, uint8_t result, const CallStatus* status) {
    ++checks;
    if (result != 0) {
        fail_at(file, line, "%s: answered %u, expected a refusal", what, (unsigned)result);
    } else if (status->Success != 0 || status->Error == 0 || !text_ends(status) || status->ErrorMsg[0] == '\0') {
        fail_at(file, line, "%s: refused without a clear status (Success %u, Error %u, text \"%.64s\")", what,
                (unsigned)status->Success, (unsigned)status->Error, text_ends(status) ? status->ErrorMsg : "");
    }
}

void expect_code_at(const char* file, int line, const char* what, uint8_t result, const CallStatus* status,
                    uint32_t code) {
    expect_refused_at(file, line, what, result, status);
    ++checks;
    if (result == 0 && status->Error != code) {
        fail_at(file, line, "%s: refused with %u \"%s\", expected %u", what, (unsigned)status->Error, status->ErrorMsg,
                (unsigned)code);
    }
}

void expect_outcome_at(const char* file, int line, const char* what, uint8_t result, const CallStatus* status) {
    if (result == 0) {
        expect_refused_at(file, line, what, result, status);
        return;
    }
    ++checks;
    if (result != 1 || status->Success != 1 || status->Error != 0 || status->ErrorMsg[0] != '\0') {
        fail_at(file, line, "%s: answered %u with status (Success %u, Error %u)", what, (unsigned)result,
                (unsigned)status->Success, (unsigned)status->Error);
    }
}

void expect_for_families_at(const char* file, int line, const char* what, uint8_t result, const CallStatus* status,
                            const Device* device, uint32_t families) {
    if ((families & FAMILY_BIT(device->family)) == 0) {
        expect_refused_at(file, line, what, result, status);
    } else {
        expect_outcome_at(file, line, what, result, status);
    }
}

int64_t now_ms(void) {
    struct timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return (int64_t)now.tv_sec * 1000 + now.tv_nsec / 1000000;
}

int wait_until(int (*condition)(void*), void* argument, int deadline_ms) {
    const int64_t end = now_ms() + deadline_ms;
    const struct timespec step = {0, 5 * 1000 * 1000};
    while (!condition(argument)) {
        if (now_ms() >= end) return 0;
        nanosleep(&step, NULL);
    }
    return 1;
}
