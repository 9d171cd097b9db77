// The exported interface: argument checks, installation, the connection-status
// functions, the version and the log.
#include <gtest/gtest.h>

#include <regex>
#include <string>

#include "tests/test_support.h"
#include "tqp/tqp.h"

namespace trk::tqp::testing {
namespace {

class ApiTest : public ::testing::Test {
 protected:
  void TearDown() override {
    if (TQPInstalled) TQPUninstall();
  }
  WorkFolder folder_;
};

TEST_F(ApiTest, SerialInstallationChecksInOrder) {
  struct Case {
    const char* what;
    const char* name;
    uint8_t node;
    const char* port;
    uint8_t baud, mode;
    uint16_t interval;
    uint8_t expected;
  };
  const Case cases[] = {
      {"no name", nullptr, 0, nullptr, 9, 9, 0, TQP_MISSING_ARGUMENT},
      {"16 characters", "sixteen-chars-xx", 0, nullptr, 9, 9, 0, TQP_NAME_TOO_LONG},
      {"node 0", "office", 0, nullptr, 9, 9, 0, TQP_BAD_NODE},
      {"interval 99", "office", 1, nullptr, 9, 9, 99, TQP_BAD_TIMEOUT},
      {"no port", "office", 1, nullptr, 9, 9, 100, TQP_MISSING_ARGUMENT},
      {"baud 6", "office", 1, "COM1:", 6, 9, 100, TQP_BAD_BAUD},
      {"mode 7", "office", 1, "COM1:", 5, 7, 100, TQP_BAD_LINE_MODE},
      {"COM9:", "office", 1, "COM9:", 5, 6, 100, TQP_BAD_PORT},
      {"no colon", "office", 1, "COM1", 5, 6, 100, TQP_BAD_PORT},
      {"lower case", "office", 1, "com1:", 5, 6, 100, TQP_BAD_PORT},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(TQPInstall(0, c.name, c.node, c.port, c.baud, c.mode, c.interval, 0), c.expected) << c.what;
    EXPECT_EQ(TQPInstalled, 0) << c.what;
  }
}

TEST_F(ApiTest, SerialPortThatCannotBeOpenedLeavesTheLinkUninstalled) {
  ::setenv("TQP_COM3", (folder_.path() / "no-such-device").c_str(), 1);
  EXPECT_EQ(TQPInstall(0, "office", 1, "COM3:", 0, 0, 100, 0), TQP_NO_CONNECTION);
  EXPECT_EQ(TQPInstalled, 0);
  ::unsetenv("TQP_COM3");
}

TEST_F(ApiTest, IPInstallationChecksAndLifecycle) {
  EXPECT_EQ(TQPIPInstall(0, "office", 1, 99, 0, 0), TQP_BAD_TIMEOUT);
  EXPECT_EQ(TQPIPInstall(0, "office", 1, 100, 0, -1), TQP_NO_CONNECTION);
  EXPECT_EQ(TQPIPInstall(0, "office", 1, 100, 0, 70000), TQP_NO_CONNECTION);
  EXPECT_EQ(TQPUninstall(), TQP_NOT_INSTALLED);

  EXPECT_EQ(TQPIPInstall(0, "fifteen-chars-x", 1, 100, 0, 0), TQP_OK);
  int installed = 0;
  EXPECT_EQ(TQPGetInstallStatus(&installed), TQP_OK);
  EXPECT_EQ(installed, 1);
  EXPECT_EQ(TQPIPInstall(0, "office", 1, 100, 0, 0), TQP_ALREADY_INSTALLED);
  EXPECT_EQ(TQPInstall(0, "office", 1, "COM1:", 0, 0, 100, 0), TQP_ALREADY_INSTALLED);
  EXPECT_EQ(TQPIPUninstall(), TQP_OK);
  EXPECT_EQ(TQPInstalled, 0);
  EXPECT_EQ(TQPIPUninstall(), TQP_NOT_INSTALLED);
}

TEST_F(ApiTest, ExchangesNeedAnInstalledLinkAndTheirArguments) {
  uint8_t byte = 0, response[255], length = 0, destination = 0, source = 0, code = 0;
  char text[253];
  EXPECT_EQ(TQPSendRequest(1, &byte, 1, response, &length), TQP_NOT_INSTALLED);
  EXPECT_EQ(TQPGetRequest(&destination, &source, response, &length), TQP_NOT_INSTALLED);
  EXPECT_EQ(TQPCheckRequest(1, response, &length), TQP_NOT_INSTALLED);
  EXPECT_EQ(TQPAbortRequest(1), TQP_NOT_INSTALLED);
  EXPECT_EQ(TQPSendResponse(1, &byte, 1, 0), TQP_NOT_INSTALLED);
  EXPECT_EQ(TQPGetProductInformation(1, &code, text), TQP_NOT_INSTALLED);

  ASSERT_EQ(TQPIPInstall(0, "office", 1, 100, 0, 0), TQP_OK);
  EXPECT_EQ(TQPSendRequest(1, nullptr, 0, response, &length), TQP_MISSING_ARGUMENT);
  EXPECT_EQ(TQPGetRequest(nullptr, &source, response, &length), TQP_MISSING_ARGUMENT);
  EXPECT_EQ(TQPGetRequest(&destination, &source, response, nullptr), TQP_MISSING_ARGUMENT);
  EXPECT_EQ(TQPCheckRequest(0, response, &length), TQP_BAD_NODE);
  EXPECT_EQ(TQPAbortRequest(0), TQP_BAD_NODE);
  EXPECT_EQ(TQPSendResponse(1, nullptr, 0, 0), TQP_MISSING_ARGUMENT);
  EXPECT_EQ(TQPGetProductInformation(0, &code, text), TQP_BAD_NODE);
  EXPECT_EQ(TQPGetProductInformation(1, nullptr, nullptr), TQP_MISSING_ARGUMENT);
  // Nothing was ever sent to node 9, so there is nothing to check on or abort.
  EXPECT_EQ(TQPCheckRequest(9, response, &length), TQP_NO_ANSWER);
  EXPECT_EQ(TQPAbortRequest(9), TQP_NO_ANSWER);
  // On TCP a node must be known or have called in.
  EXPECT_EQ(TQPSendRequest(9, &byte, 1, response, &length), TQP_NO_CONNECTION);
  EXPECT_EQ(TQPSendResponse(9, &byte, 1, 0), TQP_NO_CONNECTION);
}

TEST_F(ApiTest, NodesMadeKnownWithoutInstallationAndTheirStatus) {
  const uint8_t ip[4] = {10, 1, 2, 3};
  EXPECT_EQ(TQPMakeIPNodeKnown(0, ip, 5000), TQP_BAD_NODE);
  EXPECT_EQ(TQPMakeIPNodeKnown(4, ip, -1), TQP_BAD_IP_PORT);
  EXPECT_EQ(TQPMakeIPNodeKnown(4, ip, 65536), TQP_BAD_IP_PORT);
  EXPECT_EQ(TQPMakeIPNodeKnown(4, ip, 5000), TQP_OK);
  EXPECT_EQ(TQPMakeIPNodeKnown(4, nullptr, 5001), TQP_OK);

  TQPNodeAddress same{{10, 1, 2, 3}, 4};
  TQPNodeAddress other{{10, 1, 2, 4}, 4};
  uint8_t status = 0;
  EXPECT_EQ(TQPIPGetConnectionStatus(4, nullptr, nullptr), TQP_MISSING_ARGUMENT);
  EXPECT_EQ(TQPIPGetConnectionStatus(5, nullptr, &status), TQP_BAD_NODE);
  EXPECT_EQ(TQPIPGetConnectionStatus(4, &other, &status), TQP_BAD_NODE);
  EXPECT_EQ(TQPIPGetConnectionStatus(4, &same, &status), TQP_OK);
  EXPECT_EQ(status, 1);
  EXPECT_EQ(TQPIPSetConnectionStatus(0, nullptr, 7), TQP_BAD_NODE);
  EXPECT_EQ(TQPIPSetConnectionStatus(4, &other, 7), TQP_BAD_NODE);
  EXPECT_EQ(TQPIPSetConnectionStatus(4, nullptr, 0x05), TQP_OK);
  EXPECT_EQ(TQPIPGetConnectionStatus(4, &same, &status), TQP_OK);
  EXPECT_EQ(status, 0x05);

  // Installing keeps what was made known before; uninstalling empties the table.
  ASSERT_EQ(TQPIPInstall(0, "office", 1, 100, 0, 0), TQP_OK);
  EXPECT_EQ(TQPIPGetConnectionStatus(4, nullptr, &status), TQP_OK);
  EXPECT_EQ(TQPUninstall(), TQP_OK);
  EXPECT_EQ(TQPIPGetConnectionStatus(4, nullptr, &status), TQP_BAD_NODE);
}

TEST_F(ApiTest, VersionAndByteReversal) {
  char text[6] = {};
  EXPECT_EQ(TQPGetVersion(text), TQP_OK);
  EXPECT_STREQ(text, "v1.22");
  EXPECT_STREQ(verTQTQP, "v1.22");
  EXPECT_EQ(TQPGetVersion(nullptr), TQP_MISSING_ARGUMENT);

  struct Case {
    std::string in, out;
  };
  for (const Case& c : {Case{"", ""}, Case{"a", "a"}, Case{"ab", "ba"}, Case{"abcde", "edcba"}}) {
    std::string bytes = c.in;
    TQPReverseBytes(reinterpret_cast<uint8_t*>(bytes.data()), static_cast<uint32_t>(bytes.size()));
    EXPECT_EQ(bytes, c.out);
  }
}

TEST_F(ApiTest, LogIsWrittenOnlyWhenTheFileExists) {
  ASSERT_EQ(TQPIPInstall(0, "office", 1, 100, 0, 0), TQP_OK);
  ASSERT_EQ(TQPUninstall(), TQP_OK);
  EXPECT_FALSE(std::filesystem::exists(folder_.path() / "TQP32.log"));

  folder_.EnableLog();
  const uint8_t ip[4] = {127, 0, 0, 1};
  ASSERT_EQ(TQPMakeIPNodeKnown(3, ip, 1), TQP_OK);
  ASSERT_EQ(TQPIPInstall(0, "office", 1, 100, 0, 0), TQP_OK);
  ASSERT_EQ(TQPUninstall(), TQP_OK);
  const std::regex lines(
      "\\d\\d/\\d\\d/\\d\\d \\d\\d:\\d\\d:\\d\\d TQPUninstall: closing 1 connections\\.\n"
      "\\d\\d/\\d\\d/\\d\\d \\d\\d:\\d\\d:\\d\\d TQPUninstall: closing TQP socket\\.\n");
  EXPECT_TRUE(std::regex_match(folder_.LogText(), lines)) << folder_.LogText();
}

}  // namespace
}  // namespace trk::tqp::testing
