/* Compiled as C99: the public header must be plain C, and the records must have the same
   layout in C as in the library's C++. */
#include <stddef.h>

#include "ambrelkit2.h"

size_t cSensorInfoSize(void) { return sizeof(_SensorInfo); }
size_t cSensorInfoRssiOffset(void) { return offsetof(_SensorInfo, RSSI); }
size_t cSensorInfoPairingOffset(void) { return offsetof(_SensorInfo, PairingRequired); }

/* A host's found-sensors function, as a C program writes it. */
static void onSensors(SensorScannerWrap* scanner, _SensorInfo* sensors, int32_t count, void* userData) {
    (void)scanner;
    (void)sensors;
    (void)count;
    (void)userData;
}

SensorsFoundCallback cSensorsCallback(void) { return onSensors; }

/* Every scanner function, referenced from C with its declared type. */
int cScannerFunctionsDeclared(void) {
    SensorScannerWrap* (*create)(const uint8_t*, int32_t, CallStatus*) = createScanner;
    uint8_t (*start)(SensorScannerWrap*, CallStatus*, int32_t) = startScanner;
    uint8_t (*stop)(SensorScannerWrap*, CallStatus*) = stopScanner;
    uint8_t (*list)(SensorScannerWrap*, _SensorInfo*, int32_t*, CallStatus*) = sensorsScanner;
    void (*release)(SensorScannerWrap*) = freeScanner;
    uint8_t (*add)(SensorScannerWrap*, SensorsFoundCallback, CallbackHandle**, void*, CallStatus*) =
        addSensorsCallbackScanner;
    void (*removeCallback)(CallbackHandle*) = removeSensorsCallbackScanner;
    return create != NULL && start != NULL && stop != NULL && list != NULL && release != NULL && add != NULL &&
           removeCallback != NULL && SensorFamilyPhotoStim == 21;
}
