// The message table, the operation names and the standard error line.
#include "okv/tests/okv_test_support.h"

namespace okv::testing {
namespace {

TEST(Messages, TableHoldsTheFixedTexts) {
  EXPECT_STREQ(OKVResultMessage(0), "Success.");
  EXPECT_STREQ(OKVResultMessage(15), "Dupliate key value.");
  EXPECT_STREQ(OKVResultMessage(20), "The file being opened is not an OKV file.");
  EXPECT_STREQ(OKVResultMessage(39), "The current record failed to encrypt successfully.");
  EXPECT_EQ(OKVResultMessage(40), nullptr);
  EXPECT_EQ(OKVResultMessage(200), nullptr);
  for (uint8_t code = 0; code < OKV_MESSAGE_COUNT; ++code) EXPECT_NE(OKVResultMessage(code), nullptr) << int(code);
  EXPECT_STREQ(OKVOperationName(OKV_OP_ABORT_SESSION), "OKVAbortSession");
  EXPECT_STREQ(OKVOperationName(OKV_OP_READ_REC_EQ), "OKVReadRecEQ");
  EXPECT_STREQ(OKVOperationName(OKV_OP_UPDATE_REC), "OKVUpdateRec");
  EXPECT_EQ(OKVOperationName(OKV_OPERATION_COUNT), nullptr);
}

TEST(Messages, FormatterBuildsTheStandardLine) {
  char line[200];
  const struct {
    uint8_t code;
    unsigned operation;
    const char* file;
    const char* expected;
  } cases[] = {
      {15, OKV_OP_CREATE_REC, "Customer.zdb", "OKVCreateRec Error 15 on Customer.zdb: Dupliate key value."},
      {39, OKV_OP_UPDATE_REC, "Tank.zdb",
       "OKVUpdateRec Error 39 on Tank.zdb: The current record failed to encrypt successfully."},
      {40, OKV_OP_OPEN_FILE, "Tank.zdb", "OKVOpenFile Error 40 on Tank.zdb"},
      {213, OKV_OP_READ_REC_LO, nullptr, "OKVReadRecLO Error 213 on <<Unknown>>"},
      {10, 99, "x", "<<Unknown>> Error 10 on x: Record not found."},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(OKVFormatError(c.code, line, sizeof line, c.operation, c.file), line);
    EXPECT_STREQ(line, c.expected);
  }
  char small[12];
  OKVFormatError(15, small, sizeof small, OKV_OP_CREATE_REC, "Customer.zdb");
  EXPECT_STREQ(small, "OKVCreateRe");
  EXPECT_EQ(OKVFormatError(15, nullptr, 10, 0, "x"), nullptr);
}

}  // namespace
}  // namespace okv::testing
