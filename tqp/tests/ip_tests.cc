// The TCP side of the link as a serving node in this process, with raw callers
// on loopback: accepting and identifying callers, replaced and broken
// connections, nodes left out of waits, and connections made on demand.
#include <gtest/gtest.h>
#include <poll.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "tests/test_support.h"
#include "tqp/tqp.h"

namespace trk::tqp::testing {
namespace {

using Bytes = std::vector<uint8_t>;
using Clock = std::chrono::steady_clock;

constexpr uint8_t kOwnNode = 1;
constexpr uint8_t kCaller = 2;
constexpr uint16_t kTimeoutMs = 200;

struct Delivered {
  uint8_t result = 0;
  uint8_t destination = 0, source = 0, length = 0;
  TQPNodeAddress address{};
  Bytes data;
};

class IpServerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_.EnableLog();
    port_ = FreeTcpPort();
    ASSERT_EQ(TQPIPInstall(0, "office", kOwnNode, kTimeoutMs, 0, port_), TQP_OK);
  }
  void TearDown() override {
    if (TQPInstalled) TQPUninstall();
  }

  // Polls TQPIPGetRequest until it delivers something or `timeoutMs` pass.
  static Delivered PollRequest(int timeoutMs) {
    const auto until = Clock::now() + std::chrono::milliseconds(timeoutMs);
    Delivered d;
    uint8_t data[255];
    do {
      d.result = TQPIPGetRequest(&d.destination, &d.address, &d.source, data, &d.length);
      if (d.result != TQP_NO_ANSWER) break;
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    } while (Clock::now() < until);
    if (d.result != TQP_NO_ANSWER) d.data.assign(data, data + d.length);
    return d;
  }

  // A raw caller identified as `node` by a first request that is answered.
  std::unique_ptr<RawPartner> IdentifiedCaller(uint8_t node) {
    auto raw = std::make_unique<RawPartner>(ConnectLoopback(port_), node);
    raw->SendFrame(kOwnNode, 0x02, {0x31});
    const Delivered first = PollRequest(2000);
    EXPECT_EQ(first.result, TQP_OK);
    EXPECT_EQ(first.source, node);
    return raw;
  }

  bool LogHas(const std::string& text) const { return folder_.LogText().find(text) != std::string::npos; }

  WorkFolder folder_;
  int port_ = 0;
};

bool ClosedByFarEnd(int fd, int timeoutMs) {
  pollfd watch{fd, POLLIN, 0};
  if (::poll(&watch, 1, timeoutMs) <= 0) return false;
  char byte;
  return ::read(fd, &byte, 1) == 0;
}

TEST_F(IpServerTest, CallerIsAcceptedIdentifiedAndAnsweredFromTheSavedCopy) {
  uint8_t destination, source, data[255], length;
  EXPECT_EQ(TQPGetRequest(&destination, &source, data, &length), TQP_NO_ANSWER) << "nothing waiting: at once";

  RawPartner raw(ConnectLoopback(port_), kCaller);
  raw.SendFrame(kOwnNode, 0x02, {'h', 'i'});
  Delivered d = PollRequest(2000);
  ASSERT_EQ(d.result, TQP_OK);
  EXPECT_EQ(d.destination, kOwnNode);
  EXPECT_EQ(d.source, kCaller);
  EXPECT_EQ(d.data, (Bytes{'h', 'i'}));
  EXPECT_EQ(d.address.kind, 4u);
  EXPECT_EQ(Bytes(d.address.address, d.address.address + 4), (Bytes{127, 0, 0, 1}));
  uint8_t status = 0;
  EXPECT_EQ(TQPIPGetConnectionStatus(kCaller, nullptr, &status), TQP_OK);
  EXPECT_EQ(status, 2);

  TQPNodeAddress address = d.address;
  const Bytes answer = {'o', 'k'};
  ASSERT_EQ(TQPIPSendResponse(kCaller, &address, answer.data(), 2, 0), TQP_OK);
  const auto opening = raw.ReadFrame(1000);
  ASSERT_TRUE(opening);
  EXPECT_EQ(opening->header.control, 0x82);
  EXPECT_EQ(opening->data, answer);

  // The answer to the next request is lost on the way: the same request again
  // gets the same bytes and does not reach this application.
  const Bytes request = raw.SendFrame(kOwnNode, 0x01, {'h', 'o'});
  d = PollRequest(2000);
  ASSERT_EQ(d.result, TQP_OK);
  ASSERT_EQ(TQPIPSendResponse(kCaller, &address, answer.data(), 1, TQP_RESPONSE_FLAG_20), TQP_OK);
  const auto response = raw.ReadFrame(1000);
  ASSERT_TRUE(response);
  EXPECT_EQ(response->header.control, 0xA1);
  raw.SendBytes(request);
  EXPECT_EQ(PollRequest(400).result, TQP_NO_ANSWER);
  const auto again = raw.ReadFrame(1000);
  ASSERT_TRUE(again);
  EXPECT_EQ(again->wire, response->wire);

  EXPECT_TRUE(LogHas("TQPGetMessage: accept new socket connection 0x"));
  EXPECT_TRUE(LogHas("TQPGetMessage: complete new connection from node 2.\n"));
}

