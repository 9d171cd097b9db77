// Byte layouts of the will-call record ("WillCall.zdb") and of the two lists the
// distribution program keeps in its own folder: its nodes ("DDPNode.okv") and its
// application folders ("DDPAppl.okv").
//
// Contract:
//  - Each struct is the record exactly as stored: packed, little-endian, no gaps;
//    sizes and the offsets the keys cover are checked at compile time against
//    the catalogue.
//  - text[N] fields hold at most N-1 characters, NUL-terminated and NUL-padded;
//    a writer value-initialises the record ({}) and fills it with SetText.
//  - The distribution program's lists come from outside the suite: read their
//    texts with TextOf, which never looks beyond the field.
//  - The will-call record's first key is its first 31 bytes as they stand
//    (entryTimestamp then accessNumber, NULs included), so a record's own bytes
//    are its key value.
#pragma once

#include <cstddef>
#include <cstdint>

#include "schema/records.h"

namespace trk::schema {

inline constexpr size_t kWillCallKeyLength = 31;  // entryTimestamp and accessNumber

#pragma pack(push, 1)

struct WillCallRecord {  // "WillCall.zdb"
  char entryTimestamp[18];  // "%y/%m/%d %H:%M:%S" of the local time it was written
  char accessNumber[13];
  char deliverToAddress[36];
  char instruction1[36];
  char instruction2[36];
  char instruction3[36];
  char instruction4[36];
  char mailToAddress1[36];
  char mailToAddress2[36];
  char mailToCity[20];
  char mailToProvinceState[11];
  char mailToZipCode[11];
  char customerName[36];
  char cellPhone[15];
  char homePhone[15];
  char workPhone[15];
  char productDescription[36];
  char tankCapacity[7];  // as written in the text file
  char tankLocation[28];
};

struct NodeRecord {  // "DDPNode.okv"
  char nodeName[9];
  uint8_t unused[4];
  uint8_t nodeAddress;  // the node's number on the TQP link
};

struct ApplicationRecord {  // "DDPAppl.okv"
  char applicationName[256];  // one of the distribution program's application folders
  uint8_t unused[512];
};

#pragma pack(pop)

static_assert(SizeMatches<WillCallRecord>(FileIndex::WillCall));
static_assert(KeyAt(FileIndex::WillCall, 0, offsetof(WillCallRecord, entryTimestamp), kWillCallKeyLength));
static_assert(offsetof(WillCallRecord, accessNumber) + sizeof(WillCallRecord::accessNumber) == kWillCallKeyLength);
static_assert(KeyAt(FileIndex::WillCall, 1, offsetof(WillCallRecord, accessNumber), 13));
static_assert(offsetof(WillCallRecord, instruction1) == 67 && offsetof(WillCallRecord, mailToAddress1) == 211);
static_assert(offsetof(WillCallRecord, mailToCity) == 283 && offsetof(WillCallRecord, customerName) == 325);
static_assert(offsetof(WillCallRecord, cellPhone) == 361 && offsetof(WillCallRecord, productDescription) == 406);
static_assert(offsetof(WillCallRecord, tankCapacity) == 442 && offsetof(WillCallRecord, tankLocation) == 449);

static_assert(SizeMatches<NodeRecord>(FileIndex::DDPNode));
static_assert(KeyAt(FileIndex::DDPNode, 0, offsetof(NodeRecord, nodeName), 9));
static_assert(offsetof(NodeRecord, nodeAddress) == 13);

static_assert(SizeMatches<ApplicationRecord>(FileIndex::DDPAppl));
static_assert(KeyAt(FileIndex::DDPAppl, 0, offsetof(ApplicationRecord, applicationName), 256));

}  // namespace trk::schema
