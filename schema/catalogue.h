// The database catalogue: the 35 data files of the suite, their keys, and the six
// operations through which every program creates, opens and fills them.
//
// Contract:
//  - A data file is named by its FileIndex; the index selects the disk file name
//    (set behind the database folder), the creation parameters and the
//    definitions that an existing file must match when it is opened.
//  - Every operation returns an OKV result code (okv/okv.h), 0 for success, or 2
//    (OKV_OPEN_ERROR) when an opened file's record size or keys differ from the
//    catalogue. None of them reports anything by itself; callers word the message.
//  - A Catalogue holds one database folder and one handle per index (0 = not
//    open); it never holds two handles for one index. Its destructor closes what
//    is still open. It is not thread-safe: one thread owns it.
//  - The folder is used exactly as given: file names are appended to it, so it
//    normally ends in '/'. A path longer than 259 characters is refused with
//    OKV_PARAMETER, never cut.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "okv/okv.h"

namespace trk::schema {

enum class FileIndex : uint16_t {
  TQRConfg, Networks, Netxxxxx, AppInfo, Cash, CfgOfc, CfgTax, CfgTkt, CompTran, Config,
  CustAcct, Customer, Delivery, DevDeliv, Dispatch, DOT, Driver, Duplicat, FuelType, InvType,
  Logon, MiscTran, Product, SysDefs, Tank, Tax, TaxCode, Totals, Volume, WillCall,
  TRKConfg, TQPFS, DDPAppl, DDPNode, CompTemp,
};
inline constexpr uint16_t kCatalogueSize = 35;
inline constexpr uint16_t kKeyTableSize = 34;

struct KeyDefinition {
  uint8_t type;  // OKV key type byte with its flags
  uint16_t offset;
  uint16_t length;
};

struct CatalogueEntry {
  char diskFileName[13];
  uint16_t openFlags;
  uint16_t recordSize;
  uint8_t encrypted;
  const uint8_t* encryptionKey;  // RecordEncryptionKey when encrypted, else null
  char headerFileName[32];
  uint16_t headerFileId;
  uint16_t keyCount;
  uint16_t firstKey;
  uint8_t distributionClass;  // carried for the distribution program; unused here
};

// Every program of the suite and any outside tool must carry these 32 bytes:
// each opens enciphered files that the others created.
inline constexpr uint8_t RecordEncryptionKey[32] = {
    0x5A, 0x3C, 0x91, 0xE7, 0x28, 0x4D, 0xB6, 0x0F, 0x73, 0xC2, 0x1E, 0x89, 0xA4, 0x57, 0xD0, 0x6B,
    0x12, 0xF8, 0x3E, 0x95, 0x4A, 0xC7, 0x60, 0xDB, 0x2F, 0x84, 0x19, 0xBE, 0x75, 0x0A, 0xE3, 0x56,
};

inline constexpr std::array<KeyDefinition, kKeyTableSize> KeyTable = {{
    {0x02, 0, 2},   {0xC0, 3, 15},  {0x02, 0, 1},   {0xC0, 10, 17}, {0x40, 0, 9},   {0x01, 0, 2},
    {0x80, 0, 18},  {0x40, 0, 13},  {0x40, 0, 13},  {0xC1, 66, 56}, {0xC0, 86, 36}, {0x80, 13, 17},
    {0x02, 26, 1},  {0xC1, 0, 11},  {0x41, 11, 26}, {0x40, 0, 11},  {0x03, 0, 4},   {0x02, 0, 1},
    {0x40, 1, 21},  {0x40, 0, 9},   {0x40, 0, 23},  {0x40, 23, 9},  {0x40, 0, 9},   {0x41, 0, 26},
    {0x41, 13, 26}, {0x00, 0, 9},   {0x00, 0, 9},   {0xC1, 0, 10},  {0xC0, 10, 18}, {0x00, 0, 9},
    {0x01, 0, 31},  {0xC0, 18, 13}, {0x40, 0, 256}, {0x40, 0, 9},
}};

namespace detail {
inline constexpr uint16_t kFlags = OKV_OPEN_FLAGS_DEFAULT;
inline constexpr uint16_t kFileId = 0x0100;
inline constexpr const uint8_t* kKey = RecordEncryptionKey;
}  // namespace detail

// Row for row the same table in every program; indexes are stable.
inline constexpr std::array<CatalogueEntry, kCatalogueSize> FileCatalogue = {{
    {"TQRConfg.okv", detail::kFlags, 512, 0, nullptr, "TQRHost:Configuration", detail::kFileId, 0, 0, 0},
    {"Networks.okv", detail::kFlags, 28, 0, nullptr, "TQRHost:Network Definitions", detail::kFileId, 2, 0, 0},
    {"Netxxxxx.okv", detail::kFlags, 27, 0, nullptr, "TQRHost:Device Definitions", detail::kFileId, 2, 2, 1},
    {"AppInfo.zdb", detail::kFlags, 32, 0, nullptr, "TQRData:Application Info", detail::kFileId, 0, 0, 1},
    {"Cash.zdb", detail::kFlags, 63, 1, detail::kKey, "TQRData:Cash Discounts", detail::kFileId, 1, 4, 1},
    {"CfgOfc.zdb", detail::kFlags, 1006, 0, nullptr, "TQRData:Office Configuration", detail::kFileId, 0, 0, 2},
    {"CfgTax.zdb", detail::kFlags, 300, 0, nullptr, "TQRData:Tax Configuration", detail::kFileId, 0, 0, 2},
    {"CfgTkt.zdb", detail::kFlags, 41, 0, nullptr, "TQRData:Ticket Configuration", detail::kFileId, 1, 5, 1},
    {"CompTran.trn", detail::kFlags, 630, 1, detail::kKey, "TQRData:Completed Transactions", detail::kFileId, 1, 6, 2},
    {"Config.zdb", detail::kFlags, 32, 0, nullptr, "TQRData:Configuration", detail::kFileId, 0, 0, 1},
    {"CustAcct.zdb", detail::kFlags, 61, 1, detail::kKey, "TQRData:Customer Accounting", detail::kFileId, 1, 7, 1},
    {"Customer.zdb", detail::kFlags, 514, 1, detail::kKey, "TQRData:Customer Information", detail::kFileId, 4, 8, 1},
    {"Delivery.zdb", detail::kFlags, 761, 1, detail::kKey, "TQRData:Delivery Information", detail::kFileId, 0, 0, 1},
    {"DevDeliv.zdb", detail::kFlags, 499, 0, nullptr, "TQRData:Deliveries by Device", detail::kFileId, 1, 12, 1},
    {"Dispatch.zdb", detail::kFlags, 153, 1, detail::kKey, "TQRData:Dispatch Information", detail::kFileId, 2, 13, 1},
    {"DOT.zdb", detail::kFlags, 41, 0, nullptr, "TQRData:DOT", detail::kFileId, 0, 0, 2},
    {"Driver.zdb", detail::kFlags, 54, 0, nullptr, "TQRData:Driver Information", detail::kFileId, 1, 15, 1},
    {"Duplicat.zdb", detail::kFlags, 3809, 1, detail::kKey, "TQRData:Duplicate Ticket", detail::kFileId, 1, 16, 1},
    {"FuelType.zdb", detail::kFlags, 40, 0, nullptr, "TQRData:Fuel Types", detail::kFileId, 2, 17, 1},
    {"InvType.zdb", detail::kFlags, 26, 0, nullptr, "TQRData:Inventory Types", detail::kFileId, 1, 19, 1},
    {"Logon.zdb", detail::kFlags, 74, 0, nullptr, "TQRData:Logon Information", detail::kFileId, 0, 0, 1},
    {"MiscTran.zdb", detail::kFlags, 57, 0, nullptr, "TQRData:Miscellaneous Trans", detail::kFileId, 2, 20, 1},
    {"Product.zdb", detail::kFlags, 67, 1, detail::kKey, "TQRData:Product Information", detail::kFileId, 1, 22, 1},
    {"SysDefs.zdb", detail::kFlags, 2976, 0, nullptr, "TQRData:System Definitions", detail::kFileId, 0, 0, 1},
    {"Tank.zdb", detail::kFlags, 381, 1, detail::kKey, "TQRData:Tank Information", detail::kFileId, 2, 23, 1},
    {"Tax.zdb", detail::kFlags, 36, 1, detail::kKey, "TQRData:Tax Information", detail::kFileId, 1, 25, 1},
    {"TaxCode.zdb", detail::kFlags, 189, 1, detail::kKey, "TQRData:Tax Code Information", detail::kFileId, 1, 26, 1},
    {"Totals.trn", detail::kFlags, 251, 0, nullptr, "TQRData:Totalizers", detail::kFileId, 2, 27, 1},
    {"Volume.zdb", detail::kFlags, 46, 1, detail::kKey, "TQRData:Volume Discounts", detail::kFileId, 1, 29, 1},
    {"WillCall.zdb", detail::kFlags, 477, 1, detail::kKey, "TQRData:WillCall Information", detail::kFileId, 2, 30, 1},
    {"TRKConfg.okv", detail::kFlags, 896, 0, nullptr, "TRKMenu:Configuration", detail::kFileId, 0, 0, 0},
    {"TQPFS.okv", detail::kFlags, 22, 0, nullptr, "TQPFS:Configuration", detail::kFileId, 0, 0, 1},
    {"DDPAppl.okv", detail::kFlags, 768, 0, nullptr, "TQPDDP:Supported Applications", detail::kFileId, 1, 32, 2},
    {"DDPNode.okv", detail::kFlags, 14, 0, nullptr, "TQPDDP:Supported Nodes", detail::kFileId, 1, 33, 2},
    {"CompTemp.trn", detail::kFlags, 630, 1, detail::kKey, "TQRData:Completed Transactions", detail::kFileId, 1, 6, 2},
}};

constexpr const CatalogueEntry& EntryOf(FileIndex index) { return FileCatalogue[static_cast<uint16_t>(index)]; }
constexpr const char* FileNameOf(FileIndex index) { return EntryOf(index).diskFileName; }
// The definition of key number `key` (from 0) of a file.
constexpr const KeyDefinition& KeyOf(FileIndex index, uint16_t key) { return KeyTable[EntryOf(index).firstKey + key]; }

// The database folder and the handle table of one program (or one office session).
class Catalogue {
 public:
  explicit Catalogue(std::string folder);
  ~Catalogue();
  Catalogue(const Catalogue&) = delete;
  Catalogue& operator=(const Catalogue&) = delete;

