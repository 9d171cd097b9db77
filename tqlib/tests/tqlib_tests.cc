// The numeric helpers: spellings the converters rely on, exact volume scaling,
// and the round trip between IsVolume and VolumeToASCIIZ.
#include "tqlib/tqlib.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace {

struct SpellingCase {
  const char* text;
  bool integer;
  bool floating;
};

TEST(TQLibSpelling, IntegerAndFloatingPointAgreeOnEverySpelling) {
  const SpellingCase cases[] = {
      {"0", true, true},         {"42", true, true},       {"-7", true, true},     {"+7", true, true},
      {" 12 ", true, true},      {"12.5", false, true},    {"-0.25", false, true}, {".5", false, true},
      {"5.", false, true},       {"", false, false},       {"-", false, false},    {".", false, false},
      {"1.2.3", false, false},   {"1e5", false, false},    {"12a", false, false},  {"inf", false, false},
      {"nan", false, false},     {"1 2", false, false},    {"--1", false, false},  {"1,000", false, false},
      {"99999999999999999999", true, true},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(IsInteger(c.text) != 0, c.integer) << '"' << c.text << '"';
    EXPECT_EQ(IsFloatingPoint(c.text) != 0, c.floating) << '"' << c.text << '"';
  }
  EXPECT_FALSE(IsInteger(nullptr));
  EXPECT_FALSE(IsFloatingPoint(nullptr));
}

struct VolumeCase {
  const char* text;
  uint8_t code;
  bool accepted;
  uint32_t volume;
};

TEST(TQLibVolume, ScalesByResolutionCodeExactly) {
  const VolumeCase cases[] = {
      {"12.34", 0, true, 1234},       {"12.3", 1, true, 123},         {"12.3", 0, true, 1230},
      {"12", 2, true, 12},            {"1234", 0, true, 123400},      {"12.30", 1, true, 123},
      {"0.01", 0, true, 1},           {"9999999.99", 0, true, 999999999},
      {"42949672.95", 0, true, 4294967295u},
      {"42949672.96", 0, false, 0},   {"4294967296", 2, false, 0},   {"12.34", 1, false, 0},
      {"12.5", 2, false, 0},          {"-1", 2, false, 0},           {"+1", 2, false, 0},
      {"abc", 0, false, 0},           {"", 0, false, 0},             {"1", 3, false, 0},
  };
  for (const auto& c : cases) {
    uint32_t volume = 0xDEADBEEF;
    EXPECT_EQ(IsVolume(c.text, c.code, &volume) != 0, c.accepted) << c.text << " code " << int(c.code);
    EXPECT_EQ(volume, c.accepted ? c.volume : 0xDEADBEEF) << c.text << " code " << int(c.code);
  }
  EXPECT_FALSE(IsVolume("1", 0, nullptr));
}

TEST(TQLibVolume, FormatsEachResolution) {
  const struct {
    uint8_t code;
    uint32_t volume;
    const char* text;
  } cases[] = {
      {1, 123, "12.3"},   {0, 1234, "12.34"},  {0, 5, "0.05"},   {2, 12, "12"},
      {1, 0, "0.0"},      {0, 4294967295u, "42949672.95"},     {3, 12, ""},
  };
  for (const auto& c : cases) {
    char buffer[16];
    VolumeToASCIIZ(buffer, c.code, c.volume);
    EXPECT_STREQ(buffer, c.text);
  }
}

TEST(TQLibVolume, WrittenVolumeReadsBackAsTheSameNumber) {
  const uint32_t samples[] = {0, 1, 9, 10, 99, 100, 101, 12345, 999999999, 1000000000, 4294967294u, 4294967295u};
  for (uint8_t code = 0; code <= 2; ++code) {
    for (uint32_t volume : samples) {
      char buffer[16];
      VolumeToASCIIZ(buffer, code, volume);
      uint32_t back = 0;
      ASSERT_TRUE(IsVolume(buffer, code, &back)) << buffer;
      EXPECT_EQ(back, volume) << buffer;
      EXPECT_TRUE(IsFloatingPoint(buffer)) << buffer;
    }
  }
}

}  // namespace
