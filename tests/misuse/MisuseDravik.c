/* The Dravik calls beyond a sensor's own: its file system, its processing of raw packets and
   its link to a photo-stimulator, each with bad arguments; and processing and callback handles
   given where the other kind is due, or once removed. */
#include <limits.h>
#include <string.h>

#include "MisuseHarness.h"

enum { FILE_SIZE = 100 };
static const char file_name[] = "misuse.bin";

static void misuse_file_reads(Device* dravik, const uint8_t* data) {
    CallStatus* status = guarded_status();
    DravikFileInfo* info = guarded(1, sizeof *info);
    uint32_t* crc;
    uint32_t expected = 0;
    uint8_t* buffer;
    int32_t* size;

    EXPECT_REFUSED("readFileInfoDravik", readFileInfoDravik(dravik->sensor, file_name, NULL, status), status);
    status = guarded_status();
    EXPECT_REFUSED("readFileInfoDravik", readFileInfoDravik(dravik->sensor, NULL, info, status), status);
    status = guarded_status();
    EXPECT_OUTCOME("readFileInfoDravik", readFileInfoDravik(dravik->sensor, file_name, info, status), status);
    CHECK(status->Success == 0 || (info->FileSize == FILE_SIZE && strcmp(info->FileName, file_name) == 0),
          "readFileInfoDravik gave %u bytes", (unsigned)info->FileSize);

    /* The CRC of ranges inside the file, and refusals of those reaching past its end. */
    status = guarded_status();
    crc = guarded(1, sizeof *crc);
    EXPECT_OUTCOME("readFileCRC32Dravik", readFileCRC32Dravik(dravik->sensor, file_name, 0, FILE_SIZE, crc, status),
                   status);
    CHECK(*crc == calcCRC32(data, FILE_SIZE, &expected), "readFileCRC32Dravik gave %08x", (unsigned)*crc);
    status = guarded_status();
    EXPECT_CODE("readFileCRC32Dravik past the end",
                readFileCRC32Dravik(dravik->sensor, file_name, 50, FILE_SIZE, crc, status), status, 522);
    status = guarded_status();
    EXPECT_CODE("readFileCRC32Dravik past the end",
                readFileCRC32Dravik(dravik->sensor, file_name, 0, INT32_MAX, crc, status), status, 522);
    status = guarded_status();
    EXPECT_CODE("readFileCRC32Dravik past the end",
                readFileCRC32Dravik(dravik->sensor, file_name, INT32_MAX, 1, crc, status), status, 522);
    status = guarded_status();
    EXPECT_REFUSED("readFileCRC32Dravik", readFileCRC32Dravik(dravik->sensor, file_name, -1, 10, crc, status), status);
    status = guarded_status();
    EXPECT_REFUSED("readFileCRC32Dravik", readFileCRC32Dravik(dravik->sensor, file_name, 0, -1, crc, status), status);
    status = guarded_status();
    EXPECT_REFUSED("readFileCRC32Dravik", readFileCRC32Dravik(dravik->sensor, file_name, 0, 10, NULL, status), status);
    status = guarded_status();
    EXPECT_REFUSED("readFileCRC32Dravik", readFileCRC32Dravik(dravik->sensor, NULL, 0, 10, crc, status), status);
    status = guarded_status();
    EXPECT_REFUSED("readFileCRC32Dravik", readFileCRC32Dravik(NULL, file_name, 0, 10, crc, status), status);

    status = guarded_status();
    EXPECT_CODE("fileStreamReadDravik past the end",
                fileStreamReadDravik(dravik->sensor, file_name, 50, FILE_SIZE, status), status, 522);
    status = guarded_status();
    EXPECT_REFUSED("fileStreamReadDravik", fileStreamReadDravik(dravik->sensor, file_name, -1, 10, status), status);
    status = guarded_status();
    EXPECT_REFUSED("fileStreamReadDravik", fileStreamReadDravik(dravik->sensor, NULL, 0, 10, status), status);

    /* Reads into buffers that hold exactly what lies from the offset to the end. */
    status = guarded_status();
    buffer = guarded(1, FILE_SIZE);
    size = guarded(2, sizeof *size);
    *size = 0;
    EXPECT_OUTCOME("readFileDravik", readFileDravik(dravik->sensor, file_name, buffer, size, 0, status), status);
    CHECK(*size == FILE_SIZE && memcmp(buffer, data, FILE_SIZE) == 0, "readFileDravik gave %d bytes", (int)*size);
    status = guarded_status();
    buffer = guarded(1, FILE_SIZE - 60);
    *size = 0;
    EXPECT_OUTCOME("readFileDravik", readFileDravik(dravik->sensor, file_name, buffer, size, 60, status), status);
    CHECK(*size == FILE_SIZE - 60 && memcmp(buffer, data + 60, FILE_SIZE - 60) == 0,
          "readFileDravik from 60 gave %d bytes", (int)*size);
    status = guarded_status();
    *size = 0;
    EXPECT_CODE("readFileDravik at the end", readFileDravik(dravik->sensor, file_name, buffer, size, FILE_SIZE, status),
                status, 522);
    status = guarded_status();
    *size = 0;
    EXPECT_CODE("readFileDravik far past the end",
                readFileDravik(dravik->sensor, file_name, buffer, size, UINT32_MAX, status), status, 522);
    status = guarded_status();
    *size = 0;
    EXPECT_REFUSED("readFileDravik", readFileDravik(dravik->sensor, file_name, NULL, size, 0, status), status);
    status = guarded_status();
    EXPECT_REFUSED("readFileDravik", readFileDravik(dravik->sensor, file_name, buffer, NULL, 0, status), status);
    status = guarded_status();
    *size = 0;
    EXPECT_REFUSED("readFileDravik", readFileDravik(dravik->sensor, NULL, buffer, size, 0, status), status);
}

