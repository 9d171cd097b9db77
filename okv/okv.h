/*
 * PWOKV32: the OKV keyed-record database engine.
 *
 * An OKV file holds fixed-size records ordered by up to 255 keys, each key a
 * doubly linked skip list whose links live in the records' nodes. A file without
 * keys holds at most one record. docs/file-formats.md describes every byte.
 *
 * Contract for callers:
 *  - Every function returns a result code (OKV_SUCCESS or one of the codes
 *    below) unless its comment says otherwise. Nothing is thrown, and no error
 *    state is kept between calls.
 *  - Every call except GetPWOKVVersion and the message helpers runs under one
 *    machine-wide reentrant lock ("PWOKV"), so processes and threads may share
 *    files freely; each call reopens the file and rereads its header.
 *  - Handles are small numbers private to the process; 0 is never valid.
 *  - With safe writes on (the default for every new handle) each changing call
 *    goes through a journal beside the data file and is applied whole or not at
 *    all, even across a crash: the next open applies a complete journal.
 *  - Files are untrusted: a damaged file gives OKV_FILE_CORRUPTED (or
 *    OKV_PARAMETER for a caller's bad address), never a crash or a hang.
 */
#ifndef PWOKV32_OKV_H
#define PWOKV32_OKV_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define OKV_EXPORT __attribute__((visibility("default")))

/* Key type byte: the low six bits give the type, the two high bits are flags. */
#define OKV_KEY_STRING 0     /* NUL-terminated text inside the field */
#define OKV_KEY_BYTES 1      /* exactly keyLength bytes */
#define OKV_KEY_UNSIGNED 2   /* length 1, 2 or 4 */
#define OKV_KEY_SIGNED 3     /* length 1, 2 or 4 */
#define OKV_KEY_FLOAT 4      /* length 4 or 8 */
#define OKV_KEY_TYPE_MASK 0x3F
#define OKV_KEY_NOCASE 0x40      /* compare letters without regard to case (types 0 and 1) */
#define OKV_KEY_DUPLICATES 0x80  /* allow equal key values */

/* The open flags word the suite stores in every file it creates. */
#define OKV_OPEN_FLAGS_DEFAULT 0x8002

/* Result codes. */
#define OKV_SUCCESS 0
#define OKV_PARAMETER 1
#define OKV_OPEN_ERROR 2
#define OKV_SEEK_ERROR 3
#define OKV_TELL_ERROR 4
#define OKV_READ_ERROR 5
#define OKV_WRITE_ERROR 6
#define OKV_CLOSE_ERROR 7
#define OKV_UNLINK_ERROR 8
#define OKV_FILE_NOT_FOUND 9
#define OKV_RECORD_NOT_FOUND 10
#define OKV_FILE_CORRUPTED 11
#define OKV_NO_MEMORY 12
#define OKV_NO_HANDLES 13
#define OKV_NO_MORE_KEYS 14
#define OKV_DUPLICATE_KEY 15
#define OKV_NO_CURRENT_RECORD 16
#define OKV_WRONG_FILE_TYPE 17
#define OKV_KEY_CHANGED 18
#define OKV_END_OF_FILE 19
#define OKV_NOT_OKV_FILE 20
#define OKV_FILE_FULL 21
#define OKV_DISK_FULL 22
#define OKV_HW_WRITE_PROTECT 23
#define OKV_HW_UNKNOWN_UNIT 24
#define OKV_HW_DRIVE_NOT_READY 25
#define OKV_HW_UNKNOWN_COMMAND 26
#define OKV_HW_CRC 27
#define OKV_HW_BAD_REQUEST 28
#define OKV_HW_SEEK 29
#define OKV_HW_UNKNOWN_MEDIA 30
#define OKV_HW_SECTOR_NOT_FOUND 31
#define OKV_HW_WRITE_FAULT 32
#define OKV_HW_READ_FAULT 33
#define OKV_HW_GENERAL_FAILURE 34
#define OKV_HW_UNKNOWN 35
#define OKV_NOT_FINALIZED 36
#define OKV_ALREADY_FINALIZED 37
#define OKV_WRONG_KEY 38
#define OKV_ENCRYPT_FAILED 39
#define OKV_MESSAGE_COUNT 40

