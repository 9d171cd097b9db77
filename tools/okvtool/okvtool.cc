// okvtool: a companion for people who look after OKV files. It shows a file's
// definition, lists its records in any key's order through the engine, runs the
// independent format checker, and makes demonstration files.
//
// Enciphered files: an engine handle starts with the record key stored in the
// file's header, and OKVSetKey combines the given bytes into it by exclusive or.
// `--key HEX` names the record key the records were actually written with, so
// the tool hands OKVSetKey (stored key XOR given key), which leaves the handle
// holding exactly the given key.
#include <sys/stat.h>

#include <array>
#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "okv/check/okv_check.h"
#include "okv/okv.h"

namespace {

using RecordKey = std::array<uint8_t, 32>;

constexpr int kExitOk = 0;
constexpr int kExitProblems = 1;
constexpr int kExitError = 2;

// ---- Texts ------------------------------------------------------------------

constexpr const char* kUsage =
    "usage: okvtool [--key HEX] COMMAND ...\n"
    "\n"
    "commands:\n"
    "  info FILE                         header fields and key definitions\n"
    "  dump FILE [--key N] [--reverse]   records in key order, one line per record\n"
    "  check FILE                        verify the file format; exit 1 when problems are found\n"
    "  sample FILE COUNT                 create a demonstration file of COUNT records\n"
    "\n"
    "--key HEX   the 64-hex-digit record key the file's records were enciphered with,\n"
    "            when it differs from the key stored in the file.\n"
    "'okvtool COMMAND --help' explains a command.\n";

constexpr const char* kInfoHelp =
    "usage: okvtool [--key HEX] info FILE\n"
    "Prints the header fields (version, file ID and name, record size, counts,\n"
    "levels, free list head, encryption and stored key) and, for every key, its\n"
    "offset, length, type and flags. Opening the file applies a complete journal\n"
    "left beside it.\n";

constexpr const char* kDumpHelp =
    "usage: okvtool [--key HEX] dump FILE [--key N] [--reverse]\n"
    "Lists the records in the order of key N (default 0), first to last, or last\n"
    "to first with --reverse. Each line holds the record's address, its bytes in\n"
    "hex and its printable text (other bytes as '.'). A file without keys shows\n"
    "its single record. '--key' followed by 64 hex digits is the record key,\n"
    "followed by a number it is the key to list by.\n";

constexpr const char* kCheckHelp =
    "usage: okvtool [--key HEX] check FILE\n"
    "Verifies every structural rule of the file from its bytes alone: header,\n"
    "key blocks, node layout, free list, every key's lists and their order, the\n"
    "counts, and that enciphered records decipher (with the stored key or --key).\n"
    "Prints one line per problem and exits 1, or prints 'FILE: OK' and exits 0.\n"
    "The file is not changed; a journal left beside it is not applied.\n";

constexpr const char* kSampleHelp =
    "usage: okvtool [--key HEX] sample FILE COUNT\n"
    "Creates FILE (which must not exist) with COUNT customer-like records of 72\n"
    "bytes: a unique text key (customer number, key 0) and an unsigned route\n"
    "number allowing duplicates (key 1). Safe writes are off while filling.\n"
    "With --key the records are enciphered with that key, which the file does not\n"
    "store: reading them back then needs the same --key.\n";

// ---- Small helpers ----------------------------------------------------------

void PrintEngineError(uint8_t code, OKVOperation operation, const std::string& file) {
  std::array<char, 512> line{};
  std::fprintf(stderr, "okvtool: %s\n", OKVFormatError(code, line.data(), line.size(), operation, file.c_str()));
}

std::optional<RecordKey> ParseRecordKey(std::string_view hex) {
  if (hex.size() != 64) return std::nullopt;
  RecordKey key{};
  for (std::size_t i = 0; i < key.size(); ++i) {
    unsigned value = 0;
    for (char c : hex.substr(2 * i, 2)) {
      value <<= 4;
      if (c >= '0' && c <= '9') {
        value |= static_cast<unsigned>(c - '0');
      } else if (c >= 'a' && c <= 'f') {
        value |= static_cast<unsigned>(c - 'a' + 10);
      } else if (c >= 'A' && c <= 'F') {
        value |= static_cast<unsigned>(c - 'A' + 10);
      } else {
        return std::nullopt;
      }
    }
    key[i] = static_cast<uint8_t>(value);
  }
  return key;
}

std::optional<unsigned long> ParseCount(std::string_view text, unsigned long limit) {
  if (text.empty() || text.size() > 10) return std::nullopt;
  unsigned long value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + static_cast<unsigned long>(c - '0');
  }
  if (value > limit) return std::nullopt;
  return value;
}

