// The message tables and their formatter.
#include "tqload/messages.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace trk::tqload {
namespace {

struct Specifiers {
  int texts = 0;
  int numbers = 0;
};

Specifiers Count(const char* format) {
  Specifiers counted;
  for (const char* p = format; p && *p; ++p) {
    if (*p != '%') continue;
    ++p;
    if (*p == 's') ++counted.texts;
    if (*p == 'u' || *p == 'd') ++counted.numbers;
    if (*p == '\0') break;
  }
  return counted;
}

// Both variants fill every message from the same arguments, so where the office
// drops a file name it may lose a text, but never a number, and never gain one.
TEST(MessageTables, VariantsTakeTheSameArguments) {
  const std::set<Msg> officeDropsFileName = {Msg::CloseProductFailed,  Msg::CloseTaxFailed,      Msg::CloseTaxCodeFailed,
                                             Msg::CloseCashFailed,     Msg::CloseCustAcctFailed, Msg::CloseCustomerFailed,
                                             Msg::CloseDispatchFailed, Msg::CloseTankFailed};
  for (size_t i = 0; i < kMessageCount; ++i) {
    const auto id = static_cast<Msg>(i);
    const char* console = MessageFormat(Variant::Console, id);
    const char* office = MessageFormat(Variant::Office, id);
    if (console == nullptr || office == nullptr) continue;
    const Specifiers c = Count(console);
    const Specifiers o = Count(office);
    EXPECT_EQ(o.texts + (officeDropsFileName.count(id) ? 1 : 0), c.texts) << console << " / " << office;
    if (id != Msg::RamCardProblem) {  // the office names the result code the console leaves out
      EXPECT_EQ(o.numbers, c.numbers) << console << " / " << office;
    }
  }
}

TEST(MessageTables, NoMessageCarriesALineEnd) {
  for (size_t i = 0; i < kMessageCount; ++i) {
    for (const Variant variant : {Variant::Console, Variant::Office}) {
      const char* format = MessageFormat(variant, static_cast<Msg>(i));
      if (format == nullptr) continue;
      const std::string text(format);
      EXPECT_NE(text.back(), '\n') << text;
      // Only the two-line notice holds an inner line feed; the office lists its lines apart.
      if (static_cast<Msg>(i) != Msg::MiscCreated) {
        EXPECT_EQ(text.find('\n'), std::string::npos) << text;
      }
    }
  }
}

TEST(MessageFormatter, TextsAndNumbersFillTheirOwnSpecifiers) {
  EXPECT_EQ(FormatMessage("Field contents: %s, line %u, field %d, rc = %u.", {"abc", 7u, 250, uint8_t{101}}),
            "Field contents: abc, line 7, field 250, rc = 101.");
  EXPECT_EQ(FormatMessage("Could not close the tank file. rc = %u", {"Tank.zdb", uint8_t{7}}),
            "Could not close the tank file. rc = 7");
  EXPECT_EQ(FormatMessage("There was a problem with a %% tax field. rc = %u", {uint8_t{100}}),
            "There was a problem with a % tax field. rc = 100");
  EXPECT_EQ(FormatMessage("missing %s and %u, stray %", {}), "missing  and , stray %");
  EXPECT_EQ(FormatMessage(nullptr, {"x"}), "");
}

}  // namespace
}  // namespace trk::tqload
