/* The sensor handle: lifecycle, commands and capabilities.
   One part of ambrelkit2.h, the public interface of libambrelkit2-x64; hosts include that file. */
#ifndef AMBRELKIT2_SENSOR_H
#define AMBRELKIT2_SENSOR_H

#include "base.h"
#include "scanner.h"

AK_EXTERN_C_BEGIN

/* ---- Sensor handle and lifecycle ------------------------------------------------------ */

/* A sensor made by createSensor; released by freeSensor. */
typedef struct _Sensor _Sensor;

/* Sensor commands for execCommandSensor (the low byte of the value is sent). */
enum {
    SensorCommandStartSignal = 0,
    SensorCommandStopSignal = 1,
    SensorCommandStartResist = 2,
    SensorCommandStopResist = 3,
    SensorCommandStartMEMS = 4,
    SensorCommandStopMEMS = 5,
    SensorCommandIdle = 21,
    SensorCommandPowerDown = 22,
    SensorCommandStartFPG = 23,
    SensorCommandStopFPG = 24,
    SensorCommandStartSignalAndResist = 25,
    SensorCommandStopSignalAndResist = 26
};

/* Connection state byte of readStateSensor and the connection-state callback. */
enum { SensorStateInRange = 0, SensorStateOutOfRange = 1 };

/* Builds the sensor of one found record through the scanner that found it; null on failure. */
AK_API _Sensor* createSensor(SensorScannerWrap* scanner, _SensorInfo* info, CallStatus* status);
AK_API uint8_t connectSensor(_Sensor* sensor, CallStatus* status);
AK_API uint8_t disconnectSensor(_Sensor* sensor, CallStatus* status);
/* Null is accepted. Callback handles of the sensor receive nothing more afterwards and are
   still released with their remove functions. */
AK_API void freeSensor(_Sensor* sensor);
/* The handle's SensorFamily value; 0 for a null handle. */
AK_API uint8_t getFamilySensor(_Sensor* sensor);
AK_API uint8_t execCommandSensor(_Sensor* sensor, int32_t command, CallStatus* status);
/* Features any sensor of a family and model may offer, in ascending order. */
AK_API int32_t getPossibleFeaturesCountSensor(uint8_t family, uint8_t model);
/* *count: in the capacity of features, out the number of values written. */
AK_API uint8_t getPossibleFeaturesSensor(uint8_t family, uint8_t model, int8_t* features, int32_t* count,
                                         CallStatus* status);

/* ---- Capabilities ------------------------------------------------------------------------
   List functions take the array's capacity in *count (at least 1) and write back the number of
   entries written, in ascending order. Counts and tests return 0 for a null handle or when
   anything fails. */

/* One supported parameter and how it may be used. */
typedef struct ParameterInfo {
    int32_t Param;       /* sensor parameter number */
    int32_t ParamAccess; /* access code */
} ParameterInfo;
AK_STATIC_ASSERT(sizeof(ParameterInfo) == 8, parameter_info_size);

AK_API uint8_t getCommandsSensor(_Sensor* sensor, int8_t* commands, int32_t* count, CallStatus* status);
AK_API int32_t getCommandsCountSensor(_Sensor* sensor);
AK_API uint8_t isSupportedCommandSensor(_Sensor* sensor, int8_t command);
AK_API uint8_t getFeaturesSensor(_Sensor* sensor, int8_t* features, int32_t* count, CallStatus* status);
AK_API int32_t getFeaturesCountSensor(_Sensor* sensor);
AK_API uint8_t isSupportedFeatureSensor(_Sensor* sensor, int8_t feature);
/* In the sensor's own order. */
AK_API uint8_t getParametersSensor(_Sensor* sensor, ParameterInfo* parameters, int32_t* count, CallStatus* status);
AK_API int32_t getParametersCountSensor(_Sensor* sensor);
AK_API uint8_t isSupportedParameterSensor(_Sensor* sensor, int8_t parameter);
AK_API uint8_t getSupportedFiltersSensor(_Sensor* sensor, int16_t* filters, int32_t* count, CallStatus* status);
AK_API int32_t getSupportedFiltersCountSensor(_Sensor* sensor);
AK_API uint8_t isSupportedFilterSensor(_Sensor* sensor, int16_t filter);
/* Signal channels of the sensor. */
AK_API int32_t getChannelsCountSensor(_Sensor* sensor);
/* Stimulation phases (programs) the sensor runs. */
AK_API int32_t getMaxStimulPhasesCountSensor(_Sensor* sensor);
AK_API uint8_t getSignalSettingsTessel(_Sensor* sensor, uint8_t* settings, CallStatus* status);
AK_API uint8_t setSignalSettingsTessel(_Sensor* sensor, uint8_t settings, CallStatus* status);

AK_EXTERN_C_END

#if defined(__cplusplus)
/* Bound by its C++ name; no sensor has LED channels, so it always returns 0. */
AK_API int getLedChannelsCountSensor(_Sensor* sensor);
#endif

#endif /* AMBRELKIT2_SENSOR_H */