  const std::string& Folder() const { return folder_; }
  std::string PathOf(FileIndex index) const;
  // The open handle of the file, 0 when it is not open.
  uint16_t Handle(FileIndex index) const;
  bool FileExists(FileIndex index) const;

  // Opens the file and checks its record size and keys against the catalogue.
  // Returns 0 at once when the file is already open.
  uint8_t OpenCatalogueFile(FileIndex index);
  // Creates the file empty with its keys; it is not left open. A failure after
  // the header was written removes the half-made file.
  uint8_t CreateCatalogueFile(FileIndex index);
  // Opens; creates and opens when the open reports OKV_FILE_NOT_FOUND.
  uint8_t OpenOrCreateCatalogueFile(FileIndex index);
  // Deletes the file when it exists (0 when it does not). A handle that this
  // catalogue holds for it is closed first, so no handle outlives its file.
  uint8_t DeleteCatalogueFile(FileIndex index);
  // Closes the file when open; 0 when it was not.
  uint8_t CloseCatalogueFile(FileIndex index);
  // Adds one record, creating the file when missing and opening it when needed.
  uint8_t AddCatalogueRecord(FileIndex index, const void* record);

  // Closes every open file, ignoring failures (the end of a program).
  void CloseAll();

 private:
  bool PathFits(FileIndex index) const;

  std::string folder_;
  std::array<uint16_t, kCatalogueSize> handles_{};
};

}  // namespace trk::schema
