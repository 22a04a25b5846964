/* The misuse program: a C host of the shared library that calls every exported function with
   each kind of bad argument that applies to it, on one sensor of each family, and checks that
   every refusal is told with a code and a text, that nothing is written past a caller's buffer
   (every out-value sits right before a guard page) and that each device still streams its
   values afterwards. The launcher serves the devices; run alone it finds none.
   Prints "N passed, N failed" and exits non-zero on any failure. */
#include <limits.h>
#include <stdio.h>
#include <string.h>

#include "MisuseHarness.h"

static void on_found(SensorScannerWrap* scanner, _SensorInfo* sensors, int32_t count, void* user) {
    (void)scanner, (void)sensors, (void)count, (void)user;
}

void misuse_scanner(SensorScannerWrap* scanner) {
    static const int32_t bad_capacities[] = {0, -1, INT32_MIN};
    const uint8_t families[] = {SensorFamilyMorvex};
    const uint8_t unknown[] = {0xFF};
    CallStatus* status = guarded_status();
    CallbackHandle** handle = guarded(1, sizeof *handle);
    _SensorInfo* sensors;
    int32_t* count;
    size_t i;
    set_context("scanner");

    CHECK(createScanner(NULL, 1, status) == NULL, "createScanner of a null list");
    EXPECT_REFUSED("createScanner", 0, status);
    status = guarded_status();
    CHECK(createScanner(families, 0, status) == NULL, "createScanner of no family");
    EXPECT_REFUSED("createScanner", 0, status);
    status = guarded_status();
    CHECK(createScanner(families, -1, status) == NULL, "createScanner of -1 families");
    EXPECT_REFUSED("createScanner", 0, status);
    status = guarded_status();
    CHECK(createScanner(unknown, 1, status) == NULL, "createScanner of family 255");
    EXPECT_REFUSED("createScanner", 0, status);

    status = guarded_status();
    EXPECT_REFUSED("startScanner", startScanner(NULL, status, 0), status);
    status = guarded_status();
    EXPECT_REFUSED("stopScanner", stopScanner(NULL, status), status);
    status = guarded_status();
    EXPECT_CODE("addSensorsCallbackScanner", addSensorsCallbackScanner(scanner, NULL, handle, NULL, status), status,
                104);
    CHECK(untouched(handle, sizeof *handle), "a null found-sensors function got a handle");
    status = guarded_status();
    EXPECT_REFUSED("addSensorsCallbackScanner", addSensorsCallbackScanner(NULL, on_found, handle, NULL, status),
                   status);
    status = guarded_status();
    EXPECT_REFUSED("addSensorsCallbackScanner", addSensorsCallbackScanner(scanner, on_found, NULL, NULL, status),
                   status);
    status = guarded_status();
    EXPECT_OUTCOME("addSensorsCallbackScanner", addSensorsCallbackScanner(scanner, on_found, handle, NULL, status),
                   status);
    if (status->Success == 1) removeSensorsCallbackScanner(*handle);
    removeSensorsCallbackScanner(NULL);
    freeScanner(NULL);

    sensors = guarded(1, 4 * sizeof *sensors);
    count = guarded(2, sizeof *count);
    status = guarded_status();
    *count = 4;
    EXPECT_REFUSED("sensorsScanner", sensorsScanner(NULL, sensors, count, status), status);
    status = guarded_status();
    EXPECT_REFUSED("sensorsScanner", sensorsScanner(scanner, NULL, count, status), status);
    status = guarded_status();
    EXPECT_REFUSED("sensorsScanner", sensorsScanner(scanner, sensors, NULL, status), status);
    for (i = 0; i < sizeof bad_capacities / sizeof bad_capacities[0]; ++i) {
        status = guarded_status();
        sensors = guarded(1, 4 * sizeof *sensors);
        *count = bad_capacities[i];
        EXPECT_REFUSED("sensorsScanner", sensorsScanner(scanner, sensors, count, status), status);
        CHECK(untouched(sensors, 4 * sizeof *sensors), "sensorsScanner with capacity %d wrote records",
              (int)bad_capacities[i]);
    }
    /* Room for one record, however many are found. */
    status = guarded_status();
    sensors = guarded(1, sizeof *sensors);
    *count = 1;
    EXPECT_OUTCOME("sensorsScanner", sensorsScanner(scanner, sensors, count, status), status);
    CHECK(*count <= 1, "sensorsScanner with room for one gave %d", (int)*count);
}

/* A record at the very end of a page: every text unterminated and the bytes after them set, so
   reading a text past its array faults. */
