// What only a serving node shows, end to end over loopback TCP: its product
// information and service requests, the folder it keeps requests inside, the
// clock it guards, and link failures reaching the caller unchanged.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "tqpfs/tests/api_test_support.h"

namespace trk::tqpfs::testing {
namespace {

namespace fs = std::filesystem;

class ServingNodeTest : public ::testing::Test {
 protected:
  void Start(const std::vector<std::string>& arguments = {}) {
    served_ = std::make_unique<ServedNode>(Where::kTcp, work_, arguments);
    ASSERT_EQ(served_->failure(), "");
  }
  int PathCall(uint8_t (*call)(int, TQPNodeAddress*, const char*, int*), const char* path) {
    int result = -99;
    EXPECT_EQ(call(kServerNode, nullptr, path, &result), TQP_OK) << path;
    return result;
  }

  WorkFolder work_;
  std::unique_ptr<ServedNode> served_;
};

TEST_F(ServingNodeTest, AnswersProductInformationAndServiceRequests) {
  Start();
  uint8_t code = 0;
  char text[253] = {};
  ASSERT_EQ(TQPIPGetProductInformation(kServerNode, nullptr, &code, text), TQP_OK);
  EXPECT_EQ(code, 0x46);
  EXPECT_STREQ(text, "TQPFS node v1.09");
  EXPECT_EQ(TQPabort(kServerNode, nullptr), TQP_OK);
  EXPECT_EQ(TQPslave(kServerNode, nullptr, 3), TQP_OK);
  EXPECT_EQ(TQPcompare(kServerNode, nullptr), TQP_OK);
  EXPECT_EQ(TQPfsreq(kServerNode, nullptr), TQP_OK);
  int count = -1, handle = -1, result = 0;
  EXPECT_EQ(TQPdownloadCount(kServerNode, nullptr, &count), TQP_OK);
  EXPECT_EQ(count, 0);
  ASSERT_EQ(TQPcreat(kServerNode, nullptr, "sent.dat", 0x180, &handle), TQP_OK);
  EXPECT_EQ(TQPclose(kServerNode, nullptr, handle, &result), TQP_OK);
  EXPECT_EQ(TQPdownloadCount(kServerNode, nullptr, &count), TQP_OK);
  EXPECT_EQ(count, 1);
}

TEST_F(ServingNodeTest, RefusesPathsThatLeaveItsFolder) {
  fs::create_directory(work_.path() / "outside");
  std::ofstream(work_.path() / "outside/secret") << "secret";
  Start();
  fs::create_directory_symlink(work_.path() / "outside", served_->folder() / "out");
  int handle = 77;
  for (const char* path : {"../outside/secret", "out/secret", "/etc/passwd", "C:\\outside\\secret"}) {
    EXPECT_EQ(TQPopen(kServerNode, nullptr, path, TQP_O_RDONLY, 0, &handle), TQP_OK);
    EXPECT_EQ(handle, -1) << path;
  }
  EXPECT_EQ(PathCall(TQPmdir, "out/made"), -1);
  EXPECT_EQ(PathCall(TQPremove, "out/secret"), -1);
  EXPECT_EQ(PathCall(TQPcdir, ".."), -1);
  int result = 0;
  EXPECT_EQ(TQPrename(kServerNode, nullptr, "../outside/secret", "taken", &result), TQP_OK);
  EXPECT_EQ(result, -1);
  uint16_t database = 0;
  EXPECT_EQ(TQPOKVCreateFile(kServerNode, nullptr, "out/x.okv", OKV_OPEN_FLAGS_DEFAULT, 10, 0, nullptr, "", 0),
            OKV_PARAMETER);
  EXPECT_EQ(TQPOKVOpenFile(kServerNode, nullptr, "../outside/secret", 1, &database), OKV_PARAMETER);
  EXPECT_EQ(TQPOKVDeleteFile(kServerNode, nullptr, "out/secret"), OKV_PARAMETER);
  EXPECT_TRUE(fs::exists(work_.path() / "outside/secret"));
  EXPECT_FALSE(fs::exists(work_.path() / "outside/made"));
  EXPECT_FALSE(fs::exists(work_.path() / "outside/x.okv"));
}

TEST_F(ServingNodeTest, SetsItsClockOnlyWhenAllowed) {
  Start();
  int result = 0;
  EXPECT_EQ(TQPsetosdate(kServerNode, nullptr, 2031, 1, 2, 3, 4, 5, &result), TQP_OK);
  EXPECT_EQ(result, -1);
  served_.reset();
  Start({"--allow-clock"});
  // A valid date would really move this machine's clock; an invalid one shows the way is open.
  EXPECT_EQ(TQPsetosdate(kServerNode, nullptr, 2031, 2, 29, 3, 4, 5, &result), TQP_OK);
  EXPECT_EQ(result, -1);
}

TEST_F(ServingNodeTest, LinkFailuresReachTheCallerUnchanged) {
  Start();
  int handle = 77;
  EXPECT_EQ(TQPopen(3, nullptr, "x", TQP_O_RDONLY, 0, &handle), TQP_NO_CONNECTION) << "a node never made known";
  int result = 0;
  ASSERT_EQ(TQPmdir(kServerNode, nullptr, "d", &result), TQP_OK);
  served_->StopServer();
  const auto isLinkFailure = [](uint8_t code) {
    return code == TQP_NO_ANSWER || code == TQP_NO_CONNECTION || code == TQP_SOCKET_ERROR;
  };
  const uint8_t failed = TQPopen(kServerNode, nullptr, "d", TQP_O_RDONLY, 0, &handle);
  EXPECT_TRUE(isLinkFailure(failed)) << int(failed);
  EXPECT_EQ(handle, 77) << "untouched";
  uint16_t database = 5;
  const uint8_t failedOpen = TQPOKVOpenFile(kServerNode, nullptr, "x.okv", 1, &database);
  EXPECT_TRUE(isLinkFailure(failedOpen)) << int(failedOpen);
  EXPECT_EQ(database, 5);
}

TEST_F(ServingNodeTest, RefusesIncompleteOrWrongCommandLines) {
  const std::string folder = work_.path().string();
  struct Case {
    std::vector<std::string> arguments;
    int exitCode;
  };
  const Case cases[] = {
      {{}, 2},
      {{"--folder", folder, "--tcp", "0"}, 2},                                  // no node number
      {{"--folder", folder, "--node", "2"}, 2},                                 // neither TCP nor serial
      {{"--folder", folder, "--node", "2", "--tcp", "1", "--serial", "COM1:"}, 2},
      {{"--folder", folder, "--node", "256", "--tcp", "0"}, 2},
      {{"--folder", folder, "--node", "2", "--tcp", "0", "--timeout", "99"}, 2},
      {{"--folder", folder + "/missing", "--node", "2", "--tcp", "0"}, 1},
      {{"--folder", folder, "--node", "2", "--serial", "COM9:"}, 1},             // no such port name
  };
  for (const Case& c : cases) {
    std::vector<std::string> arguments = {TQPFSD_PATH};
    arguments.insert(arguments.end(), c.arguments.begin(), c.arguments.end());
    Child server(arguments, {}, true);
    EXPECT_EQ(server.Wait(5000), c.exitCode) << ::testing::PrintToString(c.arguments);
  }
}

TEST_F(ServingNodeTest, RecordsMoveOnlyOnFilesOpenedThroughThisLibrary) {
  Start();
  ASSERT_EQ(TQPOKVCreateFile(kServerNode, nullptr, "k.okv", OKV_OPEN_FLAGS_DEFAULT, 10, 0, nullptr, "", 0),
            OKV_SUCCESS);
  ASSERT_EQ(TQPOKVFinalizeCreate(kServerNode, nullptr, "k.okv"), OKV_SUCCESS);
  uint16_t handle = 0;
  ASSERT_EQ(TQPOKVOpenFile(kServerNode, nullptr, "k.okv", 1, &handle), OKV_SUCCESS);
  uint8_t record[10] = {1};
  EXPECT_EQ(TQPOKVCreateRec(kServerNode, nullptr, static_cast<uint16_t>(handle + 1), record), OKV_PARAMETER);
  TQPNodeAddress elsewhere{{127, 0, 0, 2}, 4};
  EXPECT_EQ(TQPOKVCreateRec(kServerNode, &elsewhere, handle, record), OKV_PARAMETER) << "another address";
  TQPNodeAddress loopback{{127, 0, 0, 1}, 4};
  EXPECT_EQ(TQPOKVCreateRec(kServerNode, &loopback, handle, record), OKV_PARAMETER)
      << "opened without an address: only a caller without one finds it";
  EXPECT_EQ(TQPOKVCreateRec(kServerNode, nullptr, handle, record), OKV_SUCCESS);
  EXPECT_EQ(TQPOKVCloseFile(kServerNode, nullptr, handle), OKV_SUCCESS);
  EXPECT_EQ(TQPOKVReadRec(kServerNode, nullptr, handle, record), OKV_PARAMETER) << "closed";
}

}  // namespace
}  // namespace trk::tqpfs::testing
