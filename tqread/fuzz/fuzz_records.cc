// Fuzz entry point: completed transactions come from the trucks and are
// untrusted. The input's first two bytes choose the settings (variant, custom
// feature, tax-field mode, expanded charges, record format, the three switches);
// every following 630 bytes are one record of "CompTran.trn", and a tail of at
// least 251 bytes is one record of "Totals.trn". The whole conversion runs over
// them in a scratch folder, writing into memory.
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <span>
#include <string>

#include "schema/catalogue.h"
#include "schema/comptran.h"
#include "schema/records.h"
#include "tqread/conversion.h"

namespace {

using trk::schema::FileIndex;

constexpr size_t kMostRecords = 48;

class MemoryFile final : public trk::tqread::DeliveryFile {
 public:
  bool Write(std::string_view bytes) override {
    text_ += bytes;
    return true;
  }
  bool Flush() override { return true; }
  uint64_t Size() const override { return text_.size(); }
  bool Truncate(uint64_t length) override {
    text_.resize(length);
    return true;
  }

 private:
  std::string text_;
};

// One folder for the whole process, removed when it ends.
class ScratchFolder {
 public:
  ScratchFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "tqread-fuzz-XXXXXX").string();
    path_ = mkdtemp(pattern.data());
    setenv("TRK_LOCK_DIR", path_.c_str(), 1);
  }
  ~ScratchFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  std::string Folder() const { return path_ + "/"; }

 private:
  std::string path_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  static const ScratchFolder scratch;
  const std::string folder = scratch.Folder();
  trk::schema::Catalogue catalogue(folder);
  for (FileIndex index : {FileIndex::CompTran, FileIndex::CompTemp, FileIndex::Totals, FileIndex::Config,
                          FileIndex::CfgOfc}) {
    catalogue.DeleteCatalogueFile(index);
  }
  trk::schema::ConfigRecord config = trk::schema::DefaultConfigRecord();
  config.customFeature = data[0] & 0x07;
  config.dispatchRecordFormat = (data[1] & 0x01) ? 1 : 2;
  config.beginningBalance = (data[1] >> 1) & 1;
  config.complianceCharge = (data[1] >> 2) & 1;
  config.simultaneousDelivery = (data[1] >> 3) & 1;
  config.communicationMethod = (data[1] >> 4) & 3;
  trk::schema::OfficeConfigRecord office = trk::schema::DefaultOfficeConfigRecord();
  office.taxFields = (data[0] >> 3) & 0x07;
  office.expandedMiscellaneous = (data[0] >> 6) & 1;
  catalogue.AddCatalogueRecord(FileIndex::Config, &config);
  catalogue.AddCatalogueRecord(FileIndex::CfgOfc, &office);
  catalogue.CreateCatalogueFile(FileIndex::CompTran);

  std::span<const uint8_t> rest(data + 2, size - 2);
  for (size_t n = 0; rest.size() >= trk::schema::kCompletedTransactionSize && n < kMostRecords; ++n) {
    const auto record = trk::schema::CompletedTransactionFromBytes(rest.first(trk::schema::kCompletedTransactionSize));
    catalogue.AddCatalogueRecord(FileIndex::CompTran, &record);
    rest = rest.subspan(trk::schema::kCompletedTransactionSize);
  }
  if (rest.size() >= trk::schema::kTotalizerRecordSize) catalogue.AddCatalogueRecord(FileIndex::Totals, rest.data());
  catalogue.CloseAll();

  TQReadOptions options{};
  options.databaseFolder = folder.c_str();
  options.destinationFile = "memory";
  options.variant = (data[0] & 0x80) ? TQREAD_VARIANT_OFFICE : TQREAD_VARIANT_STANDALONE;
  trk::tqread::RunHooks hooks;
  hooks.openDeliveryFile = [](const std::string&, bool) { return std::make_unique<MemoryFile>(); };
  trk::tqread::ConversionRun(options, std::move(hooks)).Run();
  return 0;
}
