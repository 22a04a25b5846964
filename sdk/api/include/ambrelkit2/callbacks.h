/* Records the library delivers and the host callbacks that receive them.
   One part of ambrelkit2.h, the public interface of libambrelkit2-x64; hosts include that file. */
#ifndef AMBRELKIT2_CALLBACKS_H
#define AMBRELKIT2_CALLBACKS_H

#include "base.h"
#include "scanner.h"
#include "sensor.h"

AK_EXTERN_C_BEGIN

/* ---- Delivered records -------------------------------------------------------------------
   Records and the arrays they point to belong to the library and are valid during the call
   only. Bytes between fields carry no data. */

typedef struct MorvexSignalRecord {
    uint32_t PackNum;
    uint8_t Marker; /* generation-1 devices (family 3): 0 or 1, the device's marker flag;
                       MorvexBlack and Morvex2-class devices: the raw marker byte of the
                       pack as the device sent it (any value 0-255) */
    double O1;
    double O2;
    double T3;
    double T4;
} MorvexSignalRecord;
AK_STATIC_ASSERT(sizeof(MorvexSignalRecord) == 40, morvex_signal_record_size);
AK_STATIC_ASSERT(offsetof(MorvexSignalRecord, O1) == 8, morvex_signal_record_o1_offset);

typedef struct MorvexResistRecord {
    double O1;
    double O2;
    double T3;
    double T4;
} MorvexResistRecord;
AK_STATIC_ASSERT(sizeof(MorvexResistRecord) == 32, morvex_resist_record_size);

typedef struct FourChannelResistRecord {
    uint32_t PackNum;
    double O1;
    double O2;
    double T3;
    double T4;
} FourChannelResistRecord;
AK_STATIC_ASSERT(sizeof(FourChannelResistRecord) == 40, four_channel_resist_record_size);
AK_STATIC_ASSERT(offsetof(FourChannelResistRecord, O1) == 8, four_channel_resist_record_o1_offset);

typedef struct SignalChannelsRecord {
    uint32_t PackNum;
    uint8_t Marker;
    uint32_t SampleCount;
    double* Samples;
} SignalChannelsRecord;
AK_STATIC_ASSERT(sizeof(SignalChannelsRecord) == 24, signal_channels_record_size);
AK_STATIC_ASSERT(offsetof(SignalChannelsRecord, SampleCount) == 8, signal_channels_record_count_offset);
AK_STATIC_ASSERT(offsetof(SignalChannelsRecord, Samples) == 16, signal_channels_record_samples_offset);

typedef struct ResistChannelsRecord {
    uint32_t PackNum;
    uint32_t ValueCount;
    uint64_t Reserved0;
    double* Values;
    uint64_t Reserved1;
} ResistChannelsRecord;
AK_STATIC_ASSERT(sizeof(ResistChannelsRecord) == 32, resist_channels_record_size);
AK_STATIC_ASSERT(offsetof(ResistChannelsRecord, ValueCount) == 4, resist_channels_record_count_offset);
AK_STATIC_ASSERT(offsetof(ResistChannelsRecord, Values) == 16, resist_channels_record_values_offset);

typedef struct DravikResistRecord {
    uint32_t PackNum;
    double Scalar1;
    double Scalar2;
    double Scalar3;
    uint32_t ValueCount;
    double* Values;
} DravikResistRecord;
AK_STATIC_ASSERT(sizeof(DravikResistRecord) == 48, dravik_resist_record_size);
AK_STATIC_ASSERT(offsetof(DravikResistRecord, ValueCount) == 32, dravik_resist_record_count_offset);
AK_STATIC_ASSERT(offsetof(DravikResistRecord, Values) == 40, dravik_resist_record_values_offset);

typedef struct FPGRecord {
    uint32_t PackNum;
    double Value1;
    double Value2;
} FPGRecord;
AK_STATIC_ASSERT(sizeof(FPGRecord) == 24, fpg_record_size);

typedef struct MEMSRecord {
    uint32_t PackNum;
    double AccelerometerX;
    double AccelerometerY;
    double AccelerometerZ;
    double GyroscopeX;
    double GyroscopeY;
    double GyroscopeZ;
} MEMSRecord;
AK_STATIC_ASSERT(sizeof(MEMSRecord) == 56, mems_record_size);