static _SensorInfo* unterminated_record(uint8_t family) {
    _SensorInfo* info = guarded(1, sizeof *info);
    memset(info, 'A', sizeof *info);
    info->SensFamily = family;
    info->SensModel = 0;
    return info;
}

static _SensorInfo* record_for(uint8_t family, const char* address) {
    _SensorInfo* info = guarded(1, sizeof *info);
    memset(info, 0, sizeof *info);
    info->SensFamily = family;
    strncpy(info->Address, address, sizeof info->Address - 1);
    return info;
}

void misuse_creation(SensorScannerWrap* scanner) {
    static const char* const malformed[] = {"",
                                            ":",
                                            "C0:FF:EE::A0:03",
                                            "C0:FF:EE:00:A0:",
                                            "G0:FF:EE:00:A0:03",
                                            "C0-FF-EE-00-A0-03",
                                            "C0:FF:EE:00:A0:003",
                                            "C0:FF:EE:00:A0:3G"};
    static const uint8_t bad_families[] = {SensorFamilyUnknown, SensorFamilyModelC, 13, 0xFF};
    CallStatus* status = guarded_status();
    size_t i;
    set_context("creation");

    CHECK(createSensor(NULL, record_for(SensorFamilyMorvex, devices[1].address), status) == NULL,
          "createSensor without a scanner");
    EXPECT_REFUSED("createSensor", 0, status);
    status = guarded_status();
    CHECK(createSensor(scanner, NULL, status) == NULL, "createSensor without a record");
    EXPECT_REFUSED("createSensor", 0, status);
    status = guarded_status();
    CHECK(createSensor(scanner, unterminated_record(SensorFamilyMorvex), status) == NULL,
          "createSensor of an unterminated record");
    EXPECT_REFUSED("createSensor", 0, status);
    for (i = 0; i < sizeof bad_families / sizeof bad_families[0]; ++i) {
        status = guarded_status();
        CHECK(createSensor(scanner, record_for(bad_families[i], devices[1].address), status) == NULL,
              "createSensor of family %u", (unsigned)bad_families[i]);
        EXPECT_REFUSED("createSensor", 0, status);
    }
    /* Every malformed address is refused at once, the empty one included. */
    for (i = 0; i < sizeof malformed / sizeof malformed[0]; ++i) {
        const int64_t start = now_ms();
        status = guarded_status();
        CHECK(createSensor(scanner, record_for(SensorFamilyMorvex, malformed[i]), status) == NULL,
              "createSensor of address \"%s\"", malformed[i]);
        EXPECT_CODE("createSensor", 0, status, 109);
        CHECK(now_ms() - start < 2000, "address \"%s\" refused after %ld ms", malformed[i], (long)(now_ms() - start));
    }
}

/* The CRC of bytes right before a guard page, and of arguments that compute nothing. */
static void misuse_crc(void) {
    static const char digits[] = "123456789";
    uint8_t* data = guarded(1, 9);
    uint32_t* crc = guarded(2, sizeof *crc);
    set_context("calcCRC32");
    memcpy(data, digits, 9);
    CHECK(calcCRC32(data, 9, crc) == 0xCBF43926u && *crc == 0xCBF43926u, "the CRC of 123456789 is %08x",
          (unsigned)*crc);
    CHECK(calcCRC32(data, 9, NULL) == 0, "a null crc computed something");
    CHECK(calcCRC32(NULL, 9, crc) == 0, "null data computed something");
    CHECK(calcCRC32(data, -1, crc) == 0 && calcCRC32(data, INT32_MIN, crc) == 0, "a negative length computed");
    CHECK(calcCRC32(data, 0, crc) == 0 && *crc == 0, "the CRC of nothing is %08x", (unsigned)*crc);
}

