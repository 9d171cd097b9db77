// The real clock, the current folder and the session's reporter.
#include "willcall/environment.h"

#include <unistd.h>

#include <chrono>
#include <ctime>
#include <thread>

namespace trk::willcall {
namespace {

std::string TimestampOf(std::time_t seconds) {
  std::tm local{};
  localtime_r(&seconds, &local);
  char text[32];
  const size_t length = std::strftime(text, sizeof text, "%y/%m/%d %H:%M:%S", &local);
  return std::string(text, length);
}

}  // namespace

std::string SystemClock::LocalTimestamp() { return TimestampOf(std::time(nullptr)); }

void SystemClock::WaitForNextSecond() {
  using namespace std::chrono;
  const auto now = system_clock::now();
  const auto nextSecond = floor<seconds>(now) + seconds(1);
  std::this_thread::sleep_until(nextSecond + milliseconds(1));
}

void Reporter::Log(std::string_view text) { view_.AddLogLine(FormatLogLine(clock_.LocalTimestamp(), text)); }

void Reporter::Failure(std::string_view text) {
  automaticMode_ = false;
  Log(text);
}

void Reporter::EngineFailure(uint8_t code, OKVOperation operation, schema::FileIndex file) {
  Failure(EngineErrorLine(code, operation, file));
}

std::optional<std::string> SystemCurrentFolder() {
  std::string folder(4096, '\0');
  if (getcwd(folder.data(), folder.size()) == nullptr) return std::nullopt;
  folder.resize(folder.find('\0'));
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  if (folder == "/") folder.clear();  // names are appended after a '/'
  return folder;
}

}  // namespace trk::willcall
