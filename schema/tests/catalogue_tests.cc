// The catalogue operations against the engine: creation of every data file,
// verification on open, and the handle table's rules.
#include "schema/catalogue.h"
#include "schema/records.h"
#include "schema/tests/temp_folder.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace trk::schema {
namespace {

class CatalogueTest : public ::testing::Test {
 protected:
  testing::TempFolder temp;
  Catalogue catalogue{temp.Folder()};
};

TEST_F(CatalogueTest, EveryFileIsCreatedAndOpensWithItsDefinition) {
  for (uint16_t i = 0; i < kCatalogueSize; ++i) {
    const auto index = static_cast<FileIndex>(i);
    const CatalogueEntry& entry = EntryOf(index);
    ASSERT_EQ(catalogue.OpenOrCreateCatalogueFile(index), OKV_SUCCESS) << entry.diskFileName;
    OKVFileInfoBuf info{};
    ASSERT_EQ(OKVFileInfo(catalogue.Handle(index), &info), OKV_SUCCESS);
    EXPECT_EQ(info.recordSize, entry.recordSize) << entry.diskFileName;
    EXPECT_EQ(info.keyCount, entry.keyCount) << entry.diskFileName;
    EXPECT_EQ(info.encrypted, entry.encrypted) << entry.diskFileName;
    EXPECT_EQ(info.fileId, 0x0100) << entry.diskFileName;
    EXPECT_EQ(info.openFlags, 0x8002) << entry.diskFileName;
    EXPECT_STREQ(info.fileName, entry.headerFileName);
    if (entry.encrypted) {
      EXPECT_EQ(std::memcmp(info.storedKey, RecordEncryptionKey, 32), 0);
    }
  }
  // The completed-transaction pair differs only in its disk name.
  const CatalogueEntry& tran = EntryOf(FileIndex::CompTran);
  const CatalogueEntry& temp = EntryOf(FileIndex::CompTemp);
  EXPECT_STREQ(tran.headerFileName, temp.headerFileName);
  EXPECT_EQ(tran.recordSize, temp.recordSize);
  EXPECT_EQ(tran.firstKey, temp.firstKey);
}

TEST_F(CatalogueTest, OpeningAnOpenFileReturnsAtOnce) {
  ASSERT_EQ(catalogue.OpenOrCreateCatalogueFile(FileIndex::Product), OKV_SUCCESS);
  const uint16_t handle = catalogue.Handle(FileIndex::Product);
  ASSERT_EQ(OKVDeleteFile(catalogue.PathOf(FileIndex::Product).c_str()), OKV_SUCCESS);
  EXPECT_EQ(catalogue.OpenCatalogueFile(FileIndex::Product), OKV_SUCCESS);
  EXPECT_EQ(catalogue.Handle(FileIndex::Product), handle);
}

// A file under a catalogue name whose definition differs is refused with 2 and
// leaves no handle behind.
TEST_F(CatalogueTest, MismatchedDefinitionIsRefused) {
  struct Case {
    FileIndex index;
    uint16_t recordSize;
    uint8_t keyType;
  } cases[] = {
      {FileIndex::Product, 68, 0x40},  // record size
      {FileIndex::Tax, 36, 0x40},      // key type: case-insensitive instead of exact
  };
  for (const auto& c : cases) {
    const std::string path = catalogue.PathOf(c.index);
    ASSERT_EQ(OKVCreateFile(path.c_str(), 0x8002, c.recordSize, 0, nullptr, nullptr, 0x0100), OKV_SUCCESS);
    uint16_t keyNumber = 0;
    ASSERT_EQ(OKVCreateKey(path.c_str(), c.keyType, 0, 9, &keyNumber), OKV_SUCCESS);
    ASSERT_EQ(OKVFinalizeCreate(path.c_str()), OKV_SUCCESS);
    EXPECT_EQ(catalogue.OpenCatalogueFile(c.index), OKV_OPEN_ERROR) << path;
    EXPECT_EQ(catalogue.Handle(c.index), 0) << path;
  }
}

TEST_F(CatalogueTest, MissingFilesAndHandles) {
  EXPECT_EQ(catalogue.OpenCatalogueFile(FileIndex::Tank), OKV_FILE_NOT_FOUND);
  EXPECT_EQ(catalogue.Handle(FileIndex::Tank), 0);
  EXPECT_EQ(catalogue.DeleteCatalogueFile(FileIndex::Tank), OKV_SUCCESS);
  EXPECT_EQ(catalogue.CloseCatalogueFile(FileIndex::Tank), OKV_SUCCESS);

  ASSERT_EQ(catalogue.OpenOrCreateCatalogueFile(FileIndex::Tank), OKV_SUCCESS);
  EXPECT_NE(catalogue.Handle(FileIndex::Tank), 0);
  // Deleting an open file lets go of its handle, so the next open finds no stale one.
  EXPECT_EQ(catalogue.DeleteCatalogueFile(FileIndex::Tank), OKV_SUCCESS);
  EXPECT_EQ(catalogue.Handle(FileIndex::Tank), 0);
  EXPECT_FALSE(catalogue.FileExists(FileIndex::Tank));
}

TEST_F(CatalogueTest, AddRecordCreatesAndOpensTheFile) {
  const ConfigRecord config = DefaultConfigRecord();
  ASSERT_EQ(catalogue.AddCatalogueRecord(FileIndex::Config, &config), OKV_SUCCESS);
  ConfigRecord back{};
  ASSERT_EQ(OKVReadRec(catalogue.Handle(FileIndex::Config), &back), OKV_SUCCESS);
  EXPECT_EQ(std::memcmp(&back, &config, sizeof config), 0);
  // A keyless file holds one record.
  EXPECT_EQ(catalogue.AddCatalogueRecord(FileIndex::Config, &config), OKV_WRONG_FILE_TYPE);

  TaxRecord tax{};
  SetText(tax.reference, "1000");
  ASSERT_EQ(catalogue.AddCatalogueRecord(FileIndex::Tax, &tax), OKV_SUCCESS);
  EXPECT_EQ(catalogue.AddCatalogueRecord(FileIndex::Tax, &tax), OKV_DUPLICATE_KEY);
}

TEST_F(CatalogueTest, TooLongFolderIsRefusedNotCut) {
  Catalogue deep(temp.Folder() + std::string(250, 'd') + "/");
  EXPECT_EQ(deep.OpenOrCreateCatalogueFile(FileIndex::Customer), OKV_PARAMETER);
  TaxRecord tax{};
  EXPECT_EQ(deep.AddCatalogueRecord(FileIndex::Tax, &tax), OKV_PARAMETER);
}

TEST(DefaultRecords, TaxConfigurationFollowsTheStructure) {
  const TaxConfigRecord canadian = DefaultTaxConfigRecord(kCanadian);
  for (int position : {5, 6, 8}) EXPECT_EQ(canadian.definition[position - 1].type, kTaxOnTax) << position;
  EXPECT_EQ(TextOf(canadian.definition[4].label), "GST %");
  EXPECT_EQ(TextOf(canadian.definition[7].label), "PST %");
  EXPECT_EQ(TextOf(DefaultTaxConfigRecord(kCanadianCarbon).definition[0].label), "Carbon Tax");
  EXPECT_EQ(TextOf(DefaultTaxConfigRecord(kStandardUSA).definition[4].label), "% Tax Sub+1+2");
  const TaxConfigRecord imported = DefaultTaxConfigRecord(kImportTaxStructures);
  EXPECT_EQ(std::memcmp(&imported, &canadian, sizeof imported), 0);
  for (int i = 9; i < kTaxDefinitionCount; ++i) {
    EXPECT_EQ(canadian.definition[i].type, 0);
    EXPECT_EQ(TextOf(canadian.definition[i].label), "");
  }
}

TEST(DefaultRecords, ConfigAndOfficeConfiguration) {
  const ConfigRecord config = DefaultConfigRecord();
  const auto* bytes = reinterpret_cast<const uint8_t*>(&config);
  for (size_t offset = 0; offset < sizeof config; ++offset) {
    const bool one = offset == 11 || offset == 19 || offset == 23 || offset == 24 || offset == 30;
    EXPECT_EQ(bytes[offset], one ? 1 : 0) << offset;
  }
  const OfficeConfigRecord office = DefaultOfficeConfigRecord();
  EXPECT_EQ(office.appendDeliveryFile, 1);
  EXPECT_EQ(office.taxFields, 0);
}

}  // namespace
}  // namespace trk::schema