void misuse_dravik_files(Device* dravik) {
    static const int32_t bad_sizes[] = {-1, INT32_MIN};
    uint8_t* data = guarded(3, FILE_SIZE);
    CallStatus* status;
    size_t i;
    set_context("Dravik files");
    for (i = 0; i < FILE_SIZE; ++i) data[i] = (uint8_t)(i * 13 + 1);

    /* Written from right before a guard page: nothing past the size is read. */
    status = guarded_status();
    EXPECT_OUTCOME("writeFileDravik", writeFileDravik(dravik->sensor, file_name, data, FILE_SIZE, 0, status), status);
    CHECK(status->Success == 1, "writeFileDravik: %s", status->ErrorMsg);
    status = guarded_status();
    EXPECT_REFUSED("writeFileDravik", writeFileDravik(dravik->sensor, file_name, NULL, 10, 0, status), status);
    status = guarded_status();
    EXPECT_REFUSED("writeFileDravik", writeFileDravik(dravik->sensor, NULL, data, 10, 0, status), status);
    for (i = 0; i < sizeof bad_sizes / sizeof bad_sizes[0]; ++i) {
        status = guarded_status();
        EXPECT_REFUSED("writeFileDravik", writeFileDravik(dravik->sensor, file_name, data, bad_sizes[i], 0, status),
                       status);
    }
    status = guarded_status();
    EXPECT_REFUSED("writeFileDravik", writeFileDravik(NULL, file_name, data, 10, 0, status), status);

    misuse_file_reads(dravik, data);

    status = guarded_status();
    EXPECT_REFUSED("deleteFileDravik", deleteFileDravik(dravik->sensor, NULL, status), status);
    status = guarded_status();
    EXPECT_REFUSED("deleteFileDravik", deleteFileDravik(NULL, file_name, status), status);
    status = guarded_status();
    EXPECT_REFUSED("fileStreamAutosaveDravik", fileStreamAutosaveDravik(dravik->sensor, NULL, status), status);
    status = guarded_status();
    EXPECT_REFUSED("fileStreamAutosaveDravik", fileStreamAutosaveDravik(NULL, file_name, status), status);
    status = guarded_status();
    EXPECT_REFUSED("deleteAllFilesDravik", deleteAllFilesDravik(dravik->sensor, NULL, status), status);
    status = guarded_status();
    EXPECT_REFUSED("deleteAllFilesDravik", deleteAllFilesDravik(NULL, "", status), status);
    status = guarded_status();
    EXPECT_OUTCOME("deleteFileDravik", deleteFileDravik(dravik->sensor, file_name, status), status);
    CHECK(status->Success == 1, "deleteFileDravik: %s", status->ErrorMsg);
}

