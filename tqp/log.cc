// Appends to the log only when it exists: opening it for reading first keeps the
// link from ever creating the file.
#include "tqp/log.h"

#include <cstdarg>
#include <cstdio>
#include <ctime>
#include <memory>

namespace trk::tqp {
namespace {

constexpr size_t kMessageLimit = 80;

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

}  // namespace

void Log(const char* format, ...) {
  if (!File(std::fopen(kLogFileName, "r"))) return;
  File log(std::fopen(kLogFileName, "a"));
  if (!log) return;

  char text[kMessageLimit];
  va_list arguments;
  va_start(arguments, format);
  const int wanted = std::vsnprintf(text, sizeof text, format, arguments);
  va_end(arguments);
  if (wanted < 0) return;
  if (static_cast<size_t>(wanted) >= sizeof text) text[sizeof text - 2] = '\n';

  char stamp[32];
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  std::strftime(stamp, sizeof stamp, "%y/%m/%d %H:%M:%S", &local);
  std::fprintf(log.get(), "%s %s", stamp, text);
}

}  // namespace trk::tqp