static void misuse_records(void) {
    int32_t* colour = guarded(2, sizeof *colour);
    _SensorInfo* info = record_for(SensorFamilyMorvex, devices[1].address);
    int8_t* features;
    int32_t* count;
    CallStatus* status;
    int32_t all;
    set_context("records");
    readColorInfo(info, colour);
    CHECK(*colour == 4, "the colour of a Morvex record is %d", (int)*colour);
    info->SensFamily = 0xFF;
    readColorInfo(info, colour);
    CHECK(*colour == 4, "the colour of a family-255 record is %d", (int)*colour);
    readColorInfo(info, NULL);
    readColorInfo(NULL, colour);

    CHECK(getPossibleFeaturesCountSensor(0xFF, 0xFF) == 0, "family 255 has features");
    all = getPossibleFeaturesCountSensor(SensorFamilyMorvex, 0);
    CHECK(all >= 2 && all <= 64, "the Morvex family has %d features", (int)all);
    if (all < 2 || all > 64) return;
    count = guarded(2, sizeof *count);
    status = guarded_status();
    *count = all;
    EXPECT_REFUSED("getPossibleFeaturesSensor", getPossibleFeaturesSensor(SensorFamilyMorvex, 0, NULL, count, status),
                   status);
    features = guarded(1, (size_t)all);
    status = guarded_status();
    EXPECT_REFUSED("getPossibleFeaturesSensor",
                   getPossibleFeaturesSensor(SensorFamilyMorvex, 0, features, NULL, status), status);
    *count = 0;
    status = guarded_status();
    EXPECT_REFUSED("getPossibleFeaturesSensor",
                   getPossibleFeaturesSensor(SensorFamilyMorvex, 0, features, count, status), status);
    *count = -1;
    status = guarded_status();
    EXPECT_REFUSED("getPossibleFeaturesSensor",
                   getPossibleFeaturesSensor(SensorFamilyMorvex, 0, features, count, status), status);
    /* One short of them all, right before a guard page. */
    features = guarded(1, (size_t)(all - 1));
    *count = all - 1;
    status = guarded_status();
    EXPECT_OUTCOME("getPossibleFeaturesSensor",
                   getPossibleFeaturesSensor(SensorFamilyMorvex, 0, features, count, status), status);
    CHECK(*count <= all - 1, "one short gave %d features", (int)*count);
}

static int tessel_listed(void* scanner) {
    _SensorInfo found[DEVICE_COUNT];
    int32_t count = DEVICE_COUNT;
    CallStatus status;
    int32_t i;
    if (!sensorsScanner(scanner, found, &count, &status)) return 0;
    for (i = 0; i < count; ++i) {
        if (found[i].SensFamily == SensorFamilyTessel && strcmp(found[i].Address, devices[0].address) == 0) return 1;
    }
    return 0;
}

static int create_devices(SensorScannerWrap* scanner) {
    size_t i;
    CHECK(wait_until(tessel_listed, scanner, 20000), "the Tessel device was never listed");
    for (i = 0; i < DEVICE_COUNT; ++i) {
        Device* device = &devices[i];
        _SensorInfo info;
        CallStatus status;
        memset(&info, 0, sizeof info);
        info.SensFamily = device->family;
        info.SensModel = device->model;
        strcpy(info.Address, device->address);
        set_context(device->label);
        device->sensor = createSensor(scanner, &info, &status);
        CHECK(device->sensor != NULL, "createSensor: %u %s", (unsigned)status.Error, status.ErrorMsg);
        if (device->sensor == NULL) return 0;
        CHECK(connectSensor(device->sensor, &status) == 1, "connectSensor: %s", status.ErrorMsg);
    }
    return 1;
}

int main(void) {
    const uint8_t families[] = {SensorFamilyTessel, SensorFamilyMorvex,        SensorFamilyMorvexBlack,
                                SensorFamilyVondra, SensorFamilyVondra2,       SensorFamilyLorrel,
                                SensorFamilyDravik, SensorFamilyMorvex2Model2, SensorFamilyPhotoStim};
    SensorScannerWrap* scanner;
    CallStatus status;
    size_t i;
    guard_init();
    misuse_crc();
    misuse_records();
    misuse_processing();

    set_context("scanner");
    scanner = createScanner(families, (int32_t)sizeof families, &status);
    CHECK(scanner != NULL, "createScanner: %s", status.ErrorMsg);
    if (scanner != NULL && startScanner(scanner, &status, 0) == 1) {
        misuse_scanner(scanner);
        misuse_foreign_handles(scanner);
        misuse_creation(scanner);
        if (create_devices(scanner)) {
            for (i = 0; i < DEVICE_COUNT; ++i) misuse_sensor(&devices[i]);
            misuse_dravik_files(device_of(SensorFamilyDravik, 0));
            misuse_links();
            for (i = 0; i < DEVICE_COUNT; ++i) check_stream(&devices[i]);
        }
        set_context("scanner");
        CHECK(stopScanner(scanner, &status) == 1, "stopScanner: %s", status.ErrorMsg);
    } else {
        CHECK(0, "startScanner: %s", status.ErrorMsg);
    }
    for (i = 0; i < DEVICE_COUNT; ++i) freeSensor(devices[i].sensor);
    freeScanner(scanner);
    printf("%d passed, %d failed\n", check_count() - failure_count(), failure_count());
    return failure_count() == 0 ? 0 : 1;
}