std::string Hex(const uint8_t* bytes, std::size_t count) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string text;
  text.reserve(2 * count);
  for (std::size_t i = 0; i < count; ++i) {
    text += kDigits[bytes[i] >> 4];
    text += kDigits[bytes[i] & 15];
  }
  return text;
}

std::string Printable(const uint8_t* bytes, std::size_t count) {
  std::string text;
  for (std::size_t i = 0; i < count; ++i) text += (bytes[i] >= 0x20 && bytes[i] < 0x7F) ? char(bytes[i]) : '.';
  return text;
}

const char* KeyTypeName(uint8_t type) {
  static constexpr const char* kNames[] = {"string", "bytes", "unsigned", "signed", "float"};
  unsigned base = type & OKV_KEY_TYPE_MASK;
  return base < std::size(kNames) ? kNames[base] : "unknown";
}

// The journal beside a data file: its extension replaced by ".okt".
std::string JournalNameOf(const std::string& file) {
  std::size_t slash = file.rfind('/');
  std::size_t dot = file.rfind('.');
  bool hasExtension = dot != std::string::npos && (slash == std::string::npos || dot > slash);
  return (hasExtension ? file.substr(0, dot) : file) + ".okt";
}

// The raw header fields the engine's info call does not report.
struct LevelFields {
  uint32_t freeHead = 0;
  unsigned currentLevel = 0;
  unsigned maxLevel = 0;
};

std::optional<LevelFields> ReadLevelFields(const std::string& path) {
  FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) return std::nullopt;
  std::array<uint8_t, 128> header{};
  std::size_t got = std::fread(header.data(), 1, header.size(), file);
  std::fclose(file);
  if (got != header.size()) return std::nullopt;
  LevelFields fields;
  fields.freeHead = static_cast<uint32_t>(header[8] | (header[9] << 8) | (header[10] << 16)) |
                    (static_cast<uint32_t>(header[11]) << 24);
  fields.currentLevel = header[27];
  fields.maxLevel = header[28];
  return fields;
}

// ---- An open file -----------------------------------------------------------

// An engine handle that closes itself.
class OpenFile {
 public:
  OpenFile(const OpenFile&) = delete;
  OpenFile& operator=(const OpenFile&) = delete;
  ~OpenFile() {
    if (handle_ != 0) OKVCloseFile(handle_);
  }

  // Opens `path` and, when a record key is given, makes it the handle's key.
  static std::optional<OpenFile> Open(const std::string& path, const std::optional<RecordKey>& recordKey) {
    uint16_t handle = 0;
    uint8_t rc = OKVOpenFile(path.c_str(), 1, &handle);
    if (rc != OKV_SUCCESS) {
      PrintEngineError(rc, OKV_OP_OPEN_FILE, path);
      return std::nullopt;
    }
    std::optional<OpenFile> file(std::in_place, path, handle);
    rc = OKVFileInfo(handle, &file->info_);
    if (rc != OKV_SUCCESS) {
      PrintEngineError(rc, OKV_OP_FILE_INFO, path);
      return std::nullopt;
    }
    if (recordKey) {
      RecordKey change{};
      for (std::size_t i = 0; i < change.size(); ++i) change[i] = file->info_.storedKey[i] ^ (*recordKey)[i];
      rc = OKVSetKey(handle, change.data());
      if (rc != OKV_SUCCESS) {
        PrintEngineError(rc, OKV_OP_SET_KEY, path);
        return std::nullopt;
      }
    }
    return file;
  }

  OpenFile(std::string path, uint16_t handle) : path_(std::move(path)), handle_(handle) {}
  OpenFile(OpenFile&& other) noexcept : path_(std::move(other.path_)), handle_(other.handle_), info_(other.info_) {
    other.handle_ = 0;
  }

  uint16_t handle() const { return handle_; }
  const OKVFileInfoBuf& info() const { return info_; }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
  uint16_t handle_ = 0;
  OKVFileInfoBuf info_{};
};

