// Taxes shared between priced lines, the setup lines for prices, discounts,
// taxes and tax codes, and the tax-on-tax check.
#include <algorithm>
#include <cstring>

#include "tqload/tests/conversion_fixture.h"

namespace trk::tqload::testing {
namespace {

using schema::TaxCodeRecord;
using schema::TaxRecord;

class PricingTest : public ConversionTest {
 protected:
  schema::ConfigRecord config = schema::DefaultConfigRecord();

  TaxRecord Tax(const std::string& reference, uint8_t type, double rate, uint32_t mask = 0, const char* label = "") {
    TaxRecord tax{};
    schema::SetText(tax.reference, reference);
    tax.type = type;
    tax.rate = rate;
    tax.taxOnTaxMask = mask;
    schema::SetText(tax.label, label);
    return tax;
  }
  TaxCodeRecord Code(const std::string& code, const std::vector<std::string>& references) {
    TaxCodeRecord record{};
    schema::SetText(record.code, code);
    for (size_t i = 0; i < references.size(); ++i) schema::SetText(record.reference[i], references[i]);
    return record;
  }
  void AddTax(const TaxRecord& tax) { AddRecord(FileIndex::Tax, &tax); }
  void AddCode(const TaxCodeRecord& code) { AddRecord(FileIndex::TaxCode, &code); }
  std::vector<std::string> References(const std::string& code) {
    std::vector<std::string> references;
    if (const auto record = Find<TaxCodeRecord>(FileIndex::TaxCode, code)) {
      for (const auto& reference : record->reference) references.emplace_back(TextOf(reference));
    }
    while (!references.empty() && references.back().empty()) references.pop_back();
    return references;
  }
};

TEST_F(PricingTest, IdenticalTaxValuesShareTaxAndTaxCodeRecords) {
  std::vector<std::string> third = StandardFields("A3");
  third[10] = "2.5";  // one rate differs
  ASSERT_EQ(Run(Line(StandardFields("A1")) + Line(StandardFields("A2")) + Line(third)), TQLOAD_OK) << AllMessages();
  const auto taxes = ReadAll<TaxRecord>(FileIndex::Tax);
  ASSERT_EQ(taxes.size(), 10u);
  EXPECT_EQ(ReadAll<TaxCodeRecord>(FileIndex::TaxCode).size(), 2u);
  EXPECT_EQ(References("100"),
            (std::vector<std::string>{"1000", "1001", "1002", "1003", "1004", "1005", "1006", "1007", "1008"}));
  EXPECT_EQ(References("101"),
            (std::vector<std::string>{"1000", "1001", "1009", "1003", "1004", "1005", "1006", "1007", "1008"}));
  const auto first = Find<TaxRecord>(FileIndex::Tax, "1000");
  ASSERT_TRUE(first);
  EXPECT_EQ(first->type, schema::kTaxPercent);
  EXPECT_EQ(Copy(first->rate), 1.5);
  EXPECT_EQ(TextOf(first->label), "Cat1 Tax %");
  const auto taxOnTax = Find<TaxRecord>(FileIndex::Tax, "1004");
  ASSERT_TRUE(taxOnTax);
  EXPECT_EQ(taxOnTax->type, schema::kTaxOnTax);
  EXPECT_EQ(Copy(taxOnTax->taxOnTaxMask), 15u);
}

TEST_F(PricingTest, NewReferencesAndCodesFollowTheHighestNumberInTheFiles) {
  for (int i = 0; i < 8; ++i) AddTax(Tax(std::to_string(1000 + i), 0, 50 + i));
  AddTax(Tax("GST", 3, 5));
  AddCode(Code("250", {"1000"}));
  ASSERT_EQ(Run(Line(StandardFields())), TQLOAD_OK) << AllMessages();
  EXPECT_TRUE(Find<TaxRecord>(FileIndex::Tax, "1008"));
  EXPECT_FALSE(Find<TaxRecord>(FileIndex::Tax, "1017"));
  EXPECT_TRUE(Find<TaxRecord>(FileIndex::Tax, "1016"));
  EXPECT_TRUE(Find<TaxCodeRecord>(FileIndex::TaxCode, "251"));
}

TEST_F(PricingTest, GeneratedTaxOnTaxMasksFollowTheStructure) {
  struct Case {
    uint8_t structure;
    int position;
    uint32_t mask;
  } cases[] = {{0, 5, 15}, {1, 5, 15}, {1, 6, 15}, {1, 8, 31}, {2, 6, 14}, {2, 8, 30}};
  for (const Case& c : cases) {
    config.taxStructure = c.structure;
    SetConfig(config);
    std::filesystem::remove(folder + "CfgTax.zdb");
    std::vector<std::string> fields = StandardFields();
    fields[7 + c.position] = "7";
    ASSERT_EQ(Run(Line(fields)), TQLOAD_OK) << AllMessages();
    const auto code = Find<TaxCodeRecord>(FileIndex::TaxCode, TextOf(ReadAll<schema::DispatchRecord>(FileIndex::Dispatch).at(0).taxCode));
    ASSERT_TRUE(code);
    const auto tax = Find<TaxRecord>(FileIndex::Tax, TextOf(code->reference[c.position - 1]));
    ASSERT_TRUE(tax);
    EXPECT_EQ(tax->type, schema::kTaxOnTax) << int(c.structure) << " position " << c.position;
    EXPECT_EQ(Copy(tax->taxOnTaxMask), c.mask) << int(c.structure) << " position " << c.position;
    EXPECT_EQ(Copy(tax->rate), 7.0);
  }
}

// Under the Canadian structure the two PST taxes apply to different taxes, so
// equal rates must not share one record.
TEST_F(PricingTest, TaxesWithDifferentMasksAreNotShared) {
  config.taxStructure = schema::kCanadian;
  SetConfig(config);
  std::vector<std::string> fields = StandardFields();
  fields[13] = "8";
  fields[15] = "8";
  ASSERT_EQ(Run(Line(fields)), TQLOAD_OK);
  const std::vector<std::string> references = References("100");
  ASSERT_EQ(references.size(), 9u);
  EXPECT_NE(references[5], references[7]);
  EXPECT_EQ(Copy(Find<TaxRecord>(FileIndex::Tax, references[7])->taxOnTaxMask), 31u);
}

TEST_F(PricingTest, TaxValueFailuresEndTheTaxCode) {
  std::vector<std::string> fields = StandardFields();
  fields[8] = "100";  // a percentage beyond 99.999
  Run(Line(fields));
  EXPECT_TRUE(Logged("There was a problem with a % tax field. rc = 101")) << AllMessages();
  fields[8] = "1";
  fields[9] = "";
  Run(Line(fields));
  EXPECT_TRUE(Logged("The tax field should not be empty."));
  const auto dispatch = ReadAll<schema::DispatchRecord>(FileIndex::Dispatch);
  ASSERT_EQ(dispatch.size(), 1u);
  EXPECT_EQ(TextOf(dispatch[0].taxCode), "");
}

TEST_F(PricingTest, GeneralLedgerModeTakesTheTaxCodeItself) {
  schema::OfficeConfigRecord office = schema::DefaultOfficeConfigRecord();
  office.taxFields = schema::kGeneralLedger;
  SetOfficeConfig(office);
  std::vector<std::string> fields = StandardFields();
  fields[8] = "GL-17";
  fields[9] = "not a number";
  ASSERT_EQ(Run(Line(fields)), TQLOAD_OK) << AllMessages();
  EXPECT_EQ(TextOf(ReadAll<schema::DispatchRecord>(FileIndex::Dispatch).at(0).taxCode), "GL-17");
  EXPECT_TRUE(Find<TaxCodeRecord>(FileIndex::TaxCode, "GL-17"));
  EXPECT_TRUE(ReadAll<TaxRecord>(FileIndex::Tax).empty());
}

TEST_F(PricingTest, BasePriceLineUpdatesTheProduct) {
  const std::string text = Line({"9", "10", "1", "GAS", "3.4567", "1", "99.9999", "2", "0.1", "3", "4", "0.2", "5", "0.3"}) +
                           Line({"9", "10", "1", "DSL", "3.0", "99.9999", "0.1", "2", "0.1", "3", "4", "0.2", "5", "0.3"}) +
                           Line({"9", "10", "1", "GAS", "1", "1", "2", "3", "4", "5", "6", "7", "8", "9", "extra"});
  Run(text);
  const auto gas = Find<schema::ProductRecord>(FileIndex::Product, "GAS");
  ASSERT_TRUE(gas) << AllMessages();
  EXPECT_EQ(Copy(gas->unitPrice), 1.0);  // the third line's price; its taxes are all valid
  EXPECT_EQ(TextOf(gas->taxCode), "101");
  EXPECT_EQ(TextOf(gas->description), "Product GAS");
  // Position 1 is a percentage: 99.9999 is out of its range even though a per-unit position allows it.
  EXPECT_TRUE(Logged("There is a problem with a % tax field. rc = 101")) << AllMessages();
  const auto diesel = Find<schema::ProductRecord>(FileIndex::Product, "DSL");
  ASSERT_TRUE(diesel);
  EXPECT_EQ(Copy(diesel->unitPrice), 3.0);
  EXPECT_EQ(TextOf(diesel->taxCode), "");
  EXPECT_TRUE(Logged("Unrecognized field in base price record."));
  Run(Line({"9", "10", "1", "GAS", "1", "1", "2", "3", "4", "5", "6", "7", "8", "9", "extra"}), TQLOAD_VARIANT_OFFICE);
  EXPECT_TRUE(Logged("Unrecognized field for base price record."));
}

TEST_F(PricingTest, DiscountScheduleWritesOneVolumeAndThreeCashRecords) {
  const auto schedule = [](const char* first, const char* second, const char* third) {
    return Line({"10", "15", "0", first, "0.01", second, "0.02", third, "0.03", "10", "2", "0.01", "20", "1.5", "",
                 "30", "1", "0.005"});
  };
  struct Case {
    const char *first, *second, *third;
    uint8_t resolution;
    uint32_t quantities[3];
  } cases[] = {
      {"100", "200.5", "300", 1, {1000, 2005, 3000}},
      {"100", "200", "300", 0, {10000, 20000, 30000}},
      {"1.25", "200.5", "3", 0, {125, 20050, 300}},  // the finest level decides
  };
  for (const Case& c : cases) {
    ASSERT_EQ(Run(schedule(c.first, c.second, c.third)), TQLOAD_OK) << AllMessages();
    const auto volumes = ReadAll<schema::VolumeDiscountRecord>(FileIndex::Volume);
    ASSERT_EQ(volumes.size(), 1u) << AllMessages();  // rewritten, never added twice
    EXPECT_EQ(volumes[0].resolution, c.resolution) << c.first << " " << c.second;
    for (int i = 0; i < 3; ++i) EXPECT_EQ(Copy(volumes[0].category[i].qualifyingQuantity), c.quantities[i]) << c.first;
    EXPECT_EQ(Copy(volumes[0].category[2].perUnitDiscount), 0.03);
  }
  const auto cash = ReadAll<schema::CashDiscountRecord>(FileIndex::Cash);
  ASSERT_EQ(cash.size(), 3u);
  EXPECT_EQ(TextOf(cash[1].code), "2");
  EXPECT_EQ(Copy(cash[1].interval[0].days), 20);
  EXPECT_EQ(Copy(cash[1].interval[0].percentDiscount), 1.5);
  EXPECT_EQ(Copy(cash[1].interval[0].perUnitDiscount), 0.0);
  EXPECT_EQ(Copy(cash[1].interval[1].days), 0);
  EXPECT_TRUE(Logged("Cash discount per unit field was empty."));

  Run(schedule("100", "x.5.5", "10000000"));
  EXPECT_TRUE(Logged("Due to a problem with the volume level field(s), a volume discount record was not created."));
  Run(schedule("100", "200", "10000000"));
  EXPECT_TRUE(Logged("One or more of the volume level field(s) was out of range. A volume discount record was not created."));
  Run(schedule("100", "2x", "300"));
  EXPECT_TRUE(Logged("The second volume level field was the wrong type. A volume discount record was not created."));
  EXPECT_EQ(Copy(ReadAll<schema::VolumeDiscountRecord>(FileIndex::Volume).at(0).category[0].qualifyingQuantity), 125u);
}

TEST_F(PricingTest, TaxLinesCreateAndUpdateTaxRecords) {
  std::vector<std::string> taxOnTax = {"11", "20", "2", "HST", "HST 13%", "13"};
  for (int f = 7; f <= 25; ++f) taxOnTax.push_back(f == 7 || f == 9 ? "1" : "0");
  const std::string text = Line({"12", "2", "2", "FED", "Federal", "1", "0.184"}) + Line(taxOnTax) +
                           Line({"11", "2", "2", "PART", "Partial", "5", "1", "0"}) +
                           Line({"12", "2", "2", "BAD", "Label", "1", "0.1", "extra"});
  Run(text);
  const auto federal = Find<TaxRecord>(FileIndex::Tax, "FED");
  ASSERT_TRUE(federal) << AllMessages();
  EXPECT_EQ(federal->type, schema::kTaxPerUnit);
  EXPECT_EQ(Copy(federal->rate), 0.184);
  EXPECT_EQ(TextOf(federal->label), "Federal");
  const auto hst = Find<TaxRecord>(FileIndex::Tax, "HST");
  ASSERT_TRUE(hst);
  EXPECT_EQ(hst->type, schema::kTaxOnTax);
  EXPECT_EQ(Copy(hst->taxOnTaxMask), 5u);
  EXPECT_EQ(Copy(hst->rate), 13.0);
  const auto partial = Find<TaxRecord>(FileIndex::Tax, "PART");  // created, but its line ended early
  ASSERT_TRUE(partial);
  EXPECT_EQ(partial->type, schema::kTaxOnTax);
  EXPECT_EQ(TextOf(partial->label), "");
  EXPECT_TRUE(Logged("There are too many fields in the Tax record."));
  EXPECT_EQ(ReadSingle<schema::ConfigRecord>(FileIndex::Config)->taxStructure, schema::kImportTaxStructures);
}

TEST_F(PricingTest, TaxCodeLinesListReferencesInPosition) {
  AddCode(Code("ON", {"OLD1", "OLD2", "OLD3"}));
  Run(Line({"13", "0", "4", "ON", "FED", "", "HST"}) + Line({"13", "0", "3", "QC", "FED", "GST", "QST"}) +
      Line({"13", "0", "1", "XX"}));
  EXPECT_EQ(References("ON"), (std::vector<std::string>{"FED", "", "HST"})) << AllMessages();
  EXPECT_EQ(References("QC"), (std::vector<std::string>{"FED", "GST"}));
  EXPECT_TRUE(Logged("There are too many tax reference ID's in the TaxCode.zdb record with code QC."));
  EXPECT_TRUE(Logged("Field contents: QST, line 2, field 7, rc = 103."));
  EXPECT_TRUE(Logged("Line 3 has an invalid number of tax fields, 1, in its TaxCode.zdb setup record, rc = 101"));
}

TEST_F(PricingTest, TaxOnTaxCheckFindsTaxesInImpossiblePositions) {
  for (const TaxRecord& tax : {Tax("P1", 0, 5), Tax("P2", 1, 0.1), Tax("OK3", 3, 5, 3), Tax("SELF3", 3, 5, 4),
                               Tax("LATER", 3, 5, 1 << 5), Tax("FIRST", 3, 5, 0)}) {
    AddRecord(FileIndex::Tax, &tax);
  }
  AddCode(Code("GOOD", {"P1", "P2", "OK3"}));
  AddCode(Code("BAD3", {"P1", "P2", "SELF3"}));
  AddCode(Code("BAD5", {"P1", "P2", "", "", "LATER"}));
  AddCode(Code("BAD1", {"FIRST", "GONE"}));
  // A tax-on-tax line marks the run for the check.
  std::vector<std::string> line = {"11", "2", "2", "NEW", "New", "1"};
  for (int f = 7; f <= 25; ++f) line.push_back(f == 7 ? "1" : "0");

  for (const auto variant : {TQLOAD_VARIANT_CONSOLE, TQLOAD_VARIANT_OFFICE}) {
    Run(Line(line), variant);
    const std::string follow = variant == TQLOAD_VARIANT_CONSOLE ? "This" : "The";
    const std::vector<std::string> expected = {
        "The TaxCode.zdb record for code BAD1 has a tax-on-tax type Tax.zdb record in the first position.",
        follow + " Tax.zdb record must either be altered, or it must be moved to a later position in the TaxCode.zdb record.",
        "The TaxCode.zdb record with a code of BAD1 references a Tax.zdb record with a reference ID of GONE, which does not exist.",
        "The TaxCode.zdb record for code BAD3 has a tax-on-tax type Tax.zdb record with a reference ID of SELF3 in an invalid location.",
        follow + " Tax.zdb record must either be altered, or it must be moved to a later position in the TaxCode.zdb record.",
        "The TaxCode.zdb record for code BAD5 has a tax-on-tax type Tax.zdb record with a reference ID of LATER in an invalid location.",
        follow + " Tax.zdb record must either be altered, or it must be moved to a later position in the TaxCode.zdb record.",
    };
    const auto first = std::find(messages.begin(), messages.end(), expected[0]);
    ASSERT_NE(first, messages.end()) << AllMessages();
    EXPECT_EQ(std::vector<std::string>(first, first + std::min<ptrdiff_t>(expected.size(), messages.end() - first)), expected);
    EXPECT_EQ(CountLogged("Tax check is complete."), variant == TQLOAD_VARIANT_OFFICE ? 1u : 0u);
    EXPECT_EQ(CountLogged("Checking Tax and TaxCode records..."), variant == TQLOAD_VARIANT_OFFICE ? 1u : 0u);
  }
}

TEST_F(PricingTest, MissingTaxConfigurationGetsTheStructuresDefaults) {
  config.taxStructure = schema::kCanadianCarbon;
  SetConfig(config);
  ASSERT_EQ(Run(Line(StandardFields())), TQLOAD_OK);
  const auto taxes = ReadSingle<schema::TaxConfigRecord>(FileIndex::CfgTax);
  ASSERT_TRUE(taxes);
  const schema::TaxConfigRecord expected = schema::DefaultTaxConfigRecord(schema::kCanadianCarbon);
  EXPECT_EQ(std::memcmp(&*taxes, &expected, sizeof expected), 0);
  const auto first = Find<TaxRecord>(FileIndex::Tax, "1000");
  ASSERT_TRUE(first);
  EXPECT_EQ(TextOf(first->label), "Carbon Tax");
  EXPECT_EQ(first->type, schema::kTaxPerUnit);
}

}  // namespace
}  // namespace trk::tqload::testing
