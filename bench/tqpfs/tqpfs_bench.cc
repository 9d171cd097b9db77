// Records read through the remote file service over loopback TCP, beside the
// same reads on this machine (node 0xFFFF), on one file of 10 000 records.
//
//   walk   every record in key order: ReadRecLO, then ReadRecNX to the end
//   find   every record by its key, in a shuffled order: ReadRecEQ
//
// For each record size (128 bytes: one answer per record; 300 bytes: an
// answer and a continuation) it prints records per second. The remote side is
// a tqpfsd started by this program on a free loopback port; each remote find
// is two exchanges (the key's definition, then the key value), each remote
// record of 300 bytes two answers.
//
//   tqpfs_bench [RECORDS]        (default 10000)
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <numeric>
#include <random>
#include <string>
#include <vector>

#include "tqpfs/tqpfs.h"

extern char** environ;

namespace {

constexpr int kLocal = TQP_LOCAL_NODE;
constexpr uint8_t kOwnNode = 1;
constexpr uint8_t kServerNode = 2;

[[noreturn]] void Fail(const char* what, unsigned code) {
  std::fprintf(stderr, "tqpfs_bench: %s failed (%u)\n", what, code);
  std::exit(1);
}

void Check(const char* what, unsigned code) {
  if (code != 0) Fail(what, code);
}

int FreeLoopbackPort() {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in where{};
  where.sin_family = AF_INET;
  where.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t size = sizeof where;
  ::bind(fd, reinterpret_cast<sockaddr*>(&where), sizeof where);
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&where), &size);
  ::close(fd);
  return ntohs(where.sin_port);
}

// tqpfsd serving `folder`, stopped when this goes.
class Server {
 public:
  Server(const std::string& folder, int port) {
    int out[2];
    if (::pipe(out) != 0) Fail("pipe", 0);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    const std::string portText = std::to_string(port);
    const char* argv[] = {TQPFSD_PATH, "--folder", folder.c_str(), "--node", "2", "--tcp", portText.c_str(), nullptr};
    if (::posix_spawn(&pid_, TQPFSD_PATH, &actions, nullptr, const_cast<char**>(argv), environ) != 0) {
      Fail("starting tqpfsd", 0);
    }
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    char line[16] = {};
    pollfd watch{out[0], POLLIN, 0};
    if (::poll(&watch, 1, 5000) <= 0 || ::read(out[0], line, sizeof line - 1) <= 0 ||
        std::strncmp(line, "ready", 5) != 0) {
      Fail("tqpfsd start", 0);
    }
    ::close(out[0]);
  }
  ~Server() {
    ::kill(pid_, SIGTERM);
    ::waitpid(pid_, nullptr, 0);
  }

 private:
  pid_t pid_ = -1;
};

std::vector<uint8_t> RecordOf(uint32_t key, uint16_t size) {
  std::vector<uint8_t> record(size, static_cast<uint8_t>(key));
  std::memcpy(record.data(), &key, sizeof key);
  return record;
}

void CreateFile(const std::string& name, uint16_t recordSize, uint32_t records) {
  Check("create", TQPOKVCreateFile(kLocal, nullptr, name.c_str(), OKV_OPEN_FLAGS_DEFAULT, recordSize, 0, nullptr,
                                   "bench", 1));
  uint16_t keyNumber = 0;
  Check("key", TQPOKVCreateKey(kLocal, nullptr, name.c_str(), OKV_KEY_UNSIGNED, 0, 4, &keyNumber));
  Check("finalize", TQPOKVFinalizeCreate(kLocal, nullptr, name.c_str()));
  uint16_t handle = 0;
  Check("open", TQPOKVOpenFile(kLocal, nullptr, name.c_str(), 1, &handle));
  Check("safe writes", TQPOKVSetSafeWrites(kLocal, nullptr, handle, 0));
  for (uint32_t key = 1; key <= records; ++key) Check("add", TQPOKVCreateRec(kLocal, nullptr, handle, RecordOf(key, recordSize).data()));
  Check("close", TQPOKVCloseFile(kLocal, nullptr, handle));
}

