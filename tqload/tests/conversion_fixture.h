// A database folder of its own per test, dispatch texts built from field lists,
// whole conversions run through TQLoadRun, and the written records decoded
// through the engine.
#pragma once

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "schema/catalogue.h"
#include "schema/records.h"
#include "schema/tests/temp_folder.h"
#include "tqload/tqload.h"

namespace trk::tqload::testing {

using schema::FileIndex;
using schema::TextOf;

// A packed record field as a plain value: test macros bind references, which
// must never point at an unaligned member.
template <typename T>
constexpr T Copy(T value) {
  return value;
}

// One line of the dispatch text file: every field quoted, CR LF at the end.
std::string Line(const std::vector<std::string>& fields);

// A standard dispatch line (record type 2) under tax structures 0 to 2, fields
// 1 to 29: access A100, product DSL, a net preset of 100.5, nine taxes, a
// miscellaneous charge, label, customer account, name, street, city, directions.
std::vector<std::string> StandardFields(const std::string& access = "A100");

class ConversionTest : public ::testing::Test {
 protected:
  // Stores a Config or office configuration record before the run.
  void SetConfig(const schema::ConfigRecord& config);
  void SetOfficeConfig(const schema::OfficeConfigRecord& office);
  void SetTaxConfig(const schema::TaxConfigRecord& taxes);
  void AddRecord(FileIndex index, const void* record);

  // Writes the text as the source file and runs a whole conversion.
  uint8_t Run(const std::string& text, TQLoadVariant variant = TQLOAD_VARIANT_CONSOLE);
  std::string SourcePath() const { return temp.PathOf("DELLOAD.DAT"); }

  template <typename Record>
  std::vector<Record> ReadAll(FileIndex index, uint16_t key = 0) const;
  template <typename Record>
  std::optional<Record> Find(FileIndex index, std::string_view keyValue, uint16_t key = 0) const;
  template <typename Record>
  std::optional<Record> ReadSingle(FileIndex index) const;

  bool Logged(std::string_view message) const;
  size_t CountLogged(std::string_view message) const;
  std::string AllMessages() const;

  trk::testing::TempFolder temp;
  std::string folder = temp.Folder();
  std::vector<std::string> messages;
};

template <typename Record>
std::vector<Record> ConversionTest::ReadAll(FileIndex index, uint16_t key) const {
  std::vector<Record> records;
  schema::Catalogue catalogue(folder);
  if (catalogue.OpenCatalogueFile(index) != OKV_SUCCESS) return records;
  const uint16_t handle = catalogue.Handle(index);
  Record record{};
  for (uint8_t rc = OKVReadRecLO(handle, key, &record); rc == OKV_SUCCESS; rc = OKVReadRecNX(handle, key, &record)) {
    records.push_back(record);
  }
  return records;
}

template <typename Record>
std::optional<Record> ConversionTest::Find(FileIndex index, std::string_view keyValue, uint16_t key) const {
  schema::Catalogue catalogue(folder);
  if (catalogue.OpenCatalogueFile(index) != OKV_SUCCESS) return std::nullopt;
  std::vector<char> probe(schema::KeyOf(index, key).length + 1, '\0');
  std::copy(keyValue.begin(), keyValue.end(), probe.begin());
  Record record{};
  if (OKVReadRecEQ(catalogue.Handle(index), key, probe.data(), &record) != OKV_SUCCESS) return std::nullopt;
  return record;
}

template <typename Record>
std::optional<Record> ConversionTest::ReadSingle(FileIndex index) const {
  schema::Catalogue catalogue(folder);
  Record record{};
  if (catalogue.OpenCatalogueFile(index) != OKV_SUCCESS || OKVReadRec(catalogue.Handle(index), &record) != OKV_SUCCESS) {
    return std::nullopt;
  }
  return record;
}

}  // namespace trk::tqload::testing