typedef struct QuaternionRecord {
    uint32_t PackNum;
    float W;
    float X;
    float Y;
    float Z;
} QuaternionRecord;
AK_STATIC_ASSERT(sizeof(QuaternionRecord) == 20, quaternion_record_size);

typedef struct EnvelopeRecord {
    uint32_t PackNum;
    double Value;
} EnvelopeRecord;
AK_STATIC_ASSERT(sizeof(EnvelopeRecord) == 16, envelope_record_size);

typedef struct TesselSamplesRecord {
    uint32_t PackNum;
    double* Samples;
    uint32_t SampleCount;
} TesselSamplesRecord;
AK_STATIC_ASSERT(sizeof(TesselSamplesRecord) == 24, tessel_samples_record_size);
AK_STATIC_ASSERT(offsetof(TesselSamplesRecord, SampleCount) == 16, tessel_samples_record_count_offset);

typedef struct FileChunkRecord {
    uint32_t Head1;
    uint32_t Head2;
    uint32_t ByteCount;
    uint8_t* Bytes;
} FileChunkRecord;
AK_STATIC_ASSERT(sizeof(FileChunkRecord) == 24, file_chunk_record_size);
AK_STATIC_ASSERT(offsetof(FileChunkRecord, Bytes) == 16, file_chunk_record_bytes_offset);

typedef struct VondraSignalRecord {
    uint32_t PackNum;
    uint8_t Marker;
    double Values[7];
} VondraSignalRecord;
AK_STATIC_ASSERT(sizeof(VondraSignalRecord) == 64, vondra_signal_record_size);

typedef struct VondraResistRecord {
    uint32_t PackNum;
    double Values[7];
} VondraResistRecord;
AK_STATIC_ASSERT(sizeof(VondraResistRecord) == 64, vondra_resist_record_size);

/* ---- Host callbacks ----------------------------------------------------------------------
   Registered functions run on the library's threads (a sensor's worker, or its connection
   thread for connection states), sensor handle first and user pointer last. A batch function is
   also called for an empty batch, with a null array and count 0. A registration lasts until
   its handle goes to the matching remove function; handles of the functions marked "dual"
   are DualCallbackHandle and go to the removal functions of those three. A null function is
   refused with 123 (addSensorsCallbackScanner: 104) and no handle is written. */

typedef struct DualCallbackHandle DualCallbackHandle;

typedef void (*MorvexSignalCallback)(_Sensor* sensor, MorvexSignalRecord* records, uint32_t count, void* userData);
typedef void (*MorvexResistCallback)(_Sensor* sensor, MorvexResistRecord* record, void* userData);
typedef void (*FourChannelResistCallback)(_Sensor* sensor, FourChannelResistRecord* record, void* userData);
typedef void (*FourChannelResistArrayCallback)(_Sensor* sensor, FourChannelResistRecord* records, uint32_t count,
                                               void* userData);
typedef void (*SignalChannelsCallback)(_Sensor* sensor, SignalChannelsRecord* records, uint32_t count, void* userData);
typedef void (*ResistChannelsCallback)(_Sensor* sensor, ResistChannelsRecord* records, uint32_t count, void* userData);
typedef void (*DravikResistCallback)(_Sensor* sensor, DravikResistRecord* records, uint32_t count, void* userData);
typedef void (*DravikSignalResistCallback)(_Sensor* sensor, SignalChannelsRecord* signal, uint32_t signalCount,
                                           DravikResistRecord* resist, uint32_t resistCount, void* userData);
typedef void (*RawSignalCallback)(_Sensor* sensor, uint8_t* bytes, uint32_t count, void* userData);
typedef void (*FPGDataCallback)(_Sensor* sensor, FPGRecord* records, uint32_t count, void* userData);
typedef void (*MEMSDataCallback)(_Sensor* sensor, MEMSRecord* records, uint32_t count, void* userData);
typedef void (*QuaternionDataCallback)(_Sensor* sensor, QuaternionRecord* records, uint32_t count, void* userData);
typedef void (*EnvelopeDataCallback)(_Sensor* sensor, EnvelopeRecord* records, uint32_t count, void* userData);
typedef void (*TesselSamplesCallback)(_Sensor* sensor, TesselSamplesRecord* records, uint32_t count, void* userData);
typedef void (*FileStreamCallback)(_Sensor* sensor, FileChunkRecord* records, uint32_t count, void* userData);
typedef void (*VondraSignalCallback)(_Sensor* sensor, VondraSignalRecord* records, uint32_t count, void* userData);
typedef void (*VondraResistCallback)(_Sensor* sensor, VondraResistRecord* records, uint32_t count, void* userData);
typedef void (*IntValueCallback)(_Sensor* sensor, int32_t value, void* userData);
typedef void (*ByteValueCallback)(_Sensor* sensor, uint8_t value, void* userData);
typedef void (*ConnectionStateCallback)(_Sensor* sensor, uint8_t state, void* userData);

