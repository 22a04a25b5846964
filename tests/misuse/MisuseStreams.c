/* After the misuse, each device still streams what the emulated device sends: its signal is
   started, a few records are compared with the device's values, and it is stopped again. */
#define _POSIX_C_SOURCE 200809L

#include <math.h>
#include <pthread.h>
#include <stdio.h>
#include <string.h>

#include "MisuseHarness.h"

enum { KEPT_RECORDS = 16, KEPT_VALUES = 4 };

/* The records a signal callback received, copied on the library's thread. */
typedef struct Collected {
    pthread_mutex_t mutex;
    int count;
    uint32_t packs[KEPT_RECORDS];
    double values[KEPT_RECORDS][KEPT_VALUES];
} Collected;

static void keep(Collected* collected, uint32_t pack, const double* values, size_t count) {
    size_t i;
    pthread_mutex_lock(&collected->mutex);
    if (collected->count < KEPT_RECORDS) {
        collected->packs[collected->count] = pack;
        for (i = 0; i < KEPT_VALUES; ++i) collected->values[collected->count][i] = i < count ? values[i] : NAN;
        ++collected->count;
    }
    pthread_mutex_unlock(&collected->mutex);
}

static void on_tessel(_Sensor* s, TesselSamplesRecord* records, uint32_t count, void* user) {
    uint32_t i;
    (void)s;
    for (i = 0; i < count; ++i) keep(user, records[i].PackNum, records[i].Samples, records[i].SampleCount);
}

/* O1, O2, T3, T4 as the device's channels 0, 3, 1, 2. */
static void on_morvex(_Sensor* s, MorvexSignalRecord* records, uint32_t count, void* user) {
    uint32_t i;
    (void)s;
    for (i = 0; i < count; ++i) {
        const double values[4] = {records[i].O1, records[i].T3, records[i].T4, records[i].O2};
        keep(user, records[i].PackNum, values, 4);
    }
}

/* O1, O2, T3, T4 as the device's channels 0 to 3. */
static void on_vondra2(_Sensor* s, MorvexSignalRecord* records, uint32_t count, void* user) {
    uint32_t i;
    (void)s;
    for (i = 0; i < count; ++i) {
        const double values[4] = {records[i].O1, records[i].O2, records[i].T3, records[i].T4};
        keep(user, records[i].PackNum, values, 4);
    }
}

static void on_channels(_Sensor* s, SignalChannelsRecord* records, uint32_t count, void* user) {
    uint32_t i;
    (void)s;
    for (i = 0; i < count; ++i) keep(user, records[i].PackNum, records[i].Samples, records[i].SampleCount);
}

static void on_vondra(_Sensor* s, VondraSignalRecord* records, uint32_t count, void* user) {
    uint32_t i;
    (void)s;
    for (i = 0; i < count; ++i) keep(user, records[i].PackNum, records[i].Values, 7);
}

static int enough(void* argument) {
    Collected* collected = argument;
    int count;
    pthread_mutex_lock(&collected->mutex);
    count = collected->count;
    pthread_mutex_unlock(&collected->mutex);
    return count >= KEPT_RECORDS;
}

/* The emulated devices' values: counts of a sawtooth per channel, repeating every 65536
   records, or of a saw tooth per position. */
static double stream_count(uint32_t channel, uint32_t record) {
    const int64_t t = (int64_t)(record % 65536) * (997 + 131 * (int64_t)channel) + 123457 * (int64_t)channel;
    return (double)(int32_t)(t % 2000001 - 1000000);
}
static double tessel_count(uint32_t pack, uint32_t position) {
    return (double)(int16_t)((int32_t)((pack * (position + 1) * 97) % 60001) - 30000);
}

/* The first Morvex generation's triangle per electrode, two samples a pack. */
static double morvex_count(uint32_t electrode, uint32_t pack, uint32_t sample) {
    static const int64_t slope[4] = {20011, 7919, 31607, 12289};
    static const int64_t phase[4] = {0, 1234567, 2500001, 3333333};
    const int64_t amplitude = 1000000;
    const int64_t t = ((2 * (int64_t)pack + sample) * slope[electrode] + phase[electrode]) % (4 * amplitude);
    return (double)(t < 2 * amplitude ? t - amplitude : 3 * amplitude - t);
}

/* What the device sends on a channel of a record: a count, or Dravik's volts. */
static double device_value(const Device* device, uint32_t pack, uint32_t sample, uint32_t channel) {
    switch (device->family) {
    case SensorFamilyTessel: return tessel_count(pack, channel);
    case SensorFamilyMorvex: return morvex_count(channel, pack, sample);
    case SensorFamilyDravik: return 0.0001 * (channel + 1);
    default: return stream_count(channel, pack);
    }
}

/* Volts per count at the devices' start-up gain (x6, Dravik's values being volts already); NAN
   where the library's scale is its own (the Morvex gain table, the MorvexBlack's reference):
   there the first record gives it and every other value must follow it. */
