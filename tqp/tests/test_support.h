// Helpers for the link tests: a private working folder (lock folder, program
// folder, current directory for the log), free loopback ports, socat pty pairs,
// the peer process, and a raw partner that speaks frames through the library's
// own frame builder and assembler over any file descriptor.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "tqp/frame.h"

namespace trk::tqp::testing {

// Creates a temporary folder, points TRK_LOCK_DIR and TRK_FOLDER at it and
// makes it the current directory; undoes all of it when destroyed.
class WorkFolder {
 public:
  WorkFolder();
  ~WorkFolder();
  const std::filesystem::path& path() const { return path_; }
  void EnableLog() const;
  std::string LogText() const;

 private:
  std::filesystem::path path_;
  std::filesystem::path previous_;
};

// A loopback TCP port that was free a moment ago.
int FreeTcpPort();

// A child process, stopped (SIGTERM, then SIGKILL) and reaped when destroyed.
class Child {
 public:
  Child() = default;
  Child(const std::vector<std::string>& arguments, const std::vector<std::string>& environment, bool readStdout);
  Child(Child&& other) noexcept;
  Child& operator=(Child&& other) noexcept;
  ~Child();
  bool Running() const { return pid_ > 0; }
  // Waits up to `timeoutMs` for a line on the child's standard output.
  std::optional<std::string> ReadLine(int timeoutMs);
  // Waits up to `timeoutMs` for the child to exit; its exit status or -1.
  int Wait(int timeoutMs);

 private:
  void Stop();
  pid_t pid_ = -1;
  int stdout_ = -1;
};

// Two linked pseudo-terminals made by socat, reachable as `a` and `b`.
class PtyPair {
 public:
  static bool SocatAvailable();
  explicit PtyPair(const std::filesystem::path& folder);
  bool ok() const { return ok_; }
  std::string a, b;

 private:
  Child socat_;
  bool ok_ = false;
};

// Starts tqp_peer and waits for its "ready"; empty when it did not come up.
std::optional<Child> StartPeer(const std::string& medium, int ownNode, const std::string& port, int lifetimeMs,
                               const std::vector<std::string>& environment);

// Raw frames over a descriptor: what a register or a misbehaving partner would send.
struct RawFrame {
  ParsedFrame header;
  std::vector<uint8_t> data;
  std::vector<uint8_t> wire;
};
class RawPartner {
 public:
  RawPartner(int fd, uint8_t ownNode) : fd_(fd), ownNode_(ownNode) {}
  ~RawPartner();
  RawPartner(const RawPartner&) = delete;
  RawPartner& operator=(const RawPartner&) = delete;

  void SendBytes(const std::vector<uint8_t>& bytes);
  // Sends a frame from this partner, or from `source` when given.
  std::vector<uint8_t> SendFrame(uint8_t destination, uint8_t control, const std::vector<uint8_t>& data,
                                 std::optional<uint8_t> source = std::nullopt);
  // The next frame for this partner within `timeoutMs` (frames failing the parse are skipped).
  std::optional<RawFrame> ReadFrame(int timeoutMs);
  int fd() const { return fd_; }
  void Close();

 private:
  int fd_;
  uint8_t ownNode_;
};

// A raw partner on a pty end (raw mode) or a loopback TCP connection.
int OpenPtyEnd(const std::string& path);
int ConnectLoopback(int port);
int ListenLoopback(int& port);
int AcceptWithin(int listening, int timeoutMs);

}  // namespace trk::tqp::testing
