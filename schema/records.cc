// Default records shared by the converters and the office program.
#include "schema/records.h"

namespace trk::schema {

namespace {

struct DefaultTax {
  uint8_t type;
  const char* label;
};

// Definitions 1 to 9 by tax structure (0 Standard USA, 1 Canadian, 2 Canadian
// with carbon tax); definitions 10 to 20 stay percent without a label.
constexpr DefaultTax kDefaultTaxes[3][9] = {
    {{kTaxPercent, "Cat1 Tax %"}, {kTaxPerUnit, "Cat1 Tax/Unit"}, {kTaxPercent, "Cat2 Tax %"},
     {kTaxPerUnit, "Cat2 Tax/Unit"}, {kTaxOnTax, "% Tax Sub+1+2"}, {kTaxPercent, "Cat3 Tax %"},
     {kTaxPerUnit, "Cat3 Tax/Unit"}, {kTaxPercent, "Cat4 Tax %"}, {kTaxPerUnit, "Cat4 Tax/Unit"}},
    {{kTaxPercent, "Cat1 Tax %"}, {kTaxPerUnit, "Cat1 Tax/Unit"}, {kTaxPercent, "Cat2 Tax %"},
     {kTaxPerUnit, "Cat2 Tax/Unit"}, {kTaxOnTax, "GST %"}, {kTaxOnTax, "PST %"},
     {kTaxPerUnit, "Cat3 Tax/Unit"}, {kTaxOnTax, "PST %"}, {kTaxPerUnit, "Cat4 Tax/Unit"}},
    {{kTaxPerUnit, "Carbon Tax"}, {kTaxPerUnit, "Cat1 Tax/Unit"}, {kTaxPercent, "Cat2 Tax %"},
     {kTaxPerUnit, "Cat2 Tax/Unit"}, {kTaxOnTax, "GST %"}, {kTaxOnTax, "PST %"},
     {kTaxPerUnit, "Cat3 Tax/Unit"}, {kTaxOnTax, "PST %"}, {kTaxPerUnit, "Cat4 Tax/Unit"}},
};

}  // namespace

ConfigRecord DefaultConfigRecord() {
  ConfigRecord config{};
  config.addToInventory = 1;
  config.loginMethod = 1;
  config.totalizersByCalibration = 1;
  config.dispatchRecordFormat = 1;
  config.volumeDiscountBeforeTax = 1;
  return config;
}

OfficeConfigRecord DefaultOfficeConfigRecord() {
  OfficeConfigRecord office{};
  office.appendDeliveryFile = 1;
  return office;
}

TaxConfigRecord DefaultTaxConfigRecord(uint8_t taxStructure) {
  size_t table = taxStructure <= kCanadianCarbon ? taxStructure : size_t{kStandardUSA};
  if (taxStructure == kImportTaxStructures) table = kCanadian;
  TaxConfigRecord record{};
  for (size_t i = 0; i < 9; ++i) {
    record.definition[i].type = kDefaultTaxes[table][i].type;
    SetText(record.definition[i].label, kDefaultTaxes[table][i].label);
  }
  return record;
}

}  // namespace trk::schema
