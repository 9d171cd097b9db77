#include "tqload/tests/conversion_fixture.h"

#include <fstream>

namespace trk::tqload::testing {

std::string Line(const std::vector<std::string>& fields) {
  std::string line;
  for (size_t i = 0; i < fields.size(); ++i) {
    if (i > 0) line += ',';
    line += '"';
    for (const char c : fields[i]) {
      if (c == '"') line += '"';
      line += c;
    }
    line += '"';
  }
  return line + "\r\n";
}

std::vector<std::string> StandardFields(const std::string& access) {
  return {"2",     "20",   "20",   access, "DSL",  "REF1", "100.5", "2.50", "1.5",   "0.10", "2",
          "0.20",  "3",    "4",    "0.30", "5",    "0.40", "VOL1",  "C1",   "5.00",  "Label",
          "ACCT1", "Jane Doe", "1 Main St", "Springfield", "Gate code 42"};
}

void ConversionTest::AddRecord(FileIndex index, const void* record) {
  schema::Catalogue catalogue(folder);
  ASSERT_EQ(catalogue.AddCatalogueRecord(index, record), OKV_SUCCESS);
}

void ConversionTest::SetConfig(const schema::ConfigRecord& config) {
  schema::Catalogue catalogue(folder);
  if (catalogue.OpenCatalogueFile(FileIndex::Config) == OKV_SUCCESS) {
    ASSERT_EQ(OKVUpdateRec(catalogue.Handle(FileIndex::Config), &config), OKV_SUCCESS);
    return;
  }
  ASSERT_EQ(catalogue.AddCatalogueRecord(FileIndex::Config, &config), OKV_SUCCESS);
}

void ConversionTest::SetOfficeConfig(const schema::OfficeConfigRecord& office) { AddRecord(FileIndex::CfgOfc, &office); }

void ConversionTest::SetTaxConfig(const schema::TaxConfigRecord& taxes) { AddRecord(FileIndex::CfgTax, &taxes); }

uint8_t ConversionTest::Run(const std::string& text, TQLoadVariant variant) {
  std::ofstream(SourcePath(), std::ios::binary) << text;
  messages.clear();
  const std::string source = SourcePath();
  TQLoadOptions options{};
  options.sourceFile = source.c_str();
  options.databaseFolder = folder.c_str();
  options.variant = variant;
  return TQLoadRun(
      &options, [](void* context, const char* message) { static_cast<std::vector<std::string>*>(context)->push_back(message); },
      nullptr, &messages);
}

bool ConversionTest::Logged(std::string_view message) const { return CountLogged(message) > 0; }

size_t ConversionTest::CountLogged(std::string_view message) const {
  size_t count = 0;
  for (const std::string& logged : messages) count += logged == message;
  return count;
}

std::string ConversionTest::AllMessages() const {
  std::string all;
  for (const std::string& logged : messages) all += logged + "\n";
  return all;
}

}  // namespace trk::tqload::testing
