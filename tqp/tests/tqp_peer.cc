// A serving node for the link tests, built on the library alone. It installs
// the link, prints "ready", and answers requests until its lifetime is over.
//
//   tqp_peer serial OWN_NODE PORT_NAME LIFETIME_MS [IDLE_US]   (PORT_NAME as "COM2:")
//   tqp_peer tcp OWN_NODE TCP_PORT LIFETIME_MS [IDLE_US]
//
// IDLE_US (default 1000) is the pause after an idle poll; 0 only
// yields, for measurements.
//
// Every answer starts with two bytes: how many requests reached this
// application so far, and the status the request arrived with. The first data
// byte of an ordinary request says what to do:
//   0x00     product information: {0, 0x2A, "TQP peer"}
//   'E' ...  echo the rest
//   'S' n    wait n x 10 ms, then answer
//   'N'      do not answer
//   'F' f    answer with flags f
//   'Q'      answer, then uninstall and exit
// Checks (214) and aborts (211) are answered plainly, which repeats their bits.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "tqp/tqp.h"

namespace {

constexpr uint8_t kProductCode = 0x2A;
constexpr char kProductText[] = "TQP peer";

struct Request {
  uint8_t source = 0;
  TQPNodeAddress address{};
  uint8_t data[255] = {};
  uint8_t length = 0;
};

uint8_t Answer(const Request& request, const std::vector<uint8_t>& data, uint8_t flags) {
  TQPNodeAddress address = request.address;
  return TQPIPSendResponse(request.source, &address, data.data(), static_cast<uint8_t>(data.size()), flags);
}

// Returns false when the peer should stop.
bool Serve(const Request& request, uint8_t status, uint8_t count) {
  std::vector<uint8_t> answer = {count, status};
  if (status != TQP_OK || request.length == 0) {
    Answer(request, answer, 0);
    return true;
  }
  const uint8_t* rest = request.data + 1;
  const size_t restLength = request.length - 1u;
  switch (request.data[0]) {
    case 0x00:
      answer = {0, kProductCode};
      answer.insert(answer.end(), kProductText, kProductText + sizeof kProductText);
      Answer(request, answer, 0);
      return true;
    case 'S':
      std::this_thread::sleep_for(std::chrono::milliseconds(10 * (restLength > 0 ? rest[0] : 0)));
      Answer(request, answer, 0);
      return true;
    case 'N':
      return true;
    case 'F':
      Answer(request, answer, restLength > 0 ? rest[0] : 0);
      return true;
    case 'Q':
      Answer(request, answer, 0);
      return false;
    default:
      answer.insert(answer.end(), rest, rest + restLength);
      Answer(request, answer, 0);
      return true;
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 5 && argc != 6) {
    std::fprintf(stderr, "usage: tqp_peer serial|tcp OWN_NODE PORT LIFETIME_MS [IDLE_US]\n");
    return 2;
  }
  const std::string medium = argv[1];
  const auto ownNode = static_cast<uint8_t>(std::atoi(argv[2]));
  const auto lifetime = std::chrono::milliseconds(std::atoi(argv[4]));
  const auto idle = std::chrono::microseconds(argc == 6 ? std::atoi(argv[5]) : 1000);
  const uint8_t installed = medium == "serial" ? TQPInstall(0, "peer", ownNode, argv[3], 0, 0, 100, 2)
                                               : TQPIPInstall(0, "peer", ownNode, 200, 2, std::atoi(argv[3]));
  if (installed != TQP_OK) {
    std::fprintf(stderr, "tqp_peer: installation failed with %u\n", installed);
    return 1;
  }
  std::printf("ready\n");
  std::fflush(stdout);

  const auto end = std::chrono::steady_clock::now() + lifetime;
  uint8_t count = 0;
  bool serving = true;
  while (serving && std::chrono::steady_clock::now() < end) {
    Request request;
    uint8_t destination = 0;
    const uint8_t status =
        TQPIPGetRequest(&destination, &request.address, &request.source, request.data, &request.length);
    if (status == TQP_NO_ANSWER) {
      if (idle.count() > 0) std::this_thread::sleep_for(idle);
      std::this_thread::yield();
      continue;
    }
    if (status == TQP_SOCKET_ERROR) continue;
    serving = Serve(request, status, ++count);
  }
  TQPUninstall();
  return 0;
}