using Clock = std::chrono::steady_clock;

double PerSecond(uint32_t count, Clock::time_point start) {
  return count / std::chrono::duration<double>(Clock::now() - start).count();
}

double Walk(int node, uint16_t handle, uint16_t recordSize, uint32_t expected) {
  std::vector<uint8_t> record(recordSize);
  const auto start = Clock::now();
  uint32_t count = 0;
  for (uint8_t rc = TQPOKVReadRecLO(node, nullptr, handle, 0, record.data()); rc == OKV_SUCCESS;
       rc = TQPOKVReadRecNX(node, nullptr, handle, 0, record.data())) {
    ++count;
  }
  if (count != expected) Fail("walk", count);
  return PerSecond(count, start);
}

double Find(int node, uint16_t handle, uint16_t recordSize, const std::vector<uint32_t>& keys) {
  std::vector<uint8_t> record(recordSize);
  const auto start = Clock::now();
  for (uint32_t key : keys) {
    Check("find", TQPOKVReadRecEQ(node, nullptr, handle, 0, &key, record.data()));
    if (std::memcmp(record.data(), &key, sizeof key) != 0) Fail("find: wrong record", key);
  }
  return PerSecond(static_cast<uint32_t>(keys.size()), start);
}

}  // namespace

int main(int argc, char** argv) {
  const uint32_t records = argc > 1 ? static_cast<uint32_t>(std::atoi(argv[1])) : 10000;
  char pattern[] = "/tmp/tqpfs-bench-XXXXXX";
  const std::string folder = ::mkdtemp(pattern);
  ::setenv("TRK_LOCK_DIR", folder.c_str(), 1);
  std::filesystem::current_path(folder);

  std::vector<uint32_t> keys(records);
  std::iota(keys.begin(), keys.end(), 1u);
  std::shuffle(keys.begin(), keys.end(), std::mt19937(42));

  const int port = FreeLoopbackPort();
  Server server(folder, port);
  Check("link", TQPIPInstall(0, "bench", kOwnNode, 1000, 2, 0));
  const uint8_t loopback[4] = {127, 0, 0, 1};
  Check("node", TQPMakeIPNodeKnown(kServerNode, loopback, port));

  std::printf("%u records; records per second\n", records);
  std::printf("%-8s %-6s %12s %12s %8s\n", "record", "read", "local", "remote", "ratio");
  for (uint16_t recordSize : {128, 300}) {
    const std::string name = "bench" + std::to_string(recordSize) + ".okv";
    CreateFile(name, recordSize, records);
    uint16_t local = 0, remote = 0;
    Check("local open", TQPOKVOpenFile(kLocal, nullptr, name.c_str(), 1, &local));
    Check("remote open", TQPOKVOpenFile(kServerNode, nullptr, name.c_str(), 1, &remote));
    const double localWalk = Walk(kLocal, local, recordSize, records);
    const double remoteWalk = Walk(kServerNode, remote, recordSize, records);
    std::printf("%-8u %-6s %12.0f %12.0f %8.1f\n", recordSize, "walk", localWalk, remoteWalk, localWalk / remoteWalk);
    const double localFind = Find(kLocal, local, recordSize, keys);
    const double remoteFind = Find(kServerNode, remote, recordSize, keys);
    std::printf("%-8u %-6s %12.0f %12.0f %8.1f\n", recordSize, "find", localFind, remoteFind, localFind / remoteFind);
    Check("local close", TQPOKVCloseFile(kLocal, nullptr, local));
    Check("remote close", TQPOKVCloseFile(kServerNode, nullptr, remote));
  }
  TQPUninstall();
  std::filesystem::current_path("/");
  std::filesystem::remove_all(folder);
  return 0;
}
