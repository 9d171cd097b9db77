// The conversion driver: configuration records, the per-run files, reading the
// source with progress, and the close-down; and the exported TQLoadRun.
#include <sys/stat.h>

#include <cstdio>
#include <memory>
#include <optional>

#include "platform/platform.h"
#include "tqload/conversion.h"
#include "tqload/tqload.h"

extern "C" const char* const verTQLoad = "v1.24";

namespace trk::tqload {

namespace {

using FilePtr = std::unique_ptr<std::FILE, decltype(&std::fclose)>;

constexpr FileIndex kPerRunFiles[] = {FileIndex::CustAcct, FileIndex::Customer, FileIndex::Dispatch, FileIndex::Tank};

// Progress is reported in steps of characters: ten per step, or for a long file
// as many as keep the position within 32767.
struct ProgressSteps {
  static constexpr uint64_t kLongFile = 327670;
  static constexpr uint32_t kMaxRange = 32767;

  explicit ProgressSteps(uint64_t length)
      : range(length > kLongFile ? kMaxRange : static_cast<uint32_t>(length / 10)),
        step(length > kLongFile ? length / kMaxRange : 10) {}

  uint32_t range;
  uint64_t step;
};

class SourceFeeder {
 public:
  SourceFeeder(DispatchTextReader& reader, TQLoadProgressFn progress, void* context)
      : reader_(reader), progress_(progress), context_(context) {}

  // Reads the file up to the length it has now, then ends the last line.
  void Run(std::FILE* file) {
    struct stat info {};
    const uint64_t length = fstat(fileno(file), &info) == 0 && info.st_size > 0 ? static_cast<uint64_t>(info.st_size) : 0;
    const ProgressSteps steps(length);
    Report(0, steps.range);
    char buffer[64 * 1024];
    uint64_t consumed = 0;
    while (consumed < length) {
      const size_t wanted = static_cast<size_t>(std::min<uint64_t>(sizeof buffer, length - consumed));
      const size_t got = std::fread(buffer, 1, wanted, file);
      if (got == 0) break;
      size_t offset = 0;
      while (offset < got) {
        const size_t slice = progress_ ? static_cast<size_t>(std::min<uint64_t>(got - offset, steps.step - consumed % steps.step))
                                       : got - offset;
        reader_.Feed(std::string_view(buffer + offset, slice));
        offset += slice;
        consumed += slice;
        if (progress_ && consumed % steps.step == 0 && consumed / steps.step <= steps.range) {
          Report(static_cast<uint32_t>(consumed / steps.step), steps.range);  // the bar stops at its end
        }
      }
    }
    reader_.Finish();
  }

 private:
  void Report(uint32_t position, uint32_t range) {
    if (progress_) progress_(context_, position, range);
  }