#pragma pack(push, 1)
/* Filled by OKVFileInfo: 83 bytes, no padding. */
typedef struct {
  uint16_t version;
  uint32_t nodeCount;
  uint32_t recordCount;
  uint16_t fileId;
  uint16_t keyCount;
  uint16_t recordSize;
  uint16_t openFlags;
  uint8_t encrypted;
  uint8_t storedKey[32];
  char fileName[32]; /* at most 31 characters; byte 31 is always 0 */
} OKVFileInfoBuf;

/* Filled by OKVKeyInfo: 5 bytes, no padding. */
typedef struct {
  uint16_t keyOffset;
  uint16_t keyLength;
  uint8_t keyType;
} OKVKeyInfoBuf;
#pragma pack(pop)

/* The exported version text, "v1.10". */
OKV_EXPORT extern const char* verPWOKV;

/* File creation and definition (addressed by name). */
OKV_EXPORT uint8_t OKVCreateFile(const char* name, uint16_t openFlags, uint16_t recordSize, uint8_t encrypted,
                                 const uint8_t* recordKey32, const char* fileNameText, uint16_t fileId);
OKV_EXPORT uint8_t OKVCreateKey(const char* name, uint8_t keyType, uint16_t keyOffset, uint16_t keyLength,
                                uint16_t* keyNumber);
OKV_EXPORT uint8_t OKVFinalizeCreate(const char* name);
OKV_EXPORT uint8_t OKVDeleteFile(const char* name);
OKV_EXPORT int OKVFileExists(const char* name); /* 1 or 0 */

/* Open files and what they are. */
OKV_EXPORT uint8_t OKVOpenFile(const char* name, uint8_t openMode, uint16_t* handle);
OKV_EXPORT uint8_t OKVCloseFile(uint16_t handle);
OKV_EXPORT uint8_t OKVFileInfo(uint16_t handle, OKVFileInfoBuf* info);
OKV_EXPORT uint8_t OKVKeyInfo(uint16_t handle, uint16_t keyNumber, OKVKeyInfoBuf* info);
OKV_EXPORT uint8_t OKVSetFileName(uint16_t handle, const char* text);
OKV_EXPORT uint8_t OKVSetFileID(uint16_t handle, uint16_t fileId);
OKV_EXPORT uint8_t OKVNumRecords(uint16_t handle, uint32_t* recordCount, uint32_t* nodeCount);
/* Copies "v1.10" into the buffer (never beyond bufferSize) and returns it. */
OKV_EXPORT char* GetPWOKVVersion(char* buffer, int bufferSize);

/* Adding records. */
OKV_EXPORT uint8_t OKVCreateRec(uint16_t handle, const void* record);
OKV_EXPORT uint8_t OKVCreateBTreeRec(uint16_t handle, const void* record);

/* Keyed reads: the found record becomes the handle's current record. */
OKV_EXPORT uint8_t OKVReadRecEQ(uint16_t handle, uint16_t keyNumber, const void* keyValue, void* record);
OKV_EXPORT uint8_t OKVReadRecGE(uint16_t handle, uint16_t keyNumber, const void* keyValue, void* record);
OKV_EXPORT uint8_t OKVReadRecGT(uint16_t handle, uint16_t keyNumber, const void* keyValue, void* record);
OKV_EXPORT uint8_t OKVReadRecLE(uint16_t handle, uint16_t keyNumber, const void* keyValue, void* record);
OKV_EXPORT uint8_t OKVReadRecLT(uint16_t handle, uint16_t keyNumber, const void* keyValue, void* record);
OKV_EXPORT uint8_t OKVReadRecLO(uint16_t handle, uint16_t keyNumber, void* record);
OKV_EXPORT uint8_t OKVReadRecHI(uint16_t handle, uint16_t keyNumber, void* record);
OKV_EXPORT uint8_t OKVReadRecNX(uint16_t handle, uint16_t keyNumber, void* record);
OKV_EXPORT uint8_t OKVReadRecPR(uint16_t handle, uint16_t keyNumber, void* record);
OKV_EXPORT uint8_t OKVReadRecIX(uint16_t handle, uint32_t address, void* record);
OKV_EXPORT uint8_t OKVGetRecIX(uint16_t handle, uint32_t* address);
OKV_EXPORT uint8_t OKVReadRec(uint16_t handle, void* record); /* the record of a keyless file */

