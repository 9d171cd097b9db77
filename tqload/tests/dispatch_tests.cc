// Dispatch lines: the records each layout writes, decoded from the files.
#include <cstring>

#include "tqload/tests/conversion_fixture.h"

namespace trk::tqload::testing {
namespace {

using schema::ConfigRecord;
using schema::CustAcctRecord;
using schema::CustomerRecord;
using schema::DispatchRecord;
using schema::ProductRecord;
using schema::TankRecord;

class DispatchTest : public ConversionTest {
 protected:
  ConfigRecord config = schema::DefaultConfigRecord();
  void UseConfig() { SetConfig(config); }
  std::optional<DispatchRecord> DispatchOf(const std::string& access, const std::string& tank = "1") {
    std::string key(26, '\0');
    key.replace(0, access.size(), access);
    key.replace(13, tank.size(), tank);
    return Find<DispatchRecord>(FileIndex::Dispatch, key, 1);
  }
};

TEST_F(DispatchTest, StandardLineWritesTankDispatchCustomerAndAccount) {
  ASSERT_EQ(Run(Line(StandardFields())), TQLOAD_OK) << AllMessages();

  const auto dispatch = DispatchOf("A100");
  ASSERT_TRUE(dispatch) << AllMessages();
  EXPECT_EQ(TextOf(dispatch->route), "1");
  EXPECT_EQ(Copy(dispatch->sequence), 1);
  EXPECT_EQ(TextOf(dispatch->tankNumber), "1");
  EXPECT_EQ(dispatch->presetKind, schema::kPresetNet);
  EXPECT_EQ(Copy(dispatch->preset.quantity.volume), 1005u);
  EXPECT_EQ(dispatch->preset.quantity.resolution, schema::kTenths);
  EXPECT_EQ(TextOf(dispatch->reference), "REF1");
  EXPECT_EQ(Copy(dispatch->unitPrice), 2.5);
  EXPECT_EQ(TextOf(dispatch->taxCode), "100");

  const auto tank = Find<TankRecord>(FileIndex::Tank, std::string("A100\0\0\0\0\0\0\0\0\0" "1", 14));
  ASSERT_TRUE(tank);
  EXPECT_EQ(TextOf(tank->accessNumberAgain), "A100");
  EXPECT_EQ(TextOf(tank->productCode), "DSL");
  EXPECT_EQ(TextOf(tank->volumeDiscountCode), "VOL1");
  EXPECT_EQ(TextOf(tank->cashDiscountCode), "C1");
  EXPECT_EQ(Copy(tank->miscellaneousCharge), 5.0);
  EXPECT_EQ(TextOf(tank->chargeLabelOrReference), "Label");

  const auto customer = Find<CustomerRecord>(FileIndex::Customer, "A100");
  ASSERT_TRUE(customer);
  EXPECT_EQ(TextOf(customer->account), "ACCT1");
  EXPECT_EQ(TextOf(customer->printName), "Jane Doe");
  EXPECT_EQ(TextOf(customer->searchName), "Jane Doe");
  EXPECT_EQ(TextOf(customer->address1), "1 Main St");
  EXPECT_EQ(TextOf(customer->address2), "Springfield");
  EXPECT_EQ(TextOf(customer->directions), "Gate code 42");
  EXPECT_TRUE(Find<CustAcctRecord>(FileIndex::CustAcct, "A100"));

  const auto product = Find<ProductRecord>(FileIndex::Product, "DSL");
  ASSERT_TRUE(product);
  EXPECT_EQ(TextOf(product->description), "Product DSL");
  EXPECT_EQ(product->auxiliaryOutput1, 1);
  EXPECT_EQ(product->auxiliaryOutput2, 2);
}

TEST_F(DispatchTest, SecondLineForAnAccountAddsATankAndReplacesTheCustomer) {
  std::vector<std::string> second = StandardFields();
  second[22] = "Jane Doe Jr";
  ASSERT_EQ(Run(Line(StandardFields()) + Line(second)), TQLOAD_OK);
  EXPECT_TRUE(DispatchOf("A100", "1"));
  EXPECT_TRUE(DispatchOf("A100", "2"));
  const auto customers = ReadAll<CustomerRecord>(FileIndex::Customer);
  ASSERT_EQ(customers.size(), 1u);
  EXPECT_EQ(TextOf(customers[0].printName), "Jane Doe Jr");
  EXPECT_EQ(ReadAll<CustAcctRecord>(FileIndex::CustAcct).size(), 1u);
  EXPECT_TRUE(Logged("Could not create a CustAcct record. rc = 15")) << AllMessages();
}

TEST_F(DispatchTest, PresetByKindAndText) {
  struct Case {
    const char* type;
    const char* preset;
    bool written;
    uint32_t volume;
    uint8_t resolution;
    const char* message;
  } cases[] = {
      {"2", "1234.5", true, 12345, 1, nullptr},
      {"3", "1234.56", true, 123456, 0, nullptr},
      {"2", "1234", true, 123400, 0, nullptr},
      {"2", "1.234", false, 0, 0, "There was a problem with the format of the preset field. rc = 101"},
      {"2", "-5", false, 0, 0, "The preset volume was out of range."},
      {"2", "10000000", false, 0, 0, "The preset volume was out of range."},
      {"2", "12a", false, 0, 0,
       "The preset field could not be converted to a volume amount due to a format problem. rc = 100"},
      {"5", "anything", true, 0, 1, nullptr},
      {"2", "", false, 0, 0, "The preset field should not be empty."},
  };
  for (const Case& c : cases) {
    std::vector<std::string> fields = StandardFields();
    fields[0] = c.type;
    fields[6] = c.preset;
    Run(Line(fields));
    const auto dispatch = DispatchOf("A100");
    EXPECT_EQ(dispatch.has_value(), c.written) << c.preset << "\n" << AllMessages();
    if (dispatch && c.written) {
      EXPECT_EQ(Copy(dispatch->preset.quantity.volume), c.volume) << c.preset;
      EXPECT_EQ(dispatch->preset.quantity.resolution, c.resolution) << c.preset;
    }
    if (c.message) {
      EXPECT_TRUE(Logged(c.message)) << c.preset << "\n" << AllMessages();
    }
  }
  std::vector<std::string> price = StandardFields();
  price[0] = "4";
  price[6] = "125.75";
  Run(Line(price));
  const auto dispatch = DispatchOf("A100");
  ASSERT_TRUE(dispatch);
  EXPECT_EQ(dispatch->presetKind, schema::kPresetPrice);
  EXPECT_EQ(Copy(dispatch->preset.amount), 125.75);
}

TEST_F(DispatchTest, FailedUnitPriceStillWritesTheDispatch) {
  std::vector<std::string> fields = StandardFields();
  fields[7] = "";
  Run(Line(fields));
  const auto dispatch = DispatchOf("A100");
  ASSERT_TRUE(dispatch);
  EXPECT_EQ(Copy(dispatch->unitPrice), -99.9999);
  EXPECT_TRUE(Logged("The unit price field should not be empty."));
  EXPECT_TRUE(Logged("Field contents: , line 1, field 8, rc = 102."));
}

// After the miscellaneous field the balance and compliance fields are present
// only with their flags; the label and customer fields follow them in order.
TEST_F(DispatchTest, OptionalTrailingFieldsFollowTheirFlags) {
  struct Case {
    uint8_t balance;
    uint8_t compliance;
    std::vector<std::string> trailing;
  } cases[] = {
      {0, 0, {"Label", "ACCT1"}},
      {1, 0, {"123.45", "Label", "ACCT1"}},
      {0, 1, {"RCC", "Label", "ACCT1"}},
      {1, 1, {"123.45", "RCC", "Label", "ACCT1"}},
  };
  for (const Case& c : cases) {
    config.beginningBalance = c.balance;
    config.complianceCharge = c.compliance;
    UseConfig();
    std::vector<std::string> fields = StandardFields();
    fields.resize(20);
    fields.insert(fields.end(), c.trailing.begin(), c.trailing.end());
    fields.push_back("Jane Doe");
    fields.push_back("Directions");
    ASSERT_EQ(Run(Line(fields)), TQLOAD_OK) << AllMessages();
    const auto tank = ReadAll<TankRecord>(FileIndex::Tank);
    ASSERT_EQ(tank.size(), 1u);
    EXPECT_EQ(TextOf(tank[0].chargeLabelOrReference), "Label");
    EXPECT_EQ(TextOf(tank[0].miscTransactionCode), c.compliance ? "RCC" : "");
    const auto account = Find<CustAcctRecord>(FileIndex::CustAcct, "A100");
    ASSERT_TRUE(account) << AllMessages();
    EXPECT_EQ(Copy(account->balance), c.balance ? 123.45 : 0.0);
    const auto customer = Find<CustomerRecord>(FileIndex::Customer, "A100");
    ASSERT_TRUE(customer);
    EXPECT_EQ(TextOf(customer->account), "ACCT1");
    EXPECT_EQ(TextOf(customer->printName), "Jane Doe");
  }
}

TEST_F(DispatchTest, ImportedTaxStructureTakesTheTaxCodeAtField9) {
  config.taxStructure = schema::kImportTaxStructures;
  config.beginningBalance = 1;
  UseConfig();
  const std::vector<std::string> fields = {"2", "12", "12", "A7", "DSL", "R", "50", "1.25", "TX1", "V", "C", "2.00",
                                           "-40.5", "Lbl", "", "Name", "Street", "City", "Dir"};
  ASSERT_EQ(Run(Line(fields)), TQLOAD_OK) << AllMessages();
  const auto dispatch = DispatchOf("A7");
  ASSERT_TRUE(dispatch);
  EXPECT_EQ(TextOf(dispatch->taxCode), "TX1");
  const auto account = Find<CustAcctRecord>(FileIndex::CustAcct, "A7");
  ASSERT_TRUE(account);
  EXPECT_EQ(Copy(account->balance), -40.5);
  EXPECT_TRUE(ReadAll<schema::TaxRecord>(FileIndex::Tax).empty());
  const auto customer = Find<CustomerRecord>(FileIndex::Customer, "A7");
  ASSERT_TRUE(customer);
  EXPECT_EQ(TextOf(customer->account), "A7");  // an empty account takes the access number
}

TEST_F(DispatchTest, DirectionsFieldsByRecordFormat) {
  std::vector<std::string> fields = StandardFields();
  fields.back() = "first ";
  for (const char* more : {"second ", "third ", "fourth ", "end"}) fields.push_back(more);
  Run(Line(fields));
  EXPECT_TRUE(Logged("There are too many fields in the dispatch record."));
  EXPECT_TRUE(Logged("Field contents: fourth , line 1, field 29, rc = 103.")) << AllMessages();
  EXPECT_EQ(TextOf(Find<CustomerRecord>(FileIndex::Customer, "A100")->directions), "first second third end");

  fields[0] = "43";
  Run(Line(fields));
  EXPECT_FALSE(Logged("There are too many fields in the dispatch record.")) << AllMessages();
  EXPECT_EQ(TextOf(Find<CustomerRecord>(FileIndex::Customer, "A100")->directions), "first second third fourth end");

  fields.resize(28);
  fields[25] = std::string(200, 'd');
  fields[26] = std::string(60, 'e');
  fields[27] = "!";
  Run(Line(fields));
  EXPECT_TRUE(Logged("The contents of the directions fields are too long."));
  EXPECT_EQ(TextOf(Find<CustomerRecord>(FileIndex::Customer, "A100")->directions), std::string(200, 'd') + "!");
}

TEST_F(DispatchTest, CityLineParsing) {
  config.parseAddress = 1;
  UseConfig();
  struct Case {
    const char* line;
    const char* city;
    const char* state;
    const char* zip;
    const char* address2;
  } cases[] = {
      {"Springfield, IL 62701", "Springfield", "IL", "62701", ""},
      {"Springfield,   IL 62701-1234", "Springfield", "IL", "62701-1234", ""},
      {"A city name far too long, MN 55401", "A city name far too", "MN", "55401", ""},
      {"Springfield", "Springfield", "", "", ""},
      {"Rural Route 7 Box 12345", "", "", "", "Rural Route 7 Box 12345"},
      {"Town, X", "Town", "X", "", ""},
      {"Town, ON K1A 0B1 extra text", "Town", "ON", "", ""},  // a zip beyond its field is refused
  };
  for (const Case& c : cases) {
    std::vector<std::string> fields = StandardFields();
    fields[24] = c.line;
    Run(Line(fields));
    const auto customer = Find<CustomerRecord>(FileIndex::Customer, "A100");
    ASSERT_TRUE(customer) << c.line;
    EXPECT_EQ(TextOf(customer->city), c.city) << c.line;
    EXPECT_EQ(TextOf(customer->state), c.state) << c.line;
    EXPECT_EQ(TextOf(customer->zip), c.zip) << c.line;
    EXPECT_EQ(TextOf(customer->address2), c.address2) << c.line;
  }
  EXPECT_TRUE(Logged("Field contents: Town, ON K1A 0B1 extra text, line 1, field 25, rc = 101.")) << AllMessages();
}

TEST_F(DispatchTest, NetPriceAndQuenbyFeaturesTakeAPriceInsteadOfTheNinthTax) {
  for (const uint8_t feature : {schema::kFeatureNetPrice, schema::kFeatureQuenby}) {
    config.customFeature = feature;
    UseConfig();
    std::vector<std::string> fields = StandardFields();
    fields[16] = "-0.125";
    ASSERT_EQ(Run(Line(fields)), TQLOAD_OK) << AllMessages();
    const auto dispatch = DispatchOf("A100");
    ASSERT_TRUE(dispatch);
    EXPECT_EQ(Copy(dispatch->feature.netPrice.deviationPrice), -0.125);
    const auto code = Find<schema::TaxCodeRecord>(FileIndex::TaxCode, TextOf(dispatch->taxCode));
    ASSERT_TRUE(code);
    const auto ninth = Find<schema::TaxRecord>(FileIndex::Tax, TextOf(code->reference[8]));
    ASSERT_TRUE(ninth);
    EXPECT_EQ(Copy(ninth->rate), 0.0);
  }
  std::vector<std::string> fields = StandardFields();
  fields[16] = "";
  Run(Line(fields));
  EXPECT_TRUE(Logged("The discount per unit field should not be empty.")) << AllMessages();
  EXPECT_FALSE(DispatchOf("A100"));
}

TEST_F(DispatchTest, TorvaneFeatureTakesTheSearchNameApart) {
  config.customFeature = schema::kFeatureTorvane;
  UseConfig();
  std::vector<std::string> fields = StandardFields();
  fields.back() = "DOE JANE";
  fields.push_back("Directions");
  Run(Line(fields));
  const auto customer = Find<CustomerRecord>(FileIndex::Customer, "A100");
  ASSERT_TRUE(customer);
  EXPECT_EQ(TextOf(customer->printName), "Jane Doe");
  EXPECT_EQ(TextOf(customer->searchName), "DOE JANE");
  EXPECT_EQ(TextOf(customer->directions), "Directions");
}

TEST_F(DispatchTest, RidgewayLayout) {
  config.customFeature = schema::kFeatureRidgeway;
  UseConfig();
  auto line = [](const char* access, const char* selections) {
    return std::vector<std::string>{"2", "30", "20", access, "DSL", "R", "100", "12.5", "3", "1.50",
                                    "0.1", "2", "0.2", "3", "4", "0.3", "5", "0.4", "0.01", "0.02", "0.03",
                                    "0.04", "0.05", "V", "C", "7.5", "Lbl", "ACC", "Name", "Street", "City",
                                    "PO-77", "REF9", "Dir1 ", "Dir2", "PERMIT0001PERMIT0002LOC", selections};
  };
  ASSERT_EQ(Run(Line(line("000123", "127")) + Line(line("456", "12"))), TQLOAD_OK) << AllMessages();
  const auto dispatch = DispatchOf("123");
  ASSERT_TRUE(dispatch) << AllMessages();
  EXPECT_EQ(Copy(dispatch->unitPrice), 1.5);
  EXPECT_EQ(Copy(dispatch->feature.ridgeway.discountRates[0].value), 0.01);
  EXPECT_EQ(Copy(dispatch->feature.ridgeway.discountRates[4].value), 0.05);
  EXPECT_EQ(dispatch->feature.ridgeway.ticketMessage, 2);
  EXPECT_EQ(TextOf(dispatch->feature.ridgeway.permit1), "PERMIT0001");
  EXPECT_EQ(TextOf(dispatch->feature.ridgeway.permit2), "PERMIT0002");
  const auto customer = Find<CustomerRecord>(FileIndex::Customer, "123");
  ASSERT_TRUE(customer);
  EXPECT_EQ(customer->ticketHeader, 7);
  EXPECT_EQ(TextOf(customer->purchaseOrderOrCounty), "PO-77");
  EXPECT_EQ(TextOf(customer->referenceOrWorkOrder), "REF9");
  EXPECT_EQ(TextOf(customer->directions), "Dir1 Dir2");
  const auto tank = ReadAll<TankRecord>(FileIndex::Tank);
  ASSERT_EQ(tank.size(), 2u);
  EXPECT_EQ(Copy(tank[0].kilometers), 12.5);
  EXPECT_EQ(TextOf(tank[0].location), "LOC");
  EXPECT_EQ(Copy(tank[0].miscellaneousCharge), 7.5);
  const auto account = Find<CustAcctRecord>(FileIndex::CustAcct, "123");
  ASSERT_TRUE(account);
  EXPECT_EQ(account->paymentType, 3);
  const auto second = DispatchOf("456");
  ASSERT_TRUE(second);
  EXPECT_EQ(second->feature.ridgeway.ticketMessage, 2);
  EXPECT_EQ(Find<CustomerRecord>(FileIndex::Customer, "456")->ticketHeader, 0);
}

TEST_F(DispatchTest, CorlanLayout) {
  config.customFeature = schema::kFeatureCorlan;
  UseConfig();
  const std::vector<std::string> fields = {"2", "20", "20", "C9", "GAS", "R", "75.5", "1.10", "1", "0.1", "2",
                                           "0.2", "3", "4", "0.3", "5", "0.4", "V2", "0.035", "MT7", "Remark one",
                                           "ACC", "Corlan Customer", "Street", "City", "Call first", "Remark two"};
  ASSERT_EQ(Run(Line(fields)), TQLOAD_OK) << AllMessages();
  const auto dispatch = DispatchOf("C9");
  ASSERT_TRUE(dispatch);
  EXPECT_EQ(Copy(dispatch->feature.corlan.surchargeRate), 0.035);
  const auto tanks = ReadAll<TankRecord>(FileIndex::Tank);
  ASSERT_EQ(tanks.size(), 1u);
  EXPECT_EQ(TextOf(tanks[0].miscTransactionCode), "MT7");
  EXPECT_EQ(TextOf(tanks[0].tail.corlan.remarks1), "Remark one");
  EXPECT_EQ(TextOf(tanks[0].tail.corlan.remarks2), "Remark two");
  EXPECT_EQ(TextOf(tanks[0].tail.corlan.dispatchMessage), "Call first");
  EXPECT_TRUE(Find<CustomerRecord>(FileIndex::Customer, "C9"));
  EXPECT_TRUE(Find<CustAcctRecord>(FileIndex::CustAcct, "C9"));
}

TEST_F(DispatchTest, HaldenPryceLayoutWhateverTheFeature) {
  config.beginningBalance = 1;  // these lines have no balance field; the account is still written
  UseConfig();
  const std::vector<std::string> fields = {"26", "20", "20", "H1", "DSL", "R", "300", "2.00", "1", "0.1", "2",
                                           "0.2", "3", "4", "0.3", "5", "0.4", "V", "C", "25.00", "0.05",
                                           "ACC", "Name", "Street", "City", "Lake County", "Dir1 ", "Dir2",
                                           "", "", "", "WO-1", "North tank", "1000 gallons"};
  ASSERT_EQ(Run(Line(fields)), TQLOAD_OK) << AllMessages();
  const auto dispatch = DispatchOf("H1");
  ASSERT_TRUE(dispatch) << AllMessages();
  EXPECT_EQ(dispatch->presetKind, schema::kPresetGross);
  EXPECT_EQ(Copy(dispatch->feature.haldenPryce.flatDeliveryCharge), 25.0);
  EXPECT_EQ(Copy(dispatch->feature.haldenPryce.perUnitDeliveryCharge), 0.05);
  EXPECT_EQ(TextOf(dispatch->feature.haldenPryce.tankSize), "1000 gallons");
  const auto customer = Find<CustomerRecord>(FileIndex::Customer, "H1");
  ASSERT_TRUE(customer);
  EXPECT_EQ(TextOf(customer->purchaseOrderOrCounty), "Lake County");
  EXPECT_EQ(TextOf(customer->referenceOrWorkOrder), "WO-1");
  EXPECT_EQ(TextOf(customer->directions), "Dir1 Dir2");
  EXPECT_EQ(TextOf(ReadAll<TankRecord>(FileIndex::Tank).at(0).chargeLabelOrReference), "North tank");
  EXPECT_TRUE(Find<CustAcctRecord>(FileIndex::CustAcct, "H1"));
}

TEST_F(DispatchTest, OverlongFieldIsRefusedAndTheLineStillFinishes) {
  std::vector<std::string> fields = StandardFields();
  fields[22] = std::string(300, 'n');
  fields.back() = std::string(280, 'd');
  Run(Line(fields));
  EXPECT_TRUE(Logged("Field contents: " + std::string(275, 'n') + ", line 1, field 23, rc = 101.")) << AllMessages();
  EXPECT_TRUE(Logged("Field contents: " + std::string(275, 'd') + ", line 1, field 250, rc = 101."));
  const auto customer = Find<CustomerRecord>(FileIndex::Customer, "A100");
  ASSERT_TRUE(customer);
  EXPECT_EQ(TextOf(customer->printName), "");
  EXPECT_EQ(TextOf(customer->directions), "");
}

TEST_F(DispatchTest, ShortLineWritesItsOwnCustomer) {
  std::vector<std::string> first = StandardFields("A1");
  std::vector<std::string> shortLine = StandardFields("A2");
  shortLine.resize(20);
  Run(Line(first) + Line(shortLine));
  const auto customer = Find<CustomerRecord>(FileIndex::Customer, "A2");
  ASSERT_TRUE(customer) << AllMessages();
  EXPECT_EQ(TextOf(customer->account), "A2");
  EXPECT_EQ(TextOf(customer->printName), "");
  EXPECT_EQ(TextOf(Find<CustomerRecord>(FileIndex::Customer, "A1")->printName), "Jane Doe");
}

}  // namespace
}  // namespace trk::tqload::testing