AK_API uint8_t addSignalDataCallbackMorvex(_Sensor* sensor, MorvexSignalCallback callback, DualCallbackHandle** handle,
                                           void* userData, CallStatus* status); /* dual */
AK_API uint8_t addResistCallbackMorvex(_Sensor* sensor, MorvexResistCallback callback, DualCallbackHandle** handle,
                                       void* userData, CallStatus* status); /* dual */
AK_API uint8_t addMEMSDataCallback(_Sensor* sensor, MEMSDataCallback callback, DualCallbackHandle** handle,
                                   void* userData, CallStatus* status); /* dual */
AK_API uint8_t addSignalCallbackMorvex2(_Sensor* sensor, SignalChannelsCallback callback, CallbackHandle** handle,
                                        void* userData, CallStatus* status);
AK_API uint8_t addResistCallbackMorvex2(_Sensor* sensor, ResistChannelsCallback callback, CallbackHandle** handle,
                                        void* userData, CallStatus* status);
AK_API uint8_t addSignalDataCallbackLorrel(_Sensor* sensor, MorvexSignalCallback callback, CallbackHandle** handle,
                                           void* userData, CallStatus* status);
AK_API uint8_t addResistCallbackLorrel(_Sensor* sensor, FourChannelResistCallback callback, CallbackHandle** handle,
                                       void* userData, CallStatus* status);
AK_API uint8_t addSignalDataCallbackVondra2(_Sensor* sensor, MorvexSignalCallback callback, CallbackHandle** handle,
                                            void* userData, CallStatus* status);
AK_API uint8_t addResistCallbackVondra2(_Sensor* sensor, FourChannelResistArrayCallback callback,
                                        CallbackHandle** handle, void* userData, CallStatus* status);
AK_API uint8_t addSignalDataCallbackVondra(_Sensor* sensor, VondraSignalCallback callback, CallbackHandle** handle,
                                           void* userData, CallStatus* status);
AK_API uint8_t addResistCallbackVondra(_Sensor* sensor, VondraResistCallback callback, CallbackHandle** handle,
                                       void* userData, CallStatus* status);
AK_API uint8_t addSignalCallbackDravik(_Sensor* sensor, SignalChannelsCallback callback, CallbackHandle** handle,
                                       void* userData, CallStatus* status);
AK_API uint8_t addResistCallbackDravik(_Sensor* sensor, DravikResistCallback callback, CallbackHandle** handle,
                                       void* userData, CallStatus* status);
AK_API uint8_t addSignalResistCallbackDravik(_Sensor* sensor, DravikSignalResistCallback callback,
                                             CallbackHandle** handle, void* userData, CallStatus* status);
AK_API uint8_t addSignalRawCallbackDravik(_Sensor* sensor, RawSignalCallback callback, CallbackHandle** handle,
                                          void* userData, CallStatus* status);
AK_API uint8_t addFileStreamReadCallbackDravik(_Sensor* sensor, FileStreamCallback callback, CallbackHandle** handle,
                                               void* userData, CallStatus* status);
AK_API uint8_t addFPGDataCallback(_Sensor* sensor, FPGDataCallback callback, CallbackHandle** handle, void* userData,
                                  CallStatus* status);
AK_API uint8_t addQuaternionDataCallback(_Sensor* sensor, QuaternionDataCallback callback, CallbackHandle** handle,
                                         void* userData, CallStatus* status);
AK_API uint8_t addEnvelopeDataCallbackTessel(_Sensor* sensor, EnvelopeDataCallback callback, CallbackHandle** handle,
                                             void* userData, CallStatus* status);