// ---- Commands ---------------------------------------------------------------

struct Arguments {
  std::optional<RecordKey> recordKey;
  std::vector<std::string> words;  // the command and its arguments, options included
};

bool WantsHelp(const std::vector<std::string>& words) {
  for (const auto& word : words) {
    if (word == "--help" || word == "-h") return true;
  }
  return false;
}

int UsageError(const char* help) {
  std::fputs(help, stderr);
  return kExitError;
}

int RunInfo(const Arguments& args) {
  if (args.words.size() != 2) return UsageError(kInfoHelp);
  const std::string& path = args.words[1];
  auto file = OpenFile::Open(path, args.recordKey);
  if (!file) return kExitError;
  const OKVFileInfoBuf& info = file->info();
  uint32_t records = 0;
  uint32_t nodes = 0;
  uint8_t rc = OKVNumRecords(file->handle(), &records, &nodes);
  if (rc != OKV_SUCCESS) {
    PrintEngineError(rc, OKV_OP_NUM_RECORDS, path);
    return kExitError;
  }
  std::printf("file:          %s\n", path.c_str());
  std::printf("version:       0x%04X\n", info.version);
  std::printf("file id:       %u\n", info.fileId);
  std::printf("file name:     \"%.31s\"\n", info.fileName);
  std::printf("record size:   %u\n", info.recordSize);
  std::printf("open flags:    0x%04X\n", info.openFlags);
  std::printf("encrypted:     %s\n", info.encrypted != 0 && info.version >= 0x0107 ? "yes" : "no");
  std::printf("stored key:    %s\n", Hex(info.storedKey, sizeof info.storedKey).c_str());
  std::printf("records:       %" PRIu32 "\n", records);
  std::printf("nodes:         %" PRIu32 "\n", nodes);
  if (auto levels = ReadLevelFields(path)) {
    std::printf("free head:     %" PRIu32 "\n", levels->freeHead);
    std::printf("current level: %u\n", levels->currentLevel);
    std::printf("max level:     %u\n", levels->maxLevel);
  }
  std::printf("keys:          %u\n", info.keyCount);
  for (uint16_t k = 0; k < info.keyCount; ++k) {
    OKVKeyInfoBuf key{};
    rc = OKVKeyInfo(file->handle(), k, &key);
    if (rc != OKV_SUCCESS) {
      PrintEngineError(rc, OKV_OP_KEY_INFO, path);
      return kExitError;
    }
    std::printf("key %u:         offset %u, length %u, type 0x%02X %s%s%s\n", k, key.keyOffset, key.keyLength,
                key.keyType, KeyTypeName(key.keyType), (key.keyType & OKV_KEY_NOCASE) ? ", no case" : "",
                (key.keyType & OKV_KEY_DUPLICATES) ? ", duplicates" : ", unique");
  }
  return kExitOk;
}

void PrintRecord(uint32_t address, const std::vector<uint8_t>& record) {
  std::printf("%10" PRIu32 "  %s  %s\n", address, Hex(record.data(), record.size()).c_str(),
              Printable(record.data(), record.size()).c_str());
}

int DumpKeyless(const OpenFile& file, std::vector<uint8_t>& record) {
  uint8_t rc = OKVReadRec(file.handle(), record.data());
  if (rc == OKV_RECORD_NOT_FOUND) return kExitOk;
  if (rc != OKV_SUCCESS) {
    PrintEngineError(rc, OKV_OP_READ_REC, file.path());
    return kExitError;
  }
  PrintRecord(128, record);
  return kExitOk;
}