TEST_F(IpServerTest, ReconnectingNodeReplacesItsOldEntry) {
  auto first = IdentifiedCaller(kCaller);
  auto second = IdentifiedCaller(kCaller);
  const std::string log = folder_.LogText();
  const size_t removing = log.find("TQPGetMessage: removing previous connection to node 2.\n");
  ASSERT_NE(removing, std::string::npos) << log;
  EXPECT_NE(log.find("TQPGetMessage: complete new connection from node 2.\n", removing), std::string::npos);
  EXPECT_TRUE(ClosedByFarEnd(first->fd(), 1000)) << "the old connection is closed";

  const Bytes answer = {0x42};
  ASSERT_EQ(TQPIPSendResponse(kCaller, nullptr, answer.data(), 1, 0), TQP_OK);
  const auto response = second->ReadFrame(1000);
  ASSERT_TRUE(response);
  EXPECT_EQ(response->data, answer);
}

TEST_F(IpServerTest, CallerClosingMidFrameOrBetweenFramesLosesItsEntry) {
  auto caller = IdentifiedCaller(kCaller);
  FrameBuffer frame;
  TQPBuildFrame(frame, kCaller, kOwnNode, 0x01, Bytes{1, 2, 3});
  caller->SendBytes(Bytes(frame.begin(), frame.begin() + 6));
  caller->Close();
  EXPECT_EQ(PollRequest(500).result, TQP_NO_ANSWER);
  EXPECT_TRUE(LogHas("TQPGetMessage: received partial message (7 bytes) from socket 0x"));
  EXPECT_TRUE(LogHas("TQPGetMessage: erase connection socket 0x"));
  uint8_t status;
  EXPECT_EQ(TQPIPGetConnectionStatus(kCaller, nullptr, &status), TQP_BAD_NODE);
  const Bytes answer = {0};
  EXPECT_EQ(TQPIPSendResponse(kCaller, nullptr, answer.data(), 1, 0), TQP_NO_CONNECTION);

  auto other = IdentifiedCaller(3);
  other->Close();
  EXPECT_EQ(PollRequest(500).result, TQP_NO_ANSWER);
  EXPECT_TRUE(LogHas("TQPGetMessage: socket connection is closed by remote node 0x"));
  EXPECT_EQ(TQPIPGetConnectionStatus(3, nullptr, &status), TQP_BAD_NODE);
}

TEST_F(IpServerTest, NodeWithStatusBit04IsReadOnlyWhenAwaited) {
  auto caller = IdentifiedCaller(kCaller);
  ASSERT_EQ(TQPIPSetConnectionStatus(kCaller, nullptr, 0x06), TQP_OK);
  // A request of its own and, ahead of time, its answer to our request (control 2).
  caller->SendFrame(kOwnNode, 0x01, {0x77});
  caller->SendFrame(kOwnNode, 0x82, {0x88});
  EXPECT_EQ(PollRequest(400).result, TQP_NO_ANSWER) << "left out of waits for any node";

  uint8_t response[255], length = 0;
  const Bytes data = {0x99};
  EXPECT_EQ(TQPSendRequest(kCaller, data.data(), 1, response, &length), TQP_OK);
  EXPECT_EQ(Bytes(response, response + length), Bytes{0x88});
}

TEST_F(IpServerTest, KnownNodeIsConnectedOnDemandAndRetriedAfterAFailure) {
  const uint8_t loopback[4] = {127, 0, 0, 1};
  const Bytes data = {0x01};
  uint8_t response[255], length = 0;

  ASSERT_EQ(TQPMakeIPNodeKnown(5, loopback, 0), TQP_OK);
  EXPECT_EQ(TQPSendRequest(5, data.data(), 1, response, &length), TQP_NO_CONNECTION);
  EXPECT_TRUE(LogHas("TQPSendMessage: error 0 setup socket, node 5.\n"));

  int port = 0;
  const int listening = ListenLoopback(port);
  ::close(listening);  // nobody listens there now
  ASSERT_EQ(TQPMakeIPNodeKnown(6, loopback, port), TQP_OK);
  EXPECT_EQ(TQPSendRequest(6, data.data(), 1, response, &length), TQP_NO_CONNECTION);
  uint8_t status = 0;
  EXPECT_EQ(TQPIPGetConnectionStatus(6, nullptr, &status), TQP_OK);
  EXPECT_EQ(status, 1) << "still known, not connected";

  int again = port;
  const int node6 = ListenLoopback(again);
  ASSERT_GE(node6, 0) << "port " << port << " was taken meanwhile";
  std::thread partner([&] {
    const int fd = AcceptWithin(node6, 3000);
    if (fd < 0) return;
    RawPartner raw(fd, 6);
    if (const auto frame = raw.ReadFrame(2000)) raw.SendFrame(kOwnNode, frame->header.control | 0x80, {0x66});
  });
  EXPECT_EQ(TQPSendRequest(6, data.data(), 1, response, &length), TQP_OK) << "the next send tries again";
  partner.join();
  ::close(node6);
  EXPECT_EQ(TQPIPGetConnectionStatus(6, nullptr, &status), TQP_OK);
  EXPECT_EQ(status, 2);
}

TEST_F(IpServerTest, HostileCallerCannotHoldTheServer) {
  RawPartner raw(ConnectLoopback(port_), kCaller);
  EXPECT_EQ(PollRequest(200).result, TQP_NO_ANSWER);  // accepted
  Bytes flood(60000, 0x7E);
  for (size_t i = 0; i < flood.size(); i += 7) flood[i] = static_cast<uint8_t>(i);
  raw.SendBytes(flood);
  const auto start = Clock::now();
  uint8_t destination, source, data[255], length;
  TQPGetRequest(&destination, &source, data, &length);
  EXPECT_LT(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count(), 2 * kTimeoutMs + 300);
}

}  // namespace
}  // namespace trk::tqp::testing
