// Helpers for the tests of the exported interface: a node that serves a
// folder (this machine, or tqpfsd over loopback TCP or a socat pty pair, with
// this process's link installed towards it), and a scripted node that answers
// each request with chosen bytes and keeps what it was sent.
#pragma once

#include <condition_variable>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "tests/test_support.h"
#include "tqpfs/tqpfs.h"

namespace trk::tqpfs::testing {

using Bytes = std::vector<uint8_t>;
using tqp::testing::Child;
using tqp::testing::PtyPair;
using tqp::testing::WorkFolder;

inline constexpr uint8_t kClientNode = 1;
inline constexpr uint8_t kServerNode = 2;

enum class Where { kLocal, kTcp, kSerial };
std::string WhereName(const ::testing::TestParamInfo<Where>& info);

// A folder "served" inside the work folder, and the node that serves it. For
// kLocal the folder becomes the current folder; otherwise tqpfsd serves it and
// the link of this process is installed (node 1) and knows node 2.
class ServedNode {
 public:
  ServedNode(Where where, const WorkFolder& work, const std::vector<std::string>& serverArguments = {});
  ~ServedNode();
  ServedNode(const ServedNode&) = delete;
  ServedNode& operator=(const ServedNode&) = delete;

  // Empty when the node is up; otherwise why it is not.
  const std::string& failure() const { return failure_; }
  bool skipped() const { return skipped_; }
  int node() const { return where_ == Where::kLocal ? int{TQP_LOCAL_NODE} : int{kServerNode}; }
  const std::filesystem::path& folder() const { return folder_; }
  // Ends tqpfsd, leaving this side's link installed.
  void StopServer() { server_ = Child(); }

 private:
  Where where_;
  std::filesystem::path folder_;
  std::unique_ptr<PtyPair> ptys_;
  Child server_;
  std::string failure_;
  bool skipped_ = false;
};

// Tests run against each kind of node: the fixture brings the node up and
// skips (with the reason) when socat is missing for a serial link.
class NodeTest : public ::testing::TestWithParam<Where> {
 protected:
  void SetUp() override;
  int node() const { return served_->node(); }
  std::filesystem::path Served(const std::string& name) const { return served_->folder() / name; }
  bool local() const { return GetParam() == Where::kLocal; }

  WorkFolder work_;
  std::unique_ptr<ServedNode> served_;  // destroyed before the work folder
};

// A node 2 of our own on loopback TCP. Install() installs this process's link
// (node 1, no retries) and makes node 2 known at the script's port. Each
// request that arrives is kept and answered with the next reply in turn.
struct Reply {
  Bytes data;
  uint8_t flags = 0;     // control bits to add: 0x04 pending, 0x20, 0x40 ...
  bool silent = false;   // send nothing
};

class ScriptedNode {
 public:
  ScriptedNode();
  ~ScriptedNode();
  void Install(uint16_t timeoutMs = 300);
  // Starts answering, until `expectedRequests` (default: one per reply) have
  // come or 3 s pass without one; requests beyond the replies are kept and
  // not answered.
  void Play(std::vector<Reply> replies, size_t expectedRequests = 0);
  // Waits for the script to end and gives the data of every request received.
  std::vector<Bytes> Requests();
  // Whether this side's link connected to the script within `waitMs`; only
  // meaningful before Play().
  bool Contacted(int waitMs);

 private:
  int listening_ = -1;
  int port_ = 0;
  std::thread player_;
  std::vector<Bytes> requests_;
  // The connection stays open until Requests(), so that a silent reply is silence.
  std::mutex mutex_;
  std::condition_variable finished_;
  bool finishing_ = false;
};

// A database handle no other test of this process has used: the library's
// list of remote files outlives each test.
uint16_t FreshHandle();
// A reply with the engine's result 0 and the given bytes after it.
Reply Ok(const Bytes& payload = {});
Bytes LittleEndian16(uint16_t value);
// The answer to OKVFileInfo of a file with this record size.
Reply FileInfoReply(uint16_t recordSize);

}  // namespace trk::tqpfs::testing
