// Served nodes and scripted nodes for the tests of the exported interface.
#include "tqpfs/tests/api_test_support.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <unistd.h>

namespace trk::tqpfs::testing {

namespace {

constexpr int kQuietMs = 3000;

}  // namespace

std::string WhereName(const ::testing::TestParamInfo<Where>& info) {
  switch (info.param) {
    case Where::kLocal: return "Local";
    case Where::kTcp: return "Tcp";
    default: return "Serial";
  }
}

ServedNode::ServedNode(Where where, const WorkFolder& work, const std::vector<std::string>& serverArguments)
    : where_(where), folder_(work.path() / "served") {
  std::filesystem::create_directory(folder_);
  if (where == Where::kLocal) {
    std::filesystem::current_path(folder_);
    return;
  }
  std::vector<std::string> arguments = {TQPFSD_PATH, "--folder", folder_.string(), "--node",
                                        std::to_string(kServerNode)};
  std::vector<std::string> environment;
  int port = 0;
  if (where == Where::kSerial) {
    if (!PtyPair::SocatAvailable()) {
      skipped_ = true;
      failure_ = "socat is not installed; tests over a serial link skipped";
      return;
    }
    ptys_ = std::make_unique<PtyPair>(work.path());
    if (!ptys_->ok()) {
      failure_ = "socat did not make the pty pair";
      return;
    }
    arguments.insert(arguments.end(), {"--serial", "COM2:"});
    environment.push_back("TQP_COM2=" + ptys_->b);
  } else {
    port = tqp::testing::FreeTcpPort();
    arguments.insert(arguments.end(), {"--tcp", std::to_string(port), "--timeout", "300"});
  }
  arguments.insert(arguments.end(), serverArguments.begin(), serverArguments.end());
  server_ = Child(arguments, environment, true);
  const std::optional<std::string> line = server_.ReadLine(5000);
  if (!line || *line != "ready") {
    failure_ = "tqpfsd did not start";
    return;
  }
  uint8_t installed = 0;
  if (where == Where::kSerial) {
    ::setenv("TQP_COM1", ptys_->a.c_str(), 1);
    installed = TQPInstall(0, "office", kClientNode, "COM1:", 0, 0, 100, 1);
  } else {
    installed = TQPIPInstall(0, "office", kClientNode, 500, 1, 0);
    const uint8_t loopback[4] = {127, 0, 0, 1};
    if (installed == TQP_OK) installed = TQPMakeIPNodeKnown(kServerNode, loopback, port);
  }
  if (installed != TQP_OK) failure_ = "the link did not install: " + std::to_string(installed);
}

void NodeTest::SetUp() {
  served_ = std::make_unique<ServedNode>(GetParam(), work_);
  if (served_->skipped()) GTEST_SKIP() << served_->failure();
  ASSERT_EQ(served_->failure(), "");
}

ServedNode::~ServedNode() {
  if (TQPInstalled) TQPUninstall();
  ::unsetenv("TQP_COM1");
}

ScriptedNode::ScriptedNode() { listening_ = tqp::testing::ListenLoopback(port_); }

ScriptedNode::~ScriptedNode() {
  Requests();
  if (listening_ >= 0) ::close(listening_);
  if (TQPInstalled) TQPUninstall();
}

void ScriptedNode::Install(uint16_t timeoutMs) {
  ASSERT_GE(listening_, 0);
  ASSERT_EQ(TQPIPInstall(0, "office", kClientNode, timeoutMs, 0, 0), TQP_OK);
  const uint8_t loopback[4] = {127, 0, 0, 1};
  ASSERT_EQ(TQPMakeIPNodeKnown(kServerNode, loopback, port_), TQP_OK);
}

void ScriptedNode::Play(std::vector<Reply> replies, size_t expectedRequests) {
  if (expectedRequests == 0) expectedRequests = replies.size();
  player_ = std::thread([this, replies = std::move(replies), expectedRequests] {
    const int connection = tqp::testing::AcceptWithin(listening_, kQuietMs);
    if (connection < 0) return;
    tqp::testing::RawPartner partner(connection, kServerNode);
    while (requests_.size() < expectedRequests) {
      const std::optional<tqp::testing::RawFrame> request = partner.ReadFrame(kQuietMs);
      if (!request) return;
      requests_.push_back(request->data);
      if (requests_.size() > replies.size()) continue;
      const Reply& reply = replies[requests_.size() - 1];
      if (reply.silent) continue;
      // The answer repeats the request's sequence and reset bits.
      const auto control = static_cast<uint8_t>(0x80 | (request->header.control & 0x03) | reply.flags);
      partner.SendFrame(kClientNode, control, reply.data);
    }
    std::unique_lock<std::mutex> lock(mutex_);
    finished_.wait_for(lock, std::chrono::milliseconds(kQuietMs), [this] { return finishing_; });
  });
}

bool ScriptedNode::Contacted(int waitMs) {
  pollfd watch{listening_, POLLIN, 0};
  return ::poll(&watch, 1, waitMs) > 0;
}

std::vector<Bytes> ScriptedNode::Requests() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    finishing_ = true;
  }
  finished_.notify_all();
  if (player_.joinable()) player_.join();
  return requests_;
}

Reply Ok(const Bytes& payload) {
  Reply reply;
  reply.data.push_back(0);
  reply.data.insert(reply.data.end(), payload.begin(), payload.end());
  return reply;
}

uint16_t FreshHandle() {
  static uint16_t last = 0x0100;
  return ++last;
}

Bytes LittleEndian16(uint16_t value) { return {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8)}; }

Reply FileInfoReply(uint16_t recordSize) {
  Bytes info(83, 0);
  info[0] = 0x0A;  // version 0x010A
  info[1] = 0x01;
  info[14] = static_cast<uint8_t>(recordSize);
  info[15] = static_cast<uint8_t>(recordSize >> 8);
  return Ok(info);
}

}  // namespace trk::tqpfs::testing