int RunDump(const Arguments& args) {
  std::optional<std::string> path;
  unsigned long keyNumber = 0;
  bool reverse = false;
  for (std::size_t i = 1; i < args.words.size(); ++i) {
    const std::string& word = args.words[i];
    if (word == "--reverse") {
      reverse = true;
    } else if (word == "--key" && i + 1 < args.words.size()) {
      auto number = ParseCount(args.words[++i], 254);
      if (!number) return UsageError(kDumpHelp);
      keyNumber = *number;
    } else if (!path && !word.starts_with("--")) {
      path = word;
    } else {
      return UsageError(kDumpHelp);
    }
  }
  if (!path) return UsageError(kDumpHelp);
  auto file = OpenFile::Open(*path, args.recordKey);
  if (!file) return kExitError;
  std::vector<uint8_t> record(file->info().recordSize);
  if (file->info().keyCount == 0) return DumpKeyless(*file, record);
  if (keyNumber >= file->info().keyCount) {
    std::fprintf(stderr, "okvtool: %s has %u keys; there is no key %lu\n", path->c_str(), file->info().keyCount,
                 keyNumber);
    return kExitError;
  }
  auto key = static_cast<uint16_t>(keyNumber);
  auto first = reverse ? OKVReadRecHI : OKVReadRecLO;
  auto step = reverse ? OKVReadRecPR : OKVReadRecNX;
  OKVOperation operation = reverse ? OKV_OP_READ_REC_HI : OKV_OP_READ_REC_LO;
  // A damaged file may link in a circle: never list more records than it has nodes.
  uint64_t limit = uint64_t{file->info().nodeCount} + 1;
  uint8_t rc = first(file->handle(), key, record.data());
  for (uint64_t listed = 0; rc == OKV_SUCCESS; ++listed) {
    if (listed == limit) {
      std::fprintf(stderr, "okvtool: %s: more records in key %u than nodes in the file; run check\n",
                   path->c_str(), key);
      return kExitError;
    }
    uint32_t address = 0;
    OKVGetRecIX(file->handle(), &address);
    PrintRecord(address, record);
    rc = step(file->handle(), key, record.data());
    operation = reverse ? OKV_OP_READ_REC_PR : OKV_OP_READ_REC_NX;
  }
  if (rc != OKV_RECORD_NOT_FOUND) {
    PrintEngineError(rc, operation, *path);
    return kExitError;
  }
  return kExitOk;
}

int RunCheck(const Arguments& args) {
  if (args.words.size() != 2) return UsageError(kCheckHelp);
  const std::string& path = args.words[1];
  struct stat info {};
  if (::stat(JournalNameOf(path).c_str(), &info) == 0) {
    std::fprintf(stderr, "okvtool: note: journal %s lies beside the file; it is checked without it\n",
                 JournalNameOf(path).c_str());
  }
  std::vector<std::string> problems = okv::check::CheckOkvFile(path, args.recordKey ? args.recordKey->data() : nullptr);
  for (const auto& problem : problems) std::printf("%s: %s\n", path.c_str(), problem.c_str());
  if (!problems.empty()) return kExitProblems;
  std::printf("%s: OK\n", path.c_str());
  return kExitOk;
}

// ---- The demonstration file -------------------------------------------------

// A customer-like record of 72 bytes.
constexpr uint16_t kSampleRecordSize = 72;
constexpr uint16_t kNumberAt = 0;   // text[12], key 0, unique
constexpr uint16_t kNumberLength = 12;
constexpr uint16_t kNameAt = 12;    // text[32]
constexpr uint16_t kRouteAt = 44;   // u32, key 1, duplicates
constexpr uint16_t kBalanceAt = 48; // f64, hundredths kept as a double
constexpr uint16_t kCityAt = 56;    // text[16]

std::vector<uint8_t> SampleRecord(unsigned long index) {
  static constexpr const char* kFirst[] = {"Ada", "Ben", "Cleo", "Dov", "Esme", "Finn", "Gus", "Hana"};
  static constexpr const char* kLast[] = {"Marsh", "Quill", "Ostrander", "Vale", "Ngata", "Birch", "Lund"};
  static constexpr const char* kCities[] = {"Harlow Flats", "Pine Ridge", "Eastmoor", "Cold Spring", "Tarrow"};
  std::vector<uint8_t> record(kSampleRecordSize, 0);
  auto putText = [&](uint16_t at, std::size_t width, const std::string& text) {
    std::memcpy(record.data() + at, text.data(), std::min(text.size(), width - 1));
  };
  char number[kNumberLength + 8];
  std::snprintf(number, sizeof number, "C%07lu", (index * 7919) % 10000000);
  putText(kNumberAt, kNumberLength, number);
  putText(kNameAt, 32, std::string(kFirst[index % 8]) + " " + kLast[(index / 8) % 7]);
  uint32_t route = static_cast<uint32_t>(index % 25 + 1);
  for (int i = 0; i < 4; ++i) record[kRouteAt + i] = static_cast<uint8_t>(route >> (8 * i));
  double balance = static_cast<double>((index * 3331) % 100000) / 100.0;
  std::memcpy(record.data() + kBalanceAt, &balance, sizeof balance);
  putText(kCityAt, 16, kCities[index % 5]);
  return record;
}

