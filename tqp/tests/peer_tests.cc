// Two processes of our own: this test against tqp_peer, over a socat pty pair
// and over loopback TCP. The peer's answers carry how many requests reached its
// application, which shows what the link kept away from it.
#include <gtest/gtest.h>

#include <chrono>

#include "tests/test_support.h"
#include "tqp/tqp.h"

namespace trk::tqp::testing {
namespace {

using Bytes = std::vector<uint8_t>;

constexpr uint8_t kOwnNode = 1;
constexpr uint8_t kPeerNode = 2;
constexpr int kPeerLifetimeMs = 30000;

enum class Medium { kSerial, kTcp };

std::string MediumName(const ::testing::TestParamInfo<Medium>& info) {
  return info.param == Medium::kSerial ? "Serial" : "Tcp";
}

class PeerTest : public ::testing::TestWithParam<Medium> {
 protected:
  void SetUp() override {
    if (GetParam() == Medium::kSerial) {
      if (!PtyPair::SocatAvailable()) GTEST_SKIP() << "socat is not installed; serial link tests skipped";
      ptys_ = std::make_unique<PtyPair>(folder_.path());
      ASSERT_TRUE(ptys_->ok()) << "socat did not make the pty pair";
      peer_ = StartPeer("serial", kPeerNode, "COM2:", kPeerLifetimeMs, {"TQP_COM2=" + ptys_->b});
    } else {
      peerPort_ = FreeTcpPort();
      peer_ = StartPeer("tcp", kPeerNode, std::to_string(peerPort_), kPeerLifetimeMs, {});
    }
    ASSERT_TRUE(peer_) << "tqp_peer did not start";
  }

  void TearDown() override {
    if (TQPInstalled) TQPUninstall();
    ::unsetenv("TQP_COM1");
  }

  void InstallLibrary(uint8_t retries) {
    if (GetParam() == Medium::kSerial) {
      ::setenv("TQP_COM1", ptys_->a.c_str(), 1);
      ASSERT_EQ(TQPInstall(0, "office", kOwnNode, "COM1:", 0, 0, 100, retries), TQP_OK);
    } else {
      ASSERT_EQ(TQPIPInstall(0, "office", kOwnNode, 300, retries, 0), TQP_OK);
      const uint8_t loopback[4] = {127, 0, 0, 1};
      ASSERT_EQ(TQPMakeIPNodeKnown(kPeerNode, loopback, peerPort_), TQP_OK);
    }
  }

  // A raw node 1 on this side, for sending frames the library would not send.
  std::unique_ptr<RawPartner> RawNode() {
    const int fd = GetParam() == Medium::kSerial ? OpenPtyEnd(ptys_->a) : ConnectLoopback(peerPort_);
    return fd < 0 ? nullptr : std::make_unique<RawPartner>(fd, kOwnNode);
  }

  WorkFolder folder_;
  std::unique_ptr<PtyPair> ptys_;
  int peerPort_ = 0;
  std::optional<Child> peer_;
};

struct Result {
  uint8_t code;
  Bytes data;
};

Result Ask(const Bytes& request) {
  uint8_t response[255] = {};
  uint8_t length = 0;
  const uint8_t code =
      TQPSendRequest(kPeerNode, request.data(), static_cast<uint8_t>(request.size()), response, &length);
  return {code, Bytes(response, response + length)};
}

Result Check() {
  uint8_t response[255] = {};
  uint8_t length = 0;
  const uint8_t code = TQPCheckRequest(kPeerNode, response, &length);
  return {code, Bytes(response, response + length)};
}

void ExpectResult(const Result& result, uint8_t code, const Bytes& data, const char* what) {
  EXPECT_EQ(result.code, code) << what;
  EXPECT_EQ(result.data, data) << what;
}

TEST_P(PeerTest, LibraryToLibraryExchanges) {
  InstallLibrary(1);

  uint8_t productCode = 0;
  char text[253] = {};
  EXPECT_EQ(TQPGetProductInformation(kPeerNode, &productCode, text), TQP_OK);
  EXPECT_EQ(productCode, 0x2A);
  EXPECT_STREQ(text, "TQP peer");

  ExpectResult(Ask({'E', 'a', 'b', 'c'}), TQP_OK, {2, 0, 'a', 'b', 'c'}, "echo");
  ExpectResult(Ask({'F', 0x40}), TQP_FLAG_40, {3, 0}, "flag 0x40");
  ExpectResult(Ask({'F', 0x20}), TQP_FLAG_20, {4, 0}, "flag 0x20");
  ExpectResult(Ask({'E'}), TQP_OK, {5, 0}, "a request after flagged answers is new");

  // The serving side sees checks and aborts as such; its answers repeat their bits.
  ExpectResult(Check(), TQP_PENDING, {6, TQP_PENDING}, "first check");
  ExpectResult(Check(), TQP_PENDING, {7, TQP_PENDING}, "second check");
  EXPECT_EQ(TQPAbortRequest(kPeerNode), TQP_ABORTED);
  ExpectResult(Ask({'E'}), TQP_OK, {9, 0}, "after the abort");

  // Silence: sent twice, reaches the application once; the next request restarts.
  ExpectResult(Ask({'N'}), TQP_NO_ANSWER, {}, "no answer");
  ExpectResult(Ask({'E'}), TQP_OK, {11, 0}, "after silence");

  // A slow answer arrives during the repeated attempt; the repeat is kept from the application.
  ExpectResult(Ask({'S', 40}), TQP_OK, {12, 0}, "slow");
  ExpectResult(Ask({'E'}), TQP_OK, {13, 0}, "after the slow answer");

  ExpectResult(Ask({'Q'}), TQP_OK, {14, 0}, "quit");
  EXPECT_EQ(peer_->Wait(3000), 0);
}

TEST_P(PeerTest, RepeatedRequestIsAnsweredFromTheSavedCopy) {
  auto raw = RawNode();
  ASSERT_TRUE(raw);
  // A request with the reset bit always counts as new, so the repeat follows
  // the second request.
  raw->SendFrame(kPeerNode, 0x02, {'E', 'w'});
  const auto opening = raw->ReadFrame(3000);
  ASSERT_TRUE(opening);
  EXPECT_EQ(opening->header.control, 0x82) << "the answer repeats the request's bits";
  EXPECT_EQ(opening->data, (Bytes{1, 0, 'w'}));

  const Bytes request = raw->SendFrame(kPeerNode, 0x01, {'E', 'x'});
  const auto first = raw->ReadFrame(3000);
  ASSERT_TRUE(first);
  EXPECT_EQ(first->header.control, 0x81);
  EXPECT_EQ(first->data, (Bytes{2, 0, 'x'}));

  raw->SendBytes(request);
  const auto repeated = raw->ReadFrame(3000);
  ASSERT_TRUE(repeated);
  EXPECT_EQ(repeated->wire, first->wire) << "resent unchanged";

  raw->SendFrame(kPeerNode, 0x00, {'E', 'y'});
  const auto next = raw->ReadFrame(3000);
  ASSERT_TRUE(next);
  EXPECT_EQ(next->header.control, 0x80);
  EXPECT_EQ(next->data, (Bytes{3, 0, 'y'})) << "the repeat never reached the application";
}

INSTANTIATE_TEST_SUITE_P(Media, PeerTest, ::testing::Values(Medium::kSerial, Medium::kTcp), MediumName);

}  // namespace
}  // namespace trk::tqp::testing
