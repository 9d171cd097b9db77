// tqpfsd: a serving node of the remote file service. It installs the TQP link
// on a TCP port or a serial port under its own node number, serves one folder,
// and answers the product information request and every request of the file
// and database service until it is stopped (SIGTERM or SIGINT). It prints
// "ready" once the link is installed. Setting its clock needs --allow-clock.
#include <signal.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <thread>

#include "tqp/tqp.h"
#include "tqpfs/server.h"

namespace {

using namespace trk::tqpfs;

constexpr const char* kUsage =
    "usage: tqpfsd --folder DIR --node N --tcp PORT [options]\n"
    "       tqpfsd --folder DIR --node N --serial COMn: [options]\n"
    "  --folder DIR   the folder served; no request reaches outside it\n"
    "  --node N       this node's number, 1 to 255\n"
    "  --tcp PORT     listen on this TCP port\n"
    "  --serial COMn: use this serial port (device from $TQP_COMn, else /dev/ttyS<n-1>)\n"
    "options:\n"
    "  --baud INDEX   serial speed: 0 115200, 1 57600, 2 19200, 3 9600, 4 4800, 5 2400 (default 0)\n"
    "  --timeout MS   TCP time-out, at least 100 (default 1000)\n"
    "  --retries N    repetitions of an answer that met silence (default 2)\n"
    "  --allow-clock  let callers set this machine's clock\n";

// Messages, by name.
constexpr const char* kReady = "ready\n";
constexpr const char* kNoFolder = "tqpfsd: %s is not a folder\n";
constexpr const char* kInstallFailed = "tqpfsd: the link could not be installed (result %u)\n";
constexpr const char* kBadValue = "tqpfsd: bad value for %s\n";

constexpr char kLinkName[] = "tqpfsd";
// Without requests for this long, the node polls more gently.
constexpr auto kBusySpell = std::chrono::milliseconds(20);
constexpr auto kIdlePause = std::chrono::milliseconds(1);

volatile std::sig_atomic_t stopRequested = 0;

void RequestStop(int) { stopRequested = 1; }

struct Options {
  std::string folder;
  int node = 0;
  std::optional<int> tcpPort;
  std::string serialPort;
  int baud = 0;
  int timeout = 1000;
  int retries = 2;
  bool allowClock = false;
};

std::optional<int> NumberIn(std::string_view text, int lowest, int highest) {
  char* end = nullptr;
  const std::string copy(text);
  const long value = std::strtol(copy.c_str(), &end, 10);
  if (copy.empty() || *end != 0 || value < lowest || value > highest) return std::nullopt;
  return static_cast<int>(value);
}

std::optional<Options> ParseArguments(int argc, char** argv) {
  Options options;
  struct NumberOption {
    std::string_view name;
    int lowest, highest;
    int Options::*field;
  };
  static constexpr NumberOption kNumbers[] = {
      {"--node", 1, 255, &Options::node},       {"--baud", 0, 5, &Options::baud},
      {"--timeout", 100, 65535, &Options::timeout}, {"--retries", 0, 255, &Options::retries}};
  for (int i = 1; i < argc; ++i) {
    const std::string_view argument = argv[i];
    if (argument == "--allow-clock") {
      options.allowClock = true;
      continue;
    }
    if (i + 1 >= argc) return std::nullopt;
    const std::string_view value = argv[++i];
    if (argument == "--folder") {
      options.folder = value;
    } else if (argument == "--serial") {
      options.serialPort = value;
    } else if (argument == "--tcp") {
      options.tcpPort = NumberIn(value, 0, 65535);
      if (!options.tcpPort) {
        std::fprintf(stderr, kBadValue, argv[i - 1]);
        return std::nullopt;
      }
    } else {
      const NumberOption* option = nullptr;
      for (const NumberOption& candidate : kNumbers) {
        if (candidate.name == argument) option = &candidate;
      }
      const std::optional<int> number = option ? NumberIn(value, option->lowest, option->highest) : std::nullopt;
      if (!number) {
        if (option) std::fprintf(stderr, kBadValue, argv[i - 1]);
        return std::nullopt;
      }
      options.*(option->field) = *number;
    }
  }
  const bool oneMedium = options.tcpPort.has_value() != !options.serialPort.empty();
  if (options.folder.empty() || options.node == 0 || !oneMedium) return std::nullopt;
  return options;
}

uint8_t InstallLink(const Options& options) {
  const auto node = static_cast<uint8_t>(options.node);
  const auto retries = static_cast<uint8_t>(options.retries);
  if (options.tcpPort) {
    return TQPIPInstall(0, kLinkName, node, static_cast<uint16_t>(options.timeout), retries, *options.tcpPort);
  }
  return TQPInstall(0, kLinkName, node, options.serialPort.c_str(), static_cast<uint8_t>(options.baud), 0, 100,
                    retries);
}

void Serve(FileServer& server) {
  auto lastRequest = std::chrono::steady_clock::now();
  while (!stopRequested) {
    uint8_t destination = 0, source = 0, length = 0;
    TQPNodeAddress address{};
    FrameData data{};
    const uint8_t status = TQPIPGetRequest(&destination, &address, &source, data.data(), &length);
    if (status == TQP_OK) {
      const FieldWriter answer = server.Answer({data.data(), length});
      TQPIPSendResponse(source, &address, answer.bytes().data(), static_cast<uint8_t>(answer.size()), 0);
      lastRequest = std::chrono::steady_clock::now();
    } else if (status == TQP_ABORTED) {
      // Every request is answered at once, so there is nothing to abort; the
      // answer repeats the abort bit, which the asker awaits.
      TQPIPSendResponse(source, &address, data.data(), 0, 0);
    } else if (status == TQP_NO_ANSWER) {
      if (std::chrono::steady_clock::now() - lastRequest > kBusySpell) {
        std::this_thread::sleep_for(kIdlePause);
      } else {
        std::this_thread::yield();
      }
    }
    // A check (214) finds nothing pending and gets no answer: answering it
    // would repeat the check bit and tell the asker to keep waiting.
  }
}

}  // namespace

int main(int argc, char** argv) {
  const std::optional<Options> options = ParseArguments(argc, argv);
  if (!options) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  std::optional<ServedFolder> folder = ServedFolder::Open(options->folder);
  if (!folder) {
    std::fprintf(stderr, kNoFolder, options->folder.c_str());
    return 1;
  }
  struct sigaction stop {};
  stop.sa_handler = RequestStop;
  sigaction(SIGTERM, &stop, nullptr);
  sigaction(SIGINT, &stop, nullptr);
  signal(SIGPIPE, SIG_IGN);

  if (const uint8_t installed = InstallLink(*options)) {
    std::fprintf(stderr, kInstallFailed, installed);
    return 1;
  }
  std::fputs(kReady, stdout);
  std::fflush(stdout);
  {
    FileServer server(std::move(*folder), ServerOptions{.allowClockSetting = options->allowClock});
    Serve(server);
  }
  TQPUninstall();
  return 0;
}