AK_API uint8_t addSignalCallbackTessel(_Sensor* sensor, TesselSamplesCallback callback, CallbackHandle** handle,
                                       void* userData, CallStatus* status);
AK_API uint8_t addRespirationCallbackTessel(_Sensor* sensor, TesselSamplesCallback callback, CallbackHandle** handle,
                                            void* userData, CallStatus* status);
AK_API uint8_t addBatteryCallback(_Sensor* sensor, IntValueCallback callback, CallbackHandle** handle, void* userData,
                                  CallStatus* status);
AK_API uint8_t addBatteryVoltageCallback(_Sensor* sensor, IntValueCallback callback, CallbackHandle** handle,
                                         void* userData, CallStatus* status);
AK_API uint8_t addAmpModeCallback(_Sensor* sensor, ByteValueCallback callback, CallbackHandle** handle, void* userData,
                                  CallStatus* status);
AK_API uint8_t addElectrodeStateCallbackTessel(_Sensor* sensor, ByteValueCallback callback, CallbackHandle** handle,
                                               void* userData, CallStatus* status);
AK_API uint8_t addStimModeCallback(_Sensor* sensor, ByteValueCallback callback, CallbackHandle** handle, void* userData,
                                   CallStatus* status);
AK_API uint8_t addPhotoStimSyncStateCallback(_Sensor* sensor, ByteValueCallback callback, CallbackHandle** handle,
                                             void* userData, CallStatus* status);
AK_API uint8_t addConnectionStateCallback(_Sensor* sensor, ConnectionStateCallback callback, CallbackHandle** handle,
                                          void* userData, CallStatus* status);

/* Removal: null is accepted. A delivery already under way finishes; none starts afterwards.
   A handle that is not a live one of the function's kind (removed before, or a CallbackHandle
   given to the three DualCallbackHandle removals and the reverse) is ignored and logged. The
   CallbackHandle removals are one function, removeSensorsCallbackScanner and
   removeSignalProcessParamDravik included: each frees any live CallbackHandle. */
AK_API void removeSignalDataCallbackMorvex(DualCallbackHandle* handle);
AK_API void removeResistCallbackMorvex(DualCallbackHandle* handle);
AK_API void removeMEMSDataCallback(DualCallbackHandle* handle);
AK_API void removeSignalCallbackMorvex2(CallbackHandle* handle);
AK_API void removeResistCallbackMorvex2(CallbackHandle* handle);
AK_API void removeSignalDataCallbackLorrel(CallbackHandle* handle);
AK_API void removeResistCallbackLorrel(CallbackHandle* handle);
AK_API void removeSignalDataCallbackVondra2(CallbackHandle* handle);
AK_API void removeResistCallbackVondra2(CallbackHandle* handle);
AK_API void removeSignalDataCallbackVondra(CallbackHandle* handle);
AK_API void removeResistCallbackVondra(CallbackHandle* handle);
AK_API void removeSignalCallbackDravik(CallbackHandle* handle);
AK_API void removeResistCallbackDravik(CallbackHandle* handle);
AK_API void removeSignalResistCallbackDravik(CallbackHandle* handle);
AK_API void removeSignalRawCallbackDravik(CallbackHandle* handle);
AK_API void removeFileStreamReadCallbackDravik(CallbackHandle* handle);
AK_API void removeFPGDataCallback(CallbackHandle* handle);
AK_API void removeQuaternionDataCallback(CallbackHandle* handle);
AK_API void removeEnvelopeDataCallbackTessel(CallbackHandle* handle);
AK_API void removeSignalCallbackTessel(CallbackHandle* handle);
AK_API void removeRespirationCallbackTessel(CallbackHandle* handle);
AK_API void removeBatteryCallback(CallbackHandle* handle);
AK_API void removeBatteryVoltageCallback(CallbackHandle* handle);
AK_API void removeAmpModeCallback(CallbackHandle* handle);
AK_API void removeElectrodeStateCallbackTessel(CallbackHandle* handle);
AK_API void removeStimModeCallback(CallbackHandle* handle);
AK_API void removePhotoStimSyncStateCallback(CallbackHandle* handle);
AK_API void removeConnectionStateCallback(CallbackHandle* handle);

AK_EXTERN_C_END

#endif /* AMBRELKIT2_CALLBACKS_H */
