// The library as requester, watched byte for byte by a raw partner on the other
// end of a socat pty pair or of a loopback TCP connection: the sequence bits,
// retries on silence, which frames end a wait, flagged answers, time-outs and
// hostile partners.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <thread>

#include "tests/test_support.h"
#include "tqp/tqp.h"

namespace trk::tqp::testing {
namespace {

using Bytes = std::vector<uint8_t>;
using Clock = std::chrono::steady_clock;

constexpr uint8_t kOwnNode = 1;
constexpr uint8_t kPartnerNode = 2;
constexpr uint16_t kTcpTimeoutMs = 200;

enum class Medium { kSerial, kTcp };

std::string MediumName(const ::testing::TestParamInfo<Medium>& info) {
  return info.param == Medium::kSerial ? "Serial" : "Tcp";
}

long MsSince(Clock::time_point start) {
  return static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
}

class WireTest : public ::testing::TestWithParam<Medium> {
 protected:
  void SetUp() override {
    if (GetParam() == Medium::kSerial && !PtyPair::SocatAvailable()) {
      GTEST_SKIP() << "socat is not installed; serial link tests skipped";
    }
  }

  // Installs the library as node 1 and readies the partner's end; check
  // HasFatalFailure() after it.
  void Install(uint8_t retries) {
    if (GetParam() == Medium::kSerial) {
      ptys_ = std::make_unique<PtyPair>(folder_.path());
      ASSERT_TRUE(ptys_->ok()) << "socat did not make the pty pair";
      ::setenv("TQP_COM1", ptys_->a.c_str(), 1);
      ASSERT_EQ(TQPInstall(0, "office", kOwnNode, "COM1:", 0, 0, 100, retries), TQP_OK);
      partnerFd_ = OpenPtyEnd(ptys_->b);
      ASSERT_GE(partnerFd_, 0);
    } else {
      int port = 0;
      listening_ = ListenLoopback(port);
      ASSERT_GE(listening_, 0);
      ASSERT_EQ(TQPIPInstall(0, "office", kOwnNode, kTcpTimeoutMs, retries, 0), TQP_OK);
      const uint8_t loopback[4] = {127, 0, 0, 1};
      ASSERT_EQ(TQPMakeIPNodeKnown(kPartnerNode, loopback, port), TQP_OK);
    }
  }

  void TearDown() override {
    if (partner_.joinable()) partner_.join();
    if (TQPInstalled) TQPUninstall();
    if (listening_ >= 0) ::close(listening_);
    ::unsetenv("TQP_COM1");
  }

  // Runs `script` as the partner node on its own thread; Join() waits for it.
  void Partner(std::function<void(RawPartner&)> script) {
    partner_ = std::thread([this, script] {
      const int fd = GetParam() == Medium::kSerial ? partnerFd_ : AcceptWithin(listening_, 3000);
      if (fd < 0) return;
      RawPartner raw(fd, kPartnerNode);
      script(raw);
    });
  }
  void Join() { partner_.join(); }

