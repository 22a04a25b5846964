/* Device families, found-sensor records and the scanner.
   One part of ambrelkit2.h, the public interface of libambrelkit2-x64; hosts include that file. */
#ifndef AMBRELKIT2_SCANNER_H
#define AMBRELKIT2_SCANNER_H

#include "base.h"

AK_EXTERN_C_BEGIN

/* ---- Scanner ------------------------------------------------------------------------ */

/* Device families: the values createScanner takes and the SensFamily byte of a found sensor. */
typedef uint8_t SensorFamily;
enum {
    SensorFamilyUnknown = 0,
    SensorFamilyTessel = 1,
    SensorFamilyTesselQuindle = 2,
    SensorFamilyMorvex = 3,
    SensorFamilyMorvexBlack = 4,
    SensorFamilyVondra = 5,
    SensorFamilyVondra2 = 6,
    SensorFamilyModelC = 7, /* 7 to 10 and 12: recognised, but no sensor can be made of them */
    SensorFamilyModelD = 8,
    SensorFamilyModelE = 9,
    SensorFamilyModelH = 10,
    SensorFamilyLorrel = 11,
    SensorFamilyModelQ = 12,
    SensorFamilyDravik = 14,
    SensorFamilyMorvex2Model2 = 18, /* Morvex2-class device, model code '0' with variant 2 */
    SensorFamilyMorvex2 = 19,       /* Morvex2-class device, model code '0' with another variant */
    SensorFamilyMorvex2F = 20,      /* Morvex2-class device, model code 'f' */
    SensorFamilyPhotoStim = 21
};

/* One found sensor. */
typedef struct _SensorInfo {
    uint8_t SensFamily;      /* SensorFamily value */
    uint8_t SensModel;       /* model byte of the device */
    char Name[256];          /* advertised name, terminated */
    char Address[128];       /* "AA:BB:CC:DD:EE:FF", terminated */
    char SerialNumber[128];  /* empty when the device advertises none */
    uint8_t PairingRequired; /* 1: pair before use */
    int16_t RSSI;            /* signal strength of the last advertisement, dBm */
} _SensorInfo;

AK_STATIC_ASSERT(sizeof(_SensorInfo) == 518, sensor_info_size);
AK_STATIC_ASSERT(offsetof(_SensorInfo, Name) == 2, sensor_info_name_offset);
AK_STATIC_ASSERT(offsetof(_SensorInfo, Address) == 258, sensor_info_address_offset);
AK_STATIC_ASSERT(offsetof(_SensorInfo, SerialNumber) == 386, sensor_info_serial_offset);
AK_STATIC_ASSERT(offsetof(_SensorInfo, PairingRequired) == 514, sensor_info_pairing_offset);
AK_STATIC_ASSERT(offsetof(_SensorInfo, RSSI) == 516, sensor_info_rssi_offset);

/* A scanner made by createScanner; released by freeScanner. */
typedef struct SensorScannerWrap SensorScannerWrap;

/* Keeps one callback registration alive; released by the matching remove function. */
typedef struct CallbackHandle CallbackHandle;

/* Receives the recognised sensors each time the scanner's list changes, on the library's
   Bluetooth thread. The records are valid during the call only; sensors is null when count is 0. */
typedef void (*SensorsFoundCallback)(SensorScannerWrap* scanner, _SensorInfo* sensors, int32_t count, void* userData);

/* Builds a scanner for the given families (count values); held until startScanner. */
AK_API SensorScannerWrap* createScanner(const uint8_t* families, int32_t count, CallStatus* status);
/* Starts scanning; with attempts > 0 starts that many times, pausing one second after each. */
AK_API uint8_t startScanner(SensorScannerWrap* scanner, CallStatus* status, int32_t attempts);
AK_API uint8_t stopScanner(SensorScannerWrap* scanner, CallStatus* status);
/* Copies up to *count found sensors into the array and sets *count to the number copied. */
AK_API uint8_t sensorsScanner(SensorScannerWrap* scanner, _SensorInfo* sensors, int32_t* count, CallStatus* status);
/* Null is accepted. No found-sensors callback runs once this returns. */
AK_API void freeScanner(SensorScannerWrap* scanner);
AK_API uint8_t addSensorsCallbackScanner(SensorScannerWrap* scanner, SensorsFoundCallback callback,
                                         CallbackHandle** handle, void* userData, CallStatus* status);
/* Null, and a handle already removed, are ignored (see the callback removals). */
AK_API void removeSensorsCallbackScanner(CallbackHandle* handle);

AK_EXTERN_C_END

#endif /* AMBRELKIT2_SCANNER_H */
