// Process, pty and socket plumbing for the link tests. Every wait is bounded.
#include "tests/test_support.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

#include "tqp/frame_assembler.h"

extern char** environ;

namespace trk::tqp::testing {
namespace {

using Clock = std::chrono::steady_clock;

int MsLeft(Clock::time_point until) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now()).count();
  return left > 0 ? static_cast<int>(left) : 0;
}

}  // namespace

WorkFolder::WorkFolder() {
  char pattern[] = "/tmp/tqp-test-XXXXXX";
  path_ = ::mkdtemp(pattern);
  previous_ = std::filesystem::current_path();
  std::filesystem::current_path(path_);
  ::setenv("TRK_LOCK_DIR", path_.c_str(), 1);
  ::setenv("TRK_FOLDER", path_.c_str(), 1);
}

WorkFolder::~WorkFolder() {
  std::filesystem::current_path(previous_);
  ::unsetenv("TRK_LOCK_DIR");
  ::unsetenv("TRK_FOLDER");
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

void WorkFolder::EnableLog() const { std::ofstream(path_ / "TQP32.log"); }

std::string WorkFolder::LogText() const {
  std::ifstream in(path_ / "TQP32.log");
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

int FreeTcpPort() {
  int port = 0;
  const int socket = ListenLoopback(port);
  ::close(socket);
  return port;
}

Child::Child(const std::vector<std::string>& arguments, const std::vector<std::string>& environment,
             bool readStdout) {
  std::vector<char*> argv;
  for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);
  std::vector<std::string> variables;
  for (char** variable = environ; *variable != nullptr; ++variable) variables.emplace_back(*variable);
  variables.insert(variables.end(), environment.begin(), environment.end());
  std::vector<char*> envp;
  for (const std::string& variable : variables) envp.push_back(const_cast<char*>(variable.c_str()));
  envp.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  int pipeFds[2] = {-1, -1};
  if (readStdout && ::pipe2(pipeFds, O_CLOEXEC) == 0) {
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
  }
  if (::posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), envp.data()) != 0) pid_ = -1;
  posix_spawn_file_actions_destroy(&actions);
  if (pipeFds[1] >= 0) ::close(pipeFds[1]);
  stdout_ = pipeFds[0];
}

Child::Child(Child&& other) noexcept : pid_(other.pid_), stdout_(other.stdout_) {
  other.pid_ = -1;
  other.stdout_ = -1;
}

Child& Child::operator=(Child&& other) noexcept {
  if (this != &other) {
    Stop();
    pid_ = other.pid_;
    stdout_ = other.stdout_;
    other.pid_ = -1;
    other.stdout_ = -1;
  }
  return *this;
}

Child::~Child() { Stop(); }

std::optional<std::string> Child::ReadLine(int timeoutMs) {
  const auto until = Clock::now() + std::chrono::milliseconds(timeoutMs);
  std::string line;
  while (stdout_ >= 0) {
    pollfd watch{stdout_, POLLIN, 0};
    if (::poll(&watch, 1, MsLeft(until)) <= 0) return std::nullopt;
    char c = 0;
    if (::read(stdout_, &c, 1) != 1) return std::nullopt;
    if (c == '\n') return line;
    line += c;
  }
  return std::nullopt;
}

