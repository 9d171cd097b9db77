// tqpping: a small TQP node for people who set up a truck's link. It installs
// the link on a serial port or on TCP, asks another node for its product
// information or sends it a request given in hex, and prints the answer and
// the result code in words. With --count it repeats the exchange and reports
// how many exchanges per second the link carried.
#include <arpa/inet.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "tqp/tqp.h"

namespace {

constexpr const char* kUsage =
    "usage: tqpping serial PORT NODE [options] info|request HEX\n"
    "       tqpping tcp ADDRESS:PORT NODE [options] info|request HEX\n"
    "  PORT       COM1: ... COM8: (device from $TQP_COM1 ... or /dev/ttyS0 ...)\n"
    "  NODE       the node to ask, 1 to 255\n"
    "options:\n"
    "  --own N        this node's number (default 254)\n"
    "  --baud INDEX   serial speed: 0 115200, 1 57600, 2 19200, 3 9600, 4 4800, 5 2400 (default 0)\n"
    "  --mode M       serial line-direction mode 0 to 6 (default 0)\n"
    "  --listen PORT  TCP port this node listens on (default 0: any free one)\n"
    "  --timeout MS   TCP time-out, at least 100 (default 1000)\n"
    "  --retries N    repetitions after silence (default 2)\n"
    "  --count N      repeat the exchange N times and report exchanges per second\n";

struct ResultWords {
  uint8_t code;
  const char* words;
};
constexpr ResultWords kResultWords[] = {
    {TQP_OK, "done"},
    {TQP_ALREADY_INSTALLED, "the link is already installed"},
    {TQP_NAME_TOO_LONG, "installation name too long"},
    {TQP_BAD_NODE, "bad node number"},
    {TQP_BAD_PORT, "unknown serial port name"},
    {TQP_BAD_BAUD, "bad baud-rate index"},
    {TQP_BAD_TIMEOUT, "time-out below 100 ms"},
    {TQP_BAD_LINE_MODE, "bad line-direction mode"},
    {TQP_MISSING_ARGUMENT, "missing argument"},
    {TQP_FLAG_10, "the answer carried flag 0x10"},
    {TQP_NO_ANSWER, "no answer in time"},
    {TQP_ABORTED, "the partner aborted"},
    {TQP_FLAG_40, "the answer carried flag 0x40"},
    {TQP_FLAG_20, "the answer carried flag 0x20"},
    {TQP_PENDING, "the answer is pending"},
    {TQP_NOT_INSTALLED, "the link is not installed"},
    {TQP_NO_MEMORY, "out of memory"},
    {TQP_SOCKET_ERROR, "socket error"},
    {TQP_NO_CONNECTION, "no connection (port or node cannot be reached)"},
    {TQP_BAD_IP_PORT, "bad TCP port"},
};

const char* WordsFor(uint8_t code) {
  for (const ResultWords& entry : kResultWords) {
    if (entry.code == code) return entry.words;
  }
  return "the partner's own result";
}

int Fail(const char* message) {
  std::fprintf(stderr, "tqpping: %s\n%s", message, kUsage);
  return 2;
}

bool ParseNumber(const char* text, long low, long high, long& value) {
  char* end = nullptr;
  value = std::strtol(text, &end, 10);
  return end != text && *end == '\0' && value >= low && value <= high;
}

bool ParseHex(std::string_view text, std::vector<uint8_t>& bytes) {
  std::string digits;
  for (char c : text) {
    if (c != ' ' && c != ':') digits += c;
  }
  if (digits.size() % 2 != 0 || digits.size() > 2 * 255) return false;
  for (size_t i = 0; i < digits.size(); i += 2) {
    char* end = nullptr;
    const std::string pair = digits.substr(i, 2);
    const long value = std::strtol(pair.c_str(), &end, 16);
    if (*end != '\0') return false;
    bytes.push_back(static_cast<uint8_t>(value));
  }
  return true;
}

void PrintHex(const uint8_t* bytes, size_t length) {
  for (size_t i = 0; i < length; ++i) std::printf("%s%02X", i == 0 ? "" : " ", bytes[i]);
  std::printf("\n");
}

struct Options {
  bool serial = true;
  std::string where;  // port name, or address:port
  long node = 0;
  long own = 254, baud = 0, mode = 0, listen = 0, timeout = 1000, retries = 2, count = 1;
  bool info = true;
  std::vector<uint8_t> request;
};

const char* ParseOptions(int argc, char** argv, Options& options) {
  if (argc < 5) return "too few arguments";
  const std::string_view medium = argv[1];
  if (medium != "serial" && medium != "tcp") return "the medium is serial or tcp";
  options.serial = medium == "serial";
  options.where = argv[2];
  if (!ParseNumber(argv[3], 1, 255, options.node)) return "NODE must be 1 to 255";
  struct Numeric {
    const char* name;
    long* value;
    long low, high;
  };
  const Numeric numerics[] = {
      {"--own", &options.own, 1, 255},       {"--baud", &options.baud, 0, 5},
      {"--mode", &options.mode, 0, 6},       {"--listen", &options.listen, 0, 65535},
      {"--timeout", &options.timeout, 100, 65535}, {"--retries", &options.retries, 0, 255},
      {"--count", &options.count, 1, 10000000},
  };
  int i = 4;
  for (; i < argc && std::strncmp(argv[i], "--", 2) == 0; i += 2) {
    const Numeric* match = nullptr;
    for (const Numeric& numeric : numerics) {
      if (std::strcmp(argv[i], numeric.name) == 0) match = &numeric;
    }
    if (match == nullptr) return "unknown option";
    if (i + 1 >= argc || !ParseNumber(argv[i + 1], match->low, match->high, *match->value)) {
      return "option value out of range";
    }
  }
  if (i >= argc) return "say info or request HEX";
  const std::string_view command = argv[i];
  if (command == "info" && i + 1 == argc) return nullptr;
  if (command == "request" && i + 2 == argc) {
    options.info = false;
    return ParseHex(argv[i + 1], options.request) ? nullptr : "HEX must be pairs of hex digits, at most 255 bytes";
  }
  return "say info or request HEX";
}

uint8_t Install(const Options& options, TQPNodeAddress& address) {
  const auto own = static_cast<uint8_t>(options.own);
  const auto retries = static_cast<uint8_t>(options.retries);
  if (options.serial) {
    return TQPInstall(0, "tqpping", own, options.where.c_str(), static_cast<uint8_t>(options.baud),
                      static_cast<uint8_t>(options.mode), 100, retries);
  }
  const size_t colon = options.where.rfind(':');
  long port = 0;
  in_addr ipv4{};
  if (colon == std::string::npos || !ParseNumber(options.where.c_str() + colon + 1, 1, 65535, port) ||
      ::inet_pton(AF_INET, options.where.substr(0, colon).c_str(), &ipv4) != 1) {
    return TQP_MISSING_ARGUMENT;
  }
  std::memcpy(address.address, &ipv4, 4);
  address.kind = 4;
  const uint8_t installed = TQPIPInstall(0, "tqpping", own, static_cast<uint16_t>(options.timeout), retries,
                                         static_cast<int>(options.listen));
  if (installed != TQP_OK) return installed;
  return TQPMakeIPNodeKnown(static_cast<uint8_t>(options.node), address.address, static_cast<int>(port));
}

uint8_t Exchange(const Options& options, TQPNodeAddress& address, bool print) {
  const auto node = static_cast<uint8_t>(options.node);
  TQPNodeAddress* where = options.serial ? nullptr : &address;
  if (options.info) {
    uint8_t code = 0;
    char text[253] = {};
    const uint8_t result = TQPIPGetProductInformation(node, where, &code, text);
    if (print && result == TQP_OK) std::printf("product code %u: %s\n", code, text);
    return result;
  }
  uint8_t response[255] = {};
  uint8_t length = 0;
  const uint8_t result = TQPIPSendRequest(node, where, options.request.data(),
                                          static_cast<uint8_t>(options.request.size()), response, &length);
  if (print && (result == TQP_OK || (result >= TQP_FLAG_10 && result <= TQP_PENDING && result != TQP_NO_ANSWER))) {
    std::printf("answer (%u bytes): ", length);
    PrintHex(response, length);
  }
  return result;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (const char* problem = ParseOptions(argc, argv, options)) return Fail(problem);

  TQPNodeAddress address{};
  const uint8_t installed = Install(options, address);
  if (installed != TQP_OK) {
    std::printf("installation: result %u: %s\n", installed, WordsFor(installed));
    if (TQPInstalled) TQPUninstall();
    return 1;
  }

  const auto start = std::chrono::steady_clock::now();
  uint8_t result = TQP_OK;
  long done = 0;
  for (; done < options.count; ++done) {
    result = Exchange(options, address, done + 1 == options.count);
    if (result != TQP_OK) break;
  }
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::printf("result %u: %s\n", result, WordsFor(result));
  if (options.count > 1) {
    std::printf("%ld exchanges in %.3f s: %.1f exchanges per second\n", done, seconds,
                seconds > 0 ? done / seconds : 0.0);
  }
  TQPUninstall();
  return result == TQP_OK ? 0 : 1;
}