/* Links only a photo-stimulator to a Dravik sensor. */
void misuse_links(void) {
    Device* dravik = device_of(SensorFamilyDravik, 0);
    Device* stimulator = device_of(SensorFamilyPhotoStim, 0);
    Device* morvex = device_of(SensorFamilyMorvex, 0);
    CallStatus* status = guarded_status();
    set_context("links");
    EXPECT_REFUSED("writePhotoStimDravik", writePhotoStimDravik(NULL, stimulator->sensor, status), status);
    status = guarded_status();
    EXPECT_REFUSED("writePhotoStimDravik", writePhotoStimDravik(dravik->sensor, dravik->sensor, status), status);
    status = guarded_status();
    EXPECT_REFUSED("writePhotoStimDravik", writePhotoStimDravik(dravik->sensor, morvex->sensor, status), status);
    status = guarded_status();
    EXPECT_REFUSED("writePhotoStimDravik", writePhotoStimDravik(morvex->sensor, stimulator->sensor, status), status);
    status = guarded_status();
    EXPECT_REFUSED("writePhotoStimDravik", writePhotoStimDravik(stimulator->sensor, dravik->sensor, status), status);
    CHECK(readPhotoStimDravik(dravik->sensor) == NULL, "a refused link was made");
}

/* Processing parameters and raw packets of no device: refused, or converted within the
   caller's capacities. */
void misuse_processing(void) {
    static const uint8_t bad_gains[] = {11, 0x80, 0xFF};
    DravikAmplifierParam param;
    CallbackHandle** handle = guarded(1, sizeof *handle);
    CallStatus* status;
    uint8_t* raw;
    int32_t* raw_length;
    DravikSignalPack* signals;
    int32_t signal_count = 1;
    size_t i;
    set_context("Dravik processing");

    memset(&param, 0, sizeof param);
    for (i = 0; i < sizeof bad_gains / sizeof bad_gains[0]; ++i) {
        param.ChannelGain[5] = bad_gains[i];
        status = guarded_status();
        EXPECT_CODE("createSignalProcessParamDravik", createSignalProcessParamDravik(param, handle, status), status,
                    517);
        CHECK(strcmp(status->ErrorMsg, "The specified Gain value is not supported") == 0, "gain %u refused as \"%s\"",
              (unsigned)bad_gains[i], status->ErrorMsg);
        CHECK(untouched(handle, sizeof *handle), "a refused gain %u wrote a handle", (unsigned)bad_gains[i]);
    }
    param.ChannelGain[5] = 0;
    status = guarded_status();
    EXPECT_REFUSED("createSignalProcessParamDravik", createSignalProcessParamDravik(param, NULL, status), status);
    status = guarded_status();
    EXPECT_OUTCOME("createSignalProcessParamDravik", createSignalProcessParamDravik(param, handle, status), status);
    if (status->Success != 1) return;

    /* Lengths no buffer has, and a null handle. */
    raw = guarded(2, 37);
    for (i = 0; i < 37; ++i) raw[i] = (uint8_t)(0xF0 + i);
    raw_length = guarded(3, sizeof *raw_length);
    signals = guarded(4, sizeof *signals);
    signals->Samples = guarded(5, 4 * sizeof(double));
    signals->SzSamples = 4;
    *raw_length = 10;
    status = guarded_status();
    EXPECT_REFUSED("parseRawSignalDravik",
                   parseRawSignalDravik(NULL, raw_length, *handle, NULL, NULL, NULL, NULL, status), status);
    status = guarded_status();
    EXPECT_REFUSED("parseRawSignalDravik", parseRawSignalDravik(raw, NULL, *handle, NULL, NULL, NULL, NULL, status),
                   status);
    *raw_length = -1;
    status = guarded_status();
    EXPECT_REFUSED("parseRawSignalDravik",
                   parseRawSignalDravik(raw, raw_length, *handle, NULL, NULL, NULL, NULL, status), status);
    *raw_length = 37;
    status = guarded_status();
    EXPECT_REFUSED("parseRawSignalDravik", parseRawSignalDravik(raw, raw_length, NULL, NULL, NULL, NULL, NULL, status),
                   status);
    signal_count = -1;
    status = guarded_status();
    EXPECT_REFUSED("parseRawSignalDravik",
                   parseRawSignalDravik(raw, raw_length, *handle, signals, &signal_count, NULL, NULL, status), status);

    /* Bytes of no packet, read from right before a guard page, into capacities of one. */
    signal_count = 1;
    *raw_length = 37;
    status = guarded_status();
    EXPECT_OUTCOME("parseRawSignalDravik",
                   parseRawSignalDravik(raw, raw_length, *handle, signals, &signal_count, NULL, NULL, status), status);
    CHECK(*raw_length >= 0 && *raw_length <= 37 && signal_count >= 0 && signal_count <= 1,
          "parseRawSignalDravik used %d bytes and filled %d packs", (int)*raw_length, (int)signal_count);
    removeSignalProcessParamDravik(*handle);
    removeSignalProcessParamDravik(NULL);
}

