/* Family commands: the Kestrane ping, the Dravik file system and its signal processing.
   One part of ambrelkit2.h, the public interface of libambrelkit2-x64; hosts include that file. */
#ifndef AMBRELKIT2_FAMILIES_H
#define AMBRELKIT2_FAMILIES_H

#include "base.h"
#include "scanner.h"
#include "sensor.h"
#include "parameters.h"

AK_EXTERN_C_BEGIN

/* ---- Commands and the Dravik file system ----------------------------------------------------
   Other families answer 118 for commands, 121 for reads and 122 for writes. */

AK_API uint8_t pingKestrane(_Sensor* sensor, uint8_t marker, CallStatus* status);

/* One file of the sensor's file system. */
typedef struct DravikFileInfo {
    char FileName[64]; /* at most 63 characters, terminated */
    uint32_t FileSize;
    uint16_t Year;
    uint8_t Month;
    uint8_t Day;
    uint8_t Hour;
    uint8_t Minute;
    uint8_t Second;
    uint8_t Attributes;
} DravikFileInfo;
AK_STATIC_ASSERT(sizeof(DravikFileInfo) == 76, dravik_file_info_size);
AK_STATIC_ASSERT(offsetof(DravikFileInfo, FileSize) == 64, dravik_file_info_size_offset);
AK_STATIC_ASSERT(offsetof(DravikFileInfo, Year) == 68, dravik_file_info_year_offset);
AK_STATIC_ASSERT(offsetof(DravikFileInfo, Attributes) == 75, dravik_file_info_attributes_offset);

AK_API uint8_t deleteAllFilesDravik(_Sensor* sensor, const char* text, CallStatus* status);
AK_API uint8_t deleteFileDravik(_Sensor* sensor, const char* name, CallStatus* status);
AK_API uint8_t fileStreamAutosaveDravik(_Sensor* sensor, const char* name, CallStatus* status);
/* The data arrives through addFileStreamReadCallbackDravik. */
AK_API uint8_t fileStreamReadDravik(_Sensor* sensor, const char* name, int32_t first, int32_t second,
                                    CallStatus* status);
AK_API uint8_t readFileCRC32Dravik(_Sensor* sensor, const char* name, int32_t first, int32_t second, uint32_t* crc,
                                   CallStatus* status);
/* info: not null. */
AK_API uint8_t readFileInfoDravik(_Sensor* sensor, const char* name, DravikFileInfo* info, CallStatus* status);
AK_API uint8_t readFileInfoAllDravik(_Sensor* sensor, DravikFileInfo* infos, int32_t* count, CallStatus* status);
/* Reads the file from offset up to the end position *size (0, or a value at or beyond the file's
   size, means the end of the file). The buffer must hold every byte from offset to that end: to
   read to the end of the file, the size readFileInfoDravik reports less the offset. Out, *size is
   the number of bytes read into the buffer (0 for an empty file); an offset at or beyond the end
   fails with 522. */
AK_API uint8_t readFileDravik(_Sensor* sensor, const char* name, uint8_t* buffer, int32_t* size, uint32_t offset,
                              CallStatus* status);
/* size: 0 or more (0 is refused by the sensor with 521); data may be null only when size is 0. */
AK_API uint8_t writeFileDravik(_Sensor* sensor, const char* name, const uint8_t* data, int32_t size, uint32_t offset,
                               CallStatus* status);

/* ---- Dravik signal processing ------------------------------------------------------------- */

/* One converted signal pack; Samples is the caller's buffer of SzSamples values (in: capacity,
   out: values written). */
typedef struct DravikSignalPack {
    int32_t PackNum;
    uint8_t Marker;
    uint32_t SzSamples;
    double* Samples;
} DravikSignalPack;
AK_STATIC_ASSERT(sizeof(DravikSignalPack) == 24, dravik_signal_pack_size);
AK_STATIC_ASSERT(offsetof(DravikSignalPack, SzSamples) == 8, dravik_signal_pack_count_offset);
AK_STATIC_ASSERT(offsetof(DravikSignalPack, Samples) == 16, dravik_signal_pack_samples_offset);

/* One resistance result; Values is the caller's buffer of SzValues values (in: capacity, out:
   values written). */
typedef struct DravikResistPack {
    int32_t Number;
    double Value1;
    double Value2;
    double Value3;
    uint32_t SzValues;
    double* Values;
} DravikResistPack;
AK_STATIC_ASSERT(sizeof(DravikResistPack) == 48, dravik_resist_pack_size);
AK_STATIC_ASSERT(offsetof(DravikResistPack, Value1) == 8, dravik_resist_pack_value1_offset);
AK_STATIC_ASSERT(offsetof(DravikResistPack, SzValues) == 32, dravik_resist_pack_count_offset);
AK_STATIC_ASSERT(offsetof(DravikResistPack, Values) == 40, dravik_resist_pack_values_offset);

/* Processing parameters from an amplifier record; *handle is released by
   removeSignalProcessParamDravik. Every ChannelGain must be an index of the gain table (0..10),
   else 517 "The specified Gain value is not supported". */
AK_API uint8_t createSignalProcessParamDravik(DravikAmplifierParam param, CallbackHandle** handle, CallStatus* status);
/* Null, and a handle already removed, are ignored (see the callback removals). */
AK_API void removeSignalProcessParamDravik(CallbackHandle* handle);
/* Converts *rawLength bytes (0 or more) and sets *rawLength to the bytes used. Each output pair
   is filled when both of its pointers are given, its count (0 or more) being the capacity in and
   the number filled out; the bytes used are the same whatever the capacities. A handle that is
   not a live one of createSignalProcessParamDravik (a callback handle, one already removed) is
   refused with 119 "The handle is not a live signal processing handle". */
AK_API uint8_t parseRawSignalDravik(const uint8_t* raw, int32_t* rawLength, CallbackHandle* handle,
                                    DravikSignalPack* signals, int32_t* signalCount, DravikResistPack* resists,
                                    int32_t* resistCount, CallStatus* status);

AK_EXTERN_C_END

#endif /* AMBRELKIT2_FAMILIES_H */