uint8_t CreateSampleDefinition(const std::string& path, bool encrypted, OKVOperation& failed) {
  static const RecordKey kNoStoredKey{};
  uint16_t number = 0;
  uint8_t rc = OKVCreateFile(path.c_str(), OKV_OPEN_FLAGS_DEFAULT, kSampleRecordSize, encrypted ? 1 : 0,
                             encrypted ? kNoStoredKey.data() : nullptr, "okvtool sample", 1);
  failed = OKV_OP_CREATE_FILE;
  if (rc != OKV_SUCCESS) return rc;
  failed = OKV_OP_CREATE_KEY;
  rc = OKVCreateKey(path.c_str(), OKV_KEY_STRING, kNumberAt, kNumberLength, &number);
  if (rc == OKV_SUCCESS) rc = OKVCreateKey(path.c_str(), OKV_KEY_UNSIGNED | OKV_KEY_DUPLICATES, kRouteAt, 4, &number);
  if (rc != OKV_SUCCESS) return rc;
  failed = OKV_OP_FINALIZE_CREATE;
  return OKVFinalizeCreate(path.c_str());
}

int RunSample(const Arguments& args) {
  if (args.words.size() != 3) return UsageError(kSampleHelp);
  const std::string& path = args.words[1];
  auto count = ParseCount(args.words[2], 10000000);
  if (!count) return UsageError(kSampleHelp);
  OKVOperation failed{};
  uint8_t rc = CreateSampleDefinition(path, args.recordKey.has_value(), failed);
  if (rc != OKV_SUCCESS) {
    PrintEngineError(rc, failed, path);
    if (failed != OKV_OP_CREATE_FILE) OKVDeleteFile(path.c_str());
    return kExitError;
  }
  auto file = OpenFile::Open(path, args.recordKey);
  if (!file) return kExitError;
  OKVSetSafeWrites(file->handle(), 0);
  for (unsigned long i = 0; i < *count; ++i) {
    rc = OKVCreateRec(file->handle(), SampleRecord(i).data());
    if (rc != OKV_SUCCESS) {
      PrintEngineError(rc, OKV_OP_CREATE_REC, path);
      return kExitError;
    }
  }
  std::printf("%s: %lu records\n", path.c_str(), *count);
  return kExitOk;
}

// ---- Main -------------------------------------------------------------------

struct Command {
  const char* name;
  int (*run)(const Arguments&);
  const char* help;
};

constexpr Command kCommands[] = {
    {"info", RunInfo, kInfoHelp},
    {"dump", RunDump, kDumpHelp},
    {"check", RunCheck, kCheckHelp},
    {"sample", RunSample, kSampleHelp},
};

// Takes `--key HEX` out of the words; a `--key` followed by anything else is
// left for the command (dump's key number).
std::optional<Arguments> ParseArguments(int argc, char** argv) {
  Arguments args;
  for (int i = 1; i < argc; ++i) {
    std::string_view word = argv[i];
    if (word == "--key" && i + 1 < argc && std::strlen(argv[i + 1]) == 64) {
      args.recordKey = ParseRecordKey(argv[++i]);
      if (!args.recordKey) {
        std::fprintf(stderr, "okvtool: --key needs 64 hex digits\n");
        return std::nullopt;
      }
      continue;
    }
    args.words.emplace_back(word);
  }
  return args;
}

}  // namespace

int main(int argc, char** argv) {
  auto args = ParseArguments(argc, argv);
  if (!args) return kExitError;
  if (args->words.empty()) return UsageError(kUsage);
  for (const Command& command : kCommands) {
    if (args->words[0] != command.name) continue;
    if (WantsHelp(args->words)) {
      std::fputs(command.help, stdout);
      return kExitOk;
    }
    return command.run(*args);
  }
  if (args->words[0] == "--help" || args->words[0] == "-h" || args->words[0] == "help") {
    std::fputs(kUsage, stdout);
    return kExitOk;
  }
  std::fprintf(stderr, "okvtool: unknown command '%s'\n", args->words[0].c_str());
  return UsageError(kUsage);
}
