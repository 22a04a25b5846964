/* A small C host of the installed library: makes a scanner, lists what it found, frees it. */
#include <stdio.h>

#include <ambrelkit2.h>

int main(void) {
    const uint8_t families[] = {SensorFamilyMorvex, SensorFamilyMorvexBlack, SensorFamilyMorvex2};
    CallStatus status;
    SensorScannerWrap* scanner = createScanner(families, 3, &status);
    if (scanner == NULL) {
        fprintf(stderr, "createScanner failed: %u %s\n", (unsigned)status.Error, status.ErrorMsg);
        return 1;
    }
    _SensorInfo sensors[4];
    int32_t count = 4;
    if (!sensorsScanner(scanner, sensors, &count, &status)) {
        fprintf(stderr, "sensorsScanner failed: %u %s\n", (unsigned)status.Error, status.ErrorMsg);
        freeScanner(scanner);
        return 1;
    }
    freeScanner(scanner);
    printf("host found %d sensors\n", (int)count);
    return 0;
}