  DispatchTextReader& reader_;
  TQLoadProgressFn progress_;
  void* context_;
};

std::string DefaultSourcePath(const std::string& folder) {
  const bool hasSeparator = !folder.empty() && folder.back() == '/';
  return folder + (hasSeparator ? "" : "/") + "DELLOAD.DAT";
}

uint8_t RunConversion(const TQLoadOptions& options, TQLoadMessageFn sink, TQLoadProgressFn progress, void* context) {
  const auto variant = static_cast<Variant>(options.variant);
  std::optional<schema::Catalogue> ownCatalogue;
  schema::Catalogue* catalogue = options.sharedCatalogue;
  if (catalogue == nullptr) {
    ownCatalogue.emplace(options.databaseFolder ? std::string(options.databaseFolder) : platform::ProgramFolder());
    catalogue = &*ownCatalogue;
  }
  Conversion conversion(*catalogue, variant, [sink, context](std::string_view message) {
    if (sink) sink(context, std::string(message).c_str());
  });

  conversion.ReadOfficeConfiguration();
  std::string source;
  if (options.sourceFile != nullptr) {
    source = options.sourceFile;
    conversion.Log(Msg::SourceFromCommandLine);
  } else {
    const std::string_view configured = schema::TextOf(conversion.OfficeConfig().dispatchSource);
    source = configured.empty() ? DefaultSourcePath(catalogue->Folder()) : std::string(configured);
    conversion.Log(Msg::SourceFile, source);
  }

  FilePtr file(std::fopen(source.c_str(), "rb"), &std::fclose);
  if (!file) {
    conversion.SetErrorFlag();
    conversion.Log(Msg::SourceOpenFailed);
  } else {
    if (conversion.LoadConfig()) {
      if (conversion.PrepareFiles()) {
        DispatchTextReader reader(conversion, variant == Variant::Office);
        SourceFeeder(reader, progress, context).Run(file.get());
      }
      conversion.AfterLastLine();
    }
    if (variant == Variant::Console) conversion.CloseConfig();
    file.reset();
  }
  if (variant == Variant::Console) conversion.CloseOfficeConfiguration();
  return conversion.ErrorFlag() ? TQLOAD_FAILED : TQLOAD_OK;
}

}  // namespace

void Conversion::ReadOfficeConfiguration() {
  officeConfig_ = schema::DefaultOfficeConfigRecord();
  if (catalogue_.OpenCatalogueFile(FileIndex::CfgOfc) != OKV_SUCCESS) return;
  schema::OfficeConfigRecord stored{};
  if (OKVReadRec(Handle(FileIndex::CfgOfc), &stored) == OKV_SUCCESS) officeConfig_ = stored;
}

bool Conversion::LoadConfig() {
  const char* name = schema::FileNameOf(FileIndex::Config);
  config_ = schema::DefaultConfigRecord();
  if (catalogue_.FileExists(FileIndex::Config)) {
    uint8_t rc = catalogue_.OpenCatalogueFile(FileIndex::Config);
    Msg failure = Msg::ConfigOpenFailed;
    if (rc == OKV_SUCCESS) {
      schema::ConfigRecord stored{};
      rc = OKVReadRec(Handle(FileIndex::Config), &stored);
      failure = Msg::ConfigReadFailed;
      if (rc == OKV_SUCCESS) config_ = stored;
    }
    if (rc != OKV_SUCCESS) {
      SetErrorFlag();
      Log(failure, name, rc);
      Log(Msg::ConversionAborted);
      return false;
    }
    return true;
  }
  const uint8_t rc = catalogue_.AddCatalogueRecord(FileIndex::Config, &config_);
  if (rc != OKV_SUCCESS) {
    SetErrorFlag();
    Log(Msg::ConfigCreateFailed, name, rc);
    Log(Msg::ConversionAborted);
    return false;
  }
  Log(Msg::ConfigCreated, name);
  return true;
}

bool Conversion::PrepareFiles() {
  for (const FileIndex index : kPerRunFiles) {
    const uint8_t rc = catalogue_.DeleteCatalogueFile(index);
    if (rc != OKV_SUCCESS) {
      // Records of an earlier day would mix with today's.
      SetErrorFlag();
      Log(Msg::DeleteOldFailed, schema::FileNameOf(index), rc);
    }
  }

  taxConfig_ = schema::DefaultTaxConfigRecord(config_.taxStructure);
  uint8_t rc = catalogue_.OpenCatalogueFile(FileIndex::CfgTax);
  if (rc == OKV_FILE_NOT_FOUND) {
    CreateDefaultTaxConfiguration();
  } else if (rc != OKV_SUCCESS) {
    SetErrorFlag();
    Log(Msg::TaxConfigOpenFailed, rc);
  }
  if (Handle(FileIndex::CfgTax) != 0) {
    schema::TaxConfigRecord stored{};
    rc = OKVReadRec(Handle(FileIndex::CfgTax), &stored);
    if (rc == OKV_SUCCESS) {
      taxConfig_ = stored;
    } else {
      SetErrorFlag();
      Log(Msg::TaxConfigReadFailed, rc);
    }
  }

  for (const FileIndex index : kPerRunFiles) {
    const bool essential = index == FileIndex::Dispatch || index == FileIndex::Tank;
    rc = catalogue_.OpenOrCreateCatalogueFile(index);
    if (rc != OKV_SUCCESS) {
      SetErrorFlag();
      Log(essential ? Msg::OpenFailedAborted : Msg::OpenFailed, schema::FileNameOf(index), rc);
      // Without dispatches or tanks there is nothing to convert; the office's
      // copy goes on and lets each line report its own failure.
      if (essential && variant_ == Variant::Console) return false;
      continue;
    }
    rc = OKVSetSafeWrites(Handle(index), 0);
    if (rc != OKV_SUCCESS) Log(Msg::SafeWritesOffFailed, schema::FileNameOf(index), rc);
  }

  if (!GeneralLedgerMode()) {
    PrepareTaxFiles();
    return true;
  }
  rc = catalogue_.OpenOrCreateCatalogueFile(FileIndex::TaxCode);
  if (rc != OKV_SUCCESS) {
    SetErrorFlag();
    Log(Msg::GeneralLedgerOpenFailed, schema::FileNameOf(FileIndex::TaxCode), rc);
    Log(Msg::GeneralLedgerAborted);
    return variant_ == Variant::Console;
  }
  rc = OKVSetSafeWrites(Handle(FileIndex::TaxCode), 0);
  if (rc != OKV_SUCCESS) Log(Msg::GeneralLedgerSafeWritesOffFailed, schema::FileNameOf(FileIndex::TaxCode), rc);
  return true;
}

void Conversion::AfterLastLine() {
  if (taxOnTaxLineSeen_) CheckTaxOnTax();
  CloseLogged(FileIndex::Product, Msg::CloseProductFailed);
  CloseLogged(FileIndex::Tax, Msg::CloseTaxFailed);
  CloseLogged(FileIndex::TaxCode, Msg::CloseTaxCodeFailed);
  CloseLogged(FileIndex::CfgTax, Msg::CloseTaxConfigFailed);
  CloseLogged(FileIndex::Cash, Msg::CloseCashFailed);
  CloseLogged(FileIndex::CustAcct, Msg::CloseCustAcctFailed);
  CloseLogged(FileIndex::Customer, Msg::CloseCustomerFailed);
  CloseLogged(FileIndex::Dispatch, Msg::CloseDispatchFailed);
  CloseLogged(FileIndex::Tank, Msg::CloseTankFailed);
}

void Conversion::CloseConfig() { CloseLogged(FileIndex::Config, Msg::ConfigCloseFailed); }

void Conversion::CloseOfficeConfiguration() { CloseLogged(FileIndex::CfgOfc, Msg::OfficeConfigCloseFailed); }

}  // namespace trk::tqload

extern "C" uint8_t TQLoadRun(const TQLoadOptions* options, TQLoadMessageFn sink, TQLoadProgressFn progress,
                             void* context) {
  if (options == nullptr || options->variant > TQLOAD_VARIANT_OFFICE) return TQLOAD_BAD_OPTIONS;
  try {
    return trk::tqload::RunConversion(*options, sink, progress, context);
  } catch (...) {
    // Only memory exhaustion can get here; it must not cross the C boundary.
    return TQLOAD_FAILED;
  }
}