static void on_found(SensorScannerWrap* scanner, _SensorInfo* sensors, int32_t count, void* user) {
    (void)scanner, (void)sensors, (void)count, (void)user;
}

/* One whole packet: number 7, one sample set (marker 3) of channel 0 at full scale. */
enum { FULL_SCALE_PACKET = 16 };
static const uint8_t full_scale_packet[FULL_SCALE_PACKET] = {7, 0, 0, 0, 1, 0, 1, 0, 0, 0, 0, 0, 3, 0xFF, 0xFF, 0x7F};

static uint8_t parse_packet(CallbackHandle* handle, DravikSignalPack* signals, int32_t* signal_count,
                            CallStatus* status) {
    uint8_t* raw = guarded(2, FULL_SCALE_PACKET);
    int32_t* raw_length = guarded(3, sizeof *raw_length);
    memcpy(raw, full_scale_packet, FULL_SCALE_PACKET);
    *raw_length = FULL_SCALE_PACKET;
    return parseRawSignalDravik(raw, raw_length, handle, signals, signal_count, NULL, NULL, status);
}

/* The library tells its handles apart: a callback handle is no processing handle, the single
   removals free a processing handle as they free a callback handle (one body serves them all),
   and a handle once removed is refused by the conversion and ignored by every removal. */
void misuse_foreign_handles(SensorScannerWrap* scanner) {
    DravikAmplifierParam param;
    CallbackHandle* found = NULL;
    CallbackHandle* processing = NULL;
    DravikSignalPack* signals = guarded(4, sizeof *signals);
    int32_t signal_count = 1;
    CallStatus* status = guarded_status();
    set_context("foreign handles");

    memset(&param, 0, sizeof param);
    CHECK(addSensorsCallbackScanner(scanner, on_found, &found, NULL, status) == 1, "addSensorsCallbackScanner: %s",
          status->ErrorMsg);
    status = guarded_status();
    CHECK(createSignalProcessParamDravik(param, &processing, status) == 1, "createSignalProcessParamDravik: %s",
          status->ErrorMsg);
    if (found == NULL || processing == NULL) return;

    signals->Samples = guarded(5, 24 * sizeof(double));
    signals->SzSamples = 24;
    status = guarded_status();
    EXPECT_CODE("parseRawSignalDravik of a callback handle", parse_packet(found, signals, &signal_count, status),
                status, 119);
    CHECK(untouched(signals->Samples, 24 * sizeof(double)), "a callback handle converted samples");
    status = guarded_status();
    EXPECT_OUTCOME("parseRawSignalDravik", parse_packet(processing, signals, &signal_count, status), status);
    CHECK(status->Success == 1 && signal_count == 1 && signals->PackNum == 7 && signals->Marker == 3 &&
              signals->SzSamples == 24 && signals->Samples[0] == 4.5,
          "the processing handle gave %d packs, the first %d with %u samples from %g", (int)signal_count,
          (int)signals->PackNum, (unsigned)signals->SzSamples, signals->Samples[0]);

    removeBatteryCallback(processing);
    removeSignalProcessParamDravik(processing);
    signals->Samples = guarded(5, 24 * sizeof(double));
    signals->SzSamples = 24;
    signal_count = 1;
    status = guarded_status();
    EXPECT_CODE("parseRawSignalDravik of a removed handle", parse_packet(processing, signals, &signal_count, status),
                status, 119);
    CHECK(untouched(signals->Samples, 24 * sizeof(double)), "a removed handle converted samples");
    removeSensorsCallbackScanner(found);
    removeSensorsCallbackScanner(found);
}