/* Changing the current record. */
OKV_EXPORT uint8_t OKVUpdateRec(uint16_t handle, const void* record);
OKV_EXPORT uint8_t OKVDeleteRec(uint16_t handle);

/* Safe writes (journaling) per handle, and the session calls, which only wait
 * until no engine call runs anywhere. */
OKV_EXPORT uint8_t OKVGetSafeWrites(uint16_t handle, uint8_t* flag);
OKV_EXPORT uint8_t OKVSetSafeWrites(uint16_t handle, uint8_t flag);
OKV_EXPORT uint8_t OKVBeginSession(void);
OKV_EXPORT uint8_t OKVEndSession(void);
OKV_EXPORT uint8_t OKVAbortSession(void);

/* Record encryption (RC6, 32-byte key). */
OKV_EXPORT uint8_t OKVSetKey(uint16_t handle, const uint8_t* key32);
OKV_EXPORT uint8_t OKVEncrypt(const uint8_t* key32, const void* source, uint16_t sourceLength, void* destination,
                              uint16_t destinationSize);
OKV_EXPORT uint8_t OKVDecrypt(const uint8_t* key32, const void* source, uint16_t sourceLength, void* destination,
                              uint16_t* recordLength);

/* Messages. The operation indexes of the standard error line. */
enum OKVOperation {
  OKV_OP_ABORT_SESSION = 0, OKV_OP_BEGIN_SESSION, OKV_OP_CLOSE_FILE, OKV_OP_CREATE_BTREE_REC, OKV_OP_CREATE_FILE,
  OKV_OP_CREATE_KEY, OKV_OP_CREATE_REC, OKV_OP_DELETE_FILE, OKV_OP_DELETE_REC, OKV_OP_END_SESSION,
  OKV_OP_FILE_EXISTS, OKV_OP_FILE_INFO, OKV_OP_FINALIZE_CREATE, OKV_OP_GET_REC_IX, OKV_OP_GET_SAFE_WRITES,
  OKV_OP_KEY_INFO, OKV_OP_NUM_RECORDS, OKV_OP_OPEN_FILE, OKV_OP_READ_REC, OKV_OP_READ_REC_EQ, OKV_OP_READ_REC_GE,
  OKV_OP_READ_REC_GT, OKV_OP_READ_REC_HI, OKV_OP_READ_REC_IX, OKV_OP_READ_REC_LE, OKV_OP_READ_REC_LO,
  OKV_OP_READ_REC_LT, OKV_OP_READ_REC_NX, OKV_OP_READ_REC_PR, OKV_OP_SET_FILE_ID, OKV_OP_SET_FILE_NAME,
  OKV_OP_SET_KEY, OKV_OP_SET_SAFE_WRITES, OKV_OP_UPDATE_REC,
  OKV_OPERATION_COUNT /* 34 */
};

/* The fixed message of a result code; NULL for codes of 40 and above. Takes no lock. */
OKV_EXPORT const char* OKVResultMessage(uint8_t code);
/* The name of an operation index; NULL beyond the table. Takes no lock. */
OKV_EXPORT const char* OKVOperationName(unsigned operation);
/* Writes the standard error line into the buffer and returns it:
 *   "%s Error %u on %s: %s" (operation, code, file text, message) for codes below 40,
 *   "%s Error %u on %s"     for codes of 40 and above.
 * A null fileText prints "<<Unknown>>"; an operation index beyond the table
 * prints "<<Unknown>>" as the operation. The line is cut to fit the buffer. */
OKV_EXPORT char* OKVFormatError(uint8_t code, char* buffer, size_t bufferSize, unsigned operation,
                                const char* fileText);

#ifdef __cplusplus
}
#endif

#endif /* PWOKV32_OKV_H */
