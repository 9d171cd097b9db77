#include "tools/dispatchgen/dispatch_generator.h"

#include <array>
#include <random>
#include <string>
#include <vector>

namespace trk::tools {

namespace {

using Fields = std::vector<std::string>;

void WriteLine(std::ostream& out, const Fields& fields) {
  for (size_t i = 0; i < fields.size(); ++i) {
    if (i > 0) out << ',';
    out << '"';
    for (const char c : fields[i]) out << (c == '"' ? "\"\"" : std::string(1, c));
    out << '"';
  }
  out << "\r\n";
}

struct Product {
  const char* code;
  const char* price;
};
constexpr std::array<Product, 5> kProducts = {{{"DSL", "3.8950"}, {"OFFRD", "3.4190"}, {"GAS87", "3.5590"},
                                               {"PROP", "2.1990"}, {"FO2", "3.6290"}}};

// Nine tax values: category 1 to 4 percentages and per-unit amounts, with the
// tax-on-tax in position 5.
constexpr std::array<std::array<const char*, 9>, 4> kTaxProfiles = {{
    {"0", "0.184", "6.875", "0.285", "0", "0", "0", "0", "0"},
    {"0", "0.244", "6.875", "0.285", "0", "0.5", "0", "0", "0"},
    {"0", "0.001", "0", "0", "0", "0", "0", "0", "0"},
    {"6.5", "0.184", "0", "0.285", "1.0", "0", "0.02", "0", "0"},
}};

constexpr std::array<const char*, 12> kFirstNames = {"Ann",  "Bert",  "Carla", "Dev",   "Elena", "Farid",
                                                     "Gus",  "Hanna", "Ivo",   "Jolene", "Kurt", "Lidia"};
constexpr std::array<const char*, 12> kLastNames = {"Olsen", "Marsh",  "Quade", "Brandt", "Nyberg", "Castillo",
                                                    "Fenn",  "Strand", "Ware",  "Lindqvist", "Pike", "Adair"};
constexpr std::array<const char*, 6> kTowns = {"Alder Falls", "Brookhaven", "Cedar Bluff", "Dunmore", "Eastfield",
                                               "Glen Ridge"};
constexpr std::array<const char*, 4> kDirections = {"Farm lane past the red barn, tank behind the shop",
                                                    "Gate code 4471; dog on site", "North side of the grain bins",
                                                    "Call ahead in winter; driveway is steep"};

Fields SetupLines(size_t index) {
  if (index < kProducts.size()) {
    Fields fields = {"9", "10", "1", kProducts[index].code, kProducts[index].price};
    for (const char* value : kTaxProfiles[index % kTaxProfiles.size()]) fields.push_back(value);
    return fields;
  }
  switch (index - kProducts.size()) {
    case 0:
      return {"10", "15", "0", "500", "0.0200", "1000", "0.0350", "2500.5", "0.0500",
              "10", "2.0", "0.0100", "20", "1.0", "", "30", "0.5", "0.0050"};
    case 1:
      return {"20", "12", "1", "HAZMAT", "15.00", "0.0000", "0", "0", "0", "0", "0", "0", "0", "0", "0"};
    case 2:
      return {"20", "12", "1", "AFTERHRS", "45.00", "0.0500", "0", "0", "6.875", "0", "0", "0", "0", "0", "0"};
    default: {
      Fields totalizer = {"1", "35", "3", "TRUCK 7", "RC-0007"};
      totalizer.resize(38, "0");
      return totalizer;
    }
  }
}
constexpr size_t kSetupLines = kProducts.size() + 4;

}  // namespace

void WriteDispatchText(std::ostream& out, size_t lines, uint32_t seed) {
  std::mt19937 random(seed);
  for (size_t i = 0; i < kSetupLines; ++i) WriteLine(out, SetupLines(i));
  size_t account = 0;
  size_t tanksLeft = 0;
  std::array<const char*, 9> taxes{};
  std::string name;
  std::string town;
  for (size_t line = kSetupLines; line < lines; ++line) {
    if (tanksLeft == 0) {
      ++account;
      tanksLeft = 1 + random() % 3;
      taxes = kTaxProfiles[random() % kTaxProfiles.size()];
      name = std::string(kFirstNames[random() % kFirstNames.size()]) + " " + kLastNames[random() % kLastNames.size()];
      town = kTowns[random() % kTowns.size()];
    }
    --tanksLeft;
    static constexpr const char* kTypes[] = {"2", "2", "2", "3", "4", "5"};
    const std::string type = kTypes[random() % 6];
    const Product& product = kProducts[random() % kProducts.size()];
    const std::string access = "C" + std::to_string(100000 + account);
    const std::string preset = type == "4" ? std::to_string(100 + random() % 900) + ".00"
                                           : std::to_string(50 + random() % 2950) + "." + std::to_string(random() % 10);
    Fields fields = {type, "20", "20", access, product.code, "SO" + std::to_string(500000 + line), preset,
                     product.price};
    fields.insert(fields.end(), taxes.begin(), taxes.end());
    fields.insert(fields.end(), {random() % 4 == 0 ? "1" : "", random() % 3 == 0 ? "1" : "", "0.00", "",
                                 "AR" + std::to_string(7000 + account), name,
                                 std::to_string(100 + random() % 9800) + " County Road " + std::to_string(random() % 60),
                                 town, kDirections[random() % kDirections.size()]});
    WriteLine(out, fields);
  }
}

}  // namespace trk::tools
