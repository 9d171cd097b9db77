// Fuzz entry point: a will-call text file from outside through the tokenizer and
// the field handler. Records go to memory; every other write collides once, so
// the wait for the next second is taken as well.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "willcall/text_conversion.h"

namespace {

using trk::willcall::Clock;
using trk::willcall::LogView;
using trk::willcall::Reporter;
using trk::willcall::TextConversion;
using trk::schema::WillCallRecord;

class StillClock final : public Clock {
 public:
  std::string LocalTimestamp() override { return seconds_ % 2 ? "25/06/01 08:00:01" : "25/06/01 08:00:00"; }
  void WaitForNextSecond() override { ++seconds_; }

 private:
  unsigned seconds_ = 0;
};

class DiscardingLog final : public LogView {
 public:
  void AddLogLine(const std::string& line) override {
    if (line.size() < 19) std::abort();  // every line carries its timestamp
  }
};

// Every text field of a written record ends inside its field.
void CheckRecord(const WillCallRecord& record) {
  const auto* bytes = reinterpret_cast<const char*>(&record);
  if (record.accessNumber[0] == '\0' || bytes[sizeof record - 1] != '\0') std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  StillClock clock;
  DiscardingLog log;
  Reporter reporter(log, clock);
  unsigned calls = 0;
  TextConversion conversion(reporter, clock, [&calls](const WillCallRecord& record) {
    CheckRecord(record);
    return static_cast<uint8_t>(++calls % 2 ? OKV_DUPLICATE_KEY : OKV_SUCCESS);
  });
  conversion.Push(std::string_view(reinterpret_cast<const char*>(data), size));
  conversion.Finish();
  return 0;
}
