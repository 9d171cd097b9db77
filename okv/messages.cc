// The engine's message table, its operation names and the standard error line.
#include <cstdio>

#include "okv/okv.h"

namespace {

constexpr const char* kMessages[OKV_MESSAGE_COUNT] = {
    "Success.",
    "Parameter error.",
    "Open error on file.",
    "Seek error on file.",
    "Tell error on file.",
    "Read error on file.",
    "Write error on file.",
    "Close error on file.",
    "Unlink error on file.",
    "File not found.",
    "Record not found.",
    "File corrupted error.",
    "Memory allocation error.",
    "No handles available.",
    "No more keys available in file.",
    "Dupliate key value.",
    "No current record defined.",
    "Wrong file type for access attempt.",
    "A key value has changed.",
    "End of file.",
    "The file being opened is not an OKV file.",
    "The file cannot contain any more data.",
    "The disk cannot contain any more data.",
    "Hardware error - Write protect.",
    "Hardware error - Unknown unit.",
    "Hardware error - Drive not ready.",
    "Hardware error - Unknown command.",
    "Hardware error - CRC.",
    "Hardware error - Bad drive request.",
    "Hardware error - Seek error.",
    "Hardware error - Unknown media.",
    "Hardware error - Sector not found.",
    "Hardware error - Write fault.",
    "Hardware error - Read fault.",
    "Hardware error - General failure.",
    "Hardware error - Unknown error.",
    "The creation of the file was not finalized.",
    "The creation of the file has already been finalized.",
    "The file was encrypted with a different private key.",
    "The current record failed to encrypt successfully.",
};

constexpr const char* kOperationNames[OKV_OPERATION_COUNT] = {
    "OKVAbortSession",   "OKVBeginSession", "OKVCloseFile",     "OKVCreateBTreeRec", "OKVCreateFile", "OKVCreateKey",
    "OKVCreateRec",      "OKVDeleteFile",   "OKVDeleteRec",     "OKVEndSession",     "OKVFileExists", "OKVFileInfo",
    "OKVFinalizeCreate", "OKVGetRecIX",     "OKVGetSafeWrites", "OKVKeyInfo",        "OKVNumRecords", "OKVOpenFile",
    "OKVReadRec",        "OKVReadRecEQ",    "OKVReadRecGE",     "OKVReadRecGT",      "OKVReadRecHI",  "OKVReadRecIX",
    "OKVReadRecLE",      "OKVReadRecLO",    "OKVReadRecLT",     "OKVReadRecNX",      "OKVReadRecPR",  "OKVSetFileID",
    "OKVSetFileName",    "OKVSetKey",       "OKVSetSafeWrites", "OKVUpdateRec",
};

constexpr const char* kUnknown = "<<Unknown>>";

}  // namespace

extern "C" {

OKV_EXPORT const char* OKVResultMessage(uint8_t code) { return code < OKV_MESSAGE_COUNT ? kMessages[code] : nullptr; }

OKV_EXPORT const char* OKVOperationName(unsigned operation) {
  return operation < OKV_OPERATION_COUNT ? kOperationNames[operation] : nullptr;
}

OKV_EXPORT char* OKVFormatError(uint8_t code, char* buffer, size_t bufferSize, unsigned operation,
                                const char* fileText) {
  if (buffer == nullptr || bufferSize == 0) return buffer;
  const char* name = OKVOperationName(operation);
  const char* file = fileText ? fileText : kUnknown;
  if (const char* message = OKVResultMessage(code)) {
    std::snprintf(buffer, bufferSize, "%s Error %u on %s: %s", name ? name : kUnknown, code, file, message);
  } else {
    std::snprintf(buffer, bufferSize, "%s Error %u on %s", name ? name : kUnknown, code, file);
  }
  return buffer;
}

}  // extern "C"