static double volts_per_count(const Device* device) {
    const double reference = (double)2.4f;
    switch (device->family) {
    case SensorFamilyTessel: return 8.0 * (2.42 / 8388607.0) / 6.0;
    case SensorFamilyMorvex2Model2:
    case SensorFamilyVondra2:
    case SensorFamilyLorrel: return reference / (8388607.0 * 6.0);
    case SensorFamilyVondra: return 4.5 / (8388607.0 * 6.0);
    case SensorFamilyDravik: return 1.0;
    default: return NAN;
    }
}

/* The records against the device's values, in order (the first Morvex generation sends two
   records a pack, the first of each pair its first sample). */
static void compare(const Device* device, Collected* collected) {
    double scale = volts_per_count(device);
    const double tolerance = device->family == SensorFamilyDravik ? 1e-7 : 0.0;
    const double relative = isnan(scale) ? 1e-9 : 1e-12;
    uint32_t sample = 0;
    uint32_t channel;
    int i;
    for (i = 0; i < collected->count; ++i) {
        const uint32_t pack = collected->packs[i];
        if (i > 0) {
            CHECK(pack >= collected->packs[i - 1], "pack %u after %u", (unsigned)pack,
                  (unsigned)collected->packs[i - 1]);
            sample = pack == collected->packs[i - 1] ? sample + 1 : 0;
        }
        if (isnan(scale) && device_value(device, pack, sample, 0) != 0) {
            scale = collected->values[i][0] / device_value(device, pack, sample, 0);
        }
        for (channel = 0; channel < KEPT_VALUES; ++channel) {
            const double value = collected->values[i][channel];
            const double expected = scale * device_value(device, pack, sample, channel);
            CHECK(!isnan(expected) && fabs(value - expected) <= tolerance + fabs(expected) * relative,
                  "pack %u channel %u is %.17g, the device sent %.17g", (unsigned)pack, (unsigned)channel, value,
                  expected);
        }
    }
    CHECK(!isnan(scale) && scale > 0, "no scale of the device's values: %g", scale);
}

static uint8_t add_signal(Device* device, Collected* collected, CallbackHandle** handle, DualCallbackHandle** dual,
                          CallStatus* status) {
    switch (device->family) {
    case SensorFamilyTessel: return addSignalCallbackTessel(device->sensor, on_tessel, handle, collected, status);
    case SensorFamilyMorvex:
    case SensorFamilyMorvexBlack:
        return addSignalDataCallbackMorvex(device->sensor, on_morvex, dual, collected, status);
    case SensorFamilyMorvex2Model2:
        return addSignalCallbackMorvex2(device->sensor, on_channels, handle, collected, status);
    case SensorFamilyVondra: return addSignalDataCallbackVondra(device->sensor, on_vondra, handle, collected, status);
    case SensorFamilyVondra2:
        return addSignalDataCallbackVondra2(device->sensor, on_vondra2, handle, collected, status);
    case SensorFamilyLorrel: return addSignalDataCallbackLorrel(device->sensor, on_morvex, handle, collected, status);
    case SensorFamilyDravik: return addSignalCallbackDravik(device->sensor, on_channels, handle, collected, status);
    default: return 0;
    }
}

static void remove_signal(Device* device, CallbackHandle* handle, DualCallbackHandle* dual) {
    switch (device->family) {
    case SensorFamilyTessel: removeSignalCallbackTessel(handle); break;
    case SensorFamilyMorvex:
    case SensorFamilyMorvexBlack: removeSignalDataCallbackMorvex(dual); break;
    case SensorFamilyMorvex2Model2: removeSignalCallbackMorvex2(handle); break;
    case SensorFamilyVondra: removeSignalDataCallbackVondra(handle); break;
    case SensorFamilyVondra2: removeSignalDataCallbackVondra2(handle); break;
    case SensorFamilyLorrel: removeSignalDataCallbackLorrel(handle); break;
    case SensorFamilyDravik: removeSignalCallbackDravik(handle); break;
    default: break;
    }
}

void check_stream(Device* device) {
    Collected collected;
    CallbackHandle* handle = NULL;
    DualCallbackHandle* dual = NULL;
    CallStatus status;
    char context[64];
    snprintf(context, sizeof context, "%s stream", device->label);
    set_context(context);
    memset(&collected, 0, sizeof collected);
    pthread_mutex_init(&collected.mutex, NULL);

    if (device->family == SensorFamilyPhotoStim) {
        int32_t battery = -1;
        CHECK(readBattPowerSensor(device->sensor, &battery, &status) == 1 && battery >= 0 && battery <= 100,
              "the stimulator no longer answers: %s", status.ErrorMsg);
        pthread_mutex_destroy(&collected.mutex);
        return;
    }
    CHECK(add_signal(device, &collected, &handle, &dual, &status) == 1, "no signal callback: %s", status.ErrorMsg);
    CHECK(execCommandSensor(device->sensor, SensorCommandStartSignal, &status) == 1, "start: %s", status.ErrorMsg);
    CHECK(wait_until(enough, &collected, 20000), "%d records within the deadline", collected.count);
    CHECK(execCommandSensor(device->sensor, SensorCommandStopSignal, &status) == 1, "stop: %s", status.ErrorMsg);
    remove_signal(device, handle, dual);
    compare(device, &collected);
    pthread_mutex_destroy(&collected.mutex);
}