  WorkFolder folder_;
  std::unique_ptr<PtyPair> ptys_;
  int partnerFd_ = -1;
  int listening_ = -1;
  std::thread partner_;
};

// Writes without waiting and without SIGPIPE, on a socket or a pty.
bool TrySend(int fd, const Bytes& bytes) {
  ssize_t sent = ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
  if (sent < 0 && errno == ENOTSOCK) sent = ::write(fd, bytes.data(), bytes.size());
  return sent > 0;
}

uint8_t Request(const Bytes& data, Bytes* answer = nullptr) {
  uint8_t response[255] = {};
  uint8_t length = 0;
  const uint8_t result =
      TQPSendRequest(kPartnerNode, data.data(), static_cast<uint8_t>(data.size()), response, &length);
  if (answer != nullptr) answer->assign(response, response + length);
  return result;
}

TEST_P(WireTest, SuccessiveRequestsRunTheSequenceTwoOneZeroOne) {
  Install(0);
  if (HasFatalFailure()) return;
  std::vector<uint8_t> controls;
  const Bytes escapes(255, 0x1B);
  Partner([&](RawPartner& raw) {
    for (uint8_t i = 0; i < 5; ++i) {
      const auto frame = raw.ReadFrame(3000);
      if (!frame) return;
      controls.push_back(frame->header.control);
      raw.SendFrame(kOwnNode, frame->header.control | 0x80, i < 4 ? Bytes{i} : escapes);
    }
  });
  for (uint8_t i = 0; i < 4; ++i) {
    Bytes answer;
    EXPECT_EQ(Request({0x10, i}, &answer), TQP_OK);
    EXPECT_EQ(answer, Bytes{i});
  }
  Bytes answer;
  EXPECT_EQ(Request({0x11}, &answer), TQP_OK);
  EXPECT_EQ(answer, escapes) << "the longest data field of escapes arrives whole";
  Join();
  EXPECT_EQ(controls, (Bytes{0x02, 0x01, 0x00, 0x01, 0x00}));
}

TEST_P(WireTest, SilenceIsRepeatedThenTheSequenceRestarts) {
  Install(2);
  if (HasFatalFailure()) return;
  std::vector<uint8_t> controls;
  Partner([&](RawPartner& raw) {
    for (int i = 0; i < 5; ++i) {
      const auto frame = raw.ReadFrame(4000);
      if (!frame) return;
      controls.push_back(frame->header.control);
      if (i == 0 || i == 4) raw.SendFrame(kOwnNode, frame->header.control | 0x80, {});
    }
  });
  EXPECT_EQ(Request({1}), TQP_OK);
  EXPECT_EQ(Request({2}), TQP_NO_ANSWER);
  EXPECT_EQ(Request({3}), TQP_OK);
  Join();
  EXPECT_EQ(controls, (Bytes{0x02, 0x01, 0x01, 0x01, 0x02})) << "three attempts with one control, then reset";
}

TEST_P(WireTest, OnlyTheAwaitedAnswerEndsTheWait) {
  Install(0);
  if (HasFatalFailure()) return;
  Partner([&](RawPartner& raw) {
    const auto frame = raw.ReadFrame(3000);
    if (!frame) return;
    const uint8_t sent = frame->header.control;
    raw.SendFrame(kOwnNode, sent, {0xE1});                         // no response bit
    raw.SendFrame(kOwnNode, (sent ^ 0x01) | 0x80, {0xE2});         // other sequence bit
    raw.SendFrame(kOwnNode, (sent ^ 0x01) | 0xC0, {0xE3});         // stale flagged answer
    raw.SendFrame(kOwnNode, sent | 0xC0, {0xE4}, uint8_t{3});      // flagged answer from node 3
    raw.SendFrame(9, sent | 0x80, {0xE5});                         // for node 9
    FrameBuffer damaged;                                           // bad CRC
    const uint16_t length = TQPBuildFrame(damaged, kPartnerNode, kOwnNode, sent | 0x80, Bytes{0xE6});
    damaged[length - 1] ^= 0x01;
    raw.SendBytes(Bytes(damaged.begin(), damaged.begin() + length));
    raw.SendFrame(kOwnNode, sent | 0x80, {0x55});
  });
  Bytes answer;
  EXPECT_EQ(Request({7}, &answer), TQP_OK);
  EXPECT_EQ(answer, Bytes{0x55});
  Join();
}

TEST_P(WireTest, FlaggedAnswersReportTheirStatusWithTheirData) {
  Install(0);
  if (HasFatalFailure()) return;
  std::vector<uint8_t> controls;
  const Bytes flags = {0x40, 0x20, 0x10, 0x00};
  Partner([&](RawPartner& raw) {
    for (uint8_t flag : flags) {
      const auto frame = raw.ReadFrame(3000);
      if (!frame) return;
      controls.push_back(frame->header.control);
      raw.SendFrame(kOwnNode, frame->header.control | 0x80 | flag, {flag, 0x01});
    }
  });
  const Bytes results = {TQP_FLAG_40, TQP_FLAG_20, TQP_FLAG_10, TQP_OK};
  for (size_t i = 0; i < flags.size(); ++i) {
    Bytes answer;
    EXPECT_EQ(Request({9}, &answer), results[i]);
    EXPECT_EQ(answer, (Bytes{flags[i], 0x01}));
  }
  Join();
  EXPECT_EQ(controls, (Bytes{0x02, 0x01, 0x00, 0x01})) << "a flagged answer is final and moves the sequence on";
}

TEST_P(WireTest, AGapInsideAnAnswerIsATimeOut) {
  Install(0);
  if (HasFatalFailure()) return;
  Partner([&](RawPartner& raw) {
    const auto frame = raw.ReadFrame(3000);
    if (!frame) return;
    FrameBuffer buffer;
    const uint16_t length = TQPBuildFrame(buffer, kPartnerNode, kOwnNode, frame->header.control | 0x80, Bytes{});
    raw.SendBytes(Bytes(buffer.begin(), buffer.begin() + 4));
    std::this_thread::sleep_for(std::chrono::milliseconds(450));
    raw.SendBytes(Bytes(buffer.begin() + 4, buffer.begin() + length));
  });
  EXPECT_EQ(Request({1}), TQP_NO_ANSWER);
  Join();
}

TEST_P(WireTest, AFloodingPartnerCannotHoldTheRequester) {
  Install(0);
  if (HasFatalFailure()) return;
  std::atomic<bool> stop = false;
  Partner([&](RawPartner& raw) {
    if (!raw.ReadFrame(3000)) return;
    ::fcntl(raw.fd(), F_SETFL, ::fcntl(raw.fd(), F_GETFL) | O_NONBLOCK);
    const Bytes startBytes(64, 0x7E);
    const auto until = Clock::now() + std::chrono::seconds(3);
    while (!stop && Clock::now() < until) {
      if (!TrySend(raw.fd(), startBytes)) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
      }
    }
  });
  const auto start = Clock::now();
  EXPECT_EQ(Request({1}), TQP_NO_ANSWER);
  EXPECT_LT(MsSince(start), 1500);
  stop = true;
  Join();
}

INSTANTIATE_TEST_SUITE_P(Media, WireTest, ::testing::Values(Medium::kSerial, Medium::kTcp), MediumName);

class SerialWireTest : public WireTest {};

TEST_P(SerialWireTest, ARequestToNodeZeroIsSentAndNotAwaited) {
  Install(0);
  if (HasFatalFailure()) return;
  folder_.EnableLog();
  Bytes wire;
  Partner([&](RawPartner& raw) {
    ::fcntl(raw.fd(), F_SETFL, ::fcntl(raw.fd(), F_GETFL) | O_NONBLOCK);
    const auto until = Clock::now() + std::chrono::seconds(2);
    uint8_t byte;
    while (wire.size() < 9 && Clock::now() < until) {
      if (::read(raw.fd(), &byte, 1) == 1) wire.push_back(byte);
    }
  });
  const Bytes data = {0x00};
  const auto start = Clock::now();
  EXPECT_EQ(TQPSendRequest(0, data.data(), 1, nullptr, nullptr), TQP_OK);
  EXPECT_LT(MsSince(start), 200);
  Join();
  ParsedFrame frame;
  ASSERT_TRUE(TQPParseFrame(wire, 0, frame, nullptr));
  EXPECT_EQ(frame.control, 0x02);
  EXPECT_EQ(TQPUninstall(), TQP_OK);
  EXPECT_NE(folder_.LogText().find("closing 0 connections"), std::string::npos) << "node 0 gets no entry";
}

INSTANTIATE_TEST_SUITE_P(Media, SerialWireTest, ::testing::Values(Medium::kSerial), MediumName);

}  // namespace
}  // namespace trk::tqp::testing