int Child::Wait(int timeoutMs) {
  const auto until = Clock::now() + std::chrono::milliseconds(timeoutMs);
  while (pid_ > 0) {
    int status = 0;
    if (::waitpid(pid_, &status, WNOHANG) == pid_) {
      pid_ = -1;
      return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    if (MsLeft(until) == 0) return -1;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return -1;
}

void Child::Stop() {
  if (pid_ > 0) {
    ::kill(pid_, SIGTERM);
    if (Wait(2000) == -1 && pid_ > 0) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
    pid_ = -1;
  }
  if (stdout_ >= 0) ::close(stdout_);
  stdout_ = -1;
}

bool PtyPair::SocatAvailable() { return ::access("/usr/bin/socat", X_OK) == 0; }

PtyPair::PtyPair(const std::filesystem::path& folder) {
  a = (folder / "ptyA").string();
  b = (folder / "ptyB").string();
  socat_ = Child({"/usr/bin/socat", "pty,raw,echo=0,link=" + a, "pty,raw,echo=0,link=" + b}, {}, false);
  const auto until = Clock::now() + std::chrono::seconds(3);
  while (Clock::now() < until) {
    if (std::filesystem::exists(a) && std::filesystem::exists(b)) {
      ok_ = true;
      return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

std::optional<Child> StartPeer(const std::string& medium, int ownNode, const std::string& port, int lifetimeMs,
                               const std::vector<std::string>& environment) {
  Child peer({TQP_PEER_PATH, medium, std::to_string(ownNode), port, std::to_string(lifetimeMs)}, environment, true);
  const std::optional<std::string> line = peer.ReadLine(5000);
  if (!line || *line != "ready") return std::nullopt;
  return peer;
}

RawPartner::~RawPartner() { Close(); }

void RawPartner::Close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

void RawPartner::SendBytes(const std::vector<uint8_t>& bytes) {
  size_t sent = 0;
  const auto until = Clock::now() + std::chrono::seconds(2);
  while (sent < bytes.size() && Clock::now() < until) {
    const ssize_t now = ::send(fd_, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
    if (now > 0) {
      sent += static_cast<size_t>(now);
    } else if (now < 0 && errno == ENOTSOCK) {
      const ssize_t written = ::write(fd_, bytes.data() + sent, bytes.size() - sent);
      if (written > 0) sent += static_cast<size_t>(written);
    }
  }
}

std::vector<uint8_t> RawPartner::SendFrame(uint8_t destination, uint8_t control, const std::vector<uint8_t>& data,
                                           std::optional<uint8_t> source) {
  FrameBuffer frame;
  const uint16_t length = TQPBuildFrame(frame, source.value_or(ownNode_), destination, control, data);
  std::vector<uint8_t> wire(frame.begin(), frame.begin() + length);
  SendBytes(wire);
  return wire;
}

std::optional<RawFrame> RawPartner::ReadFrame(int timeoutMs) {
  const auto until = Clock::now() + std::chrono::milliseconds(timeoutMs);
  FrameAssembler assembler;
  while (true) {
    pollfd watch{fd_, POLLIN, 0};
    if (::poll(&watch, 1, MsLeft(until)) <= 0) return std::nullopt;
    uint8_t byte = 0;
    if (::read(fd_, &byte, 1) != 1) return std::nullopt;
    if (assembler.Feed(byte) != FrameAssembler::Step::kComplete) continue;
    RawFrame frame;
    DataBuffer data{};
    const auto raw = assembler.Frame();
    if (TQPParseFrame(raw, ownNode_, frame.header, &data)) {
      frame.data.assign(data.begin(), data.begin() + frame.header.length);
      frame.wire.assign(raw.begin(), raw.end());
      return frame;
    }
    assembler.Reset();
  }
}

int OpenPtyEnd(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return fd;
  termios settings{};
  ::tcgetattr(fd, &settings);
  ::cfmakeraw(&settings);
  ::tcsetattr(fd, TCSANOW, &settings);
  return fd;
}

int ConnectLoopback(int port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in where{};
  where.sin_family = AF_INET;
  where.sin_port = htons(static_cast<uint16_t>(port));
  where.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (::connect(fd, reinterpret_cast<sockaddr*>(&where), sizeof where) != 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}

int ListenLoopback(int& port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in where{};
  where.sin_family = AF_INET;
  where.sin_port = htons(static_cast<uint16_t>(port));
  where.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t size = sizeof where;
  if (::bind(fd, reinterpret_cast<sockaddr*>(&where), sizeof where) != 0 || ::listen(fd, 8) != 0 ||
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&where), &size) != 0) {
    ::close(fd);
    return -1;
  }
  port = ntohs(where.sin_port);
  return fd;
}

int AcceptWithin(int listening, int timeoutMs) {
  pollfd watch{listening, POLLIN, 0};
  if (::poll(&watch, 1, timeoutMs) <= 0) return -1;
  return ::accept4(listening, nullptr, nullptr, SOCK_CLOEXEC);
}

}  // namespace trk::tqp::testing
