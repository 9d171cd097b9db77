// The will-call text conversion over a file.
#include "willcall/text_conversion.h"

#include <cstdio>
#include <memory>
#include <sys/stat.h>

namespace trk::willcall {
namespace {

constexpr uint32_t kProgressSteps = 32767;
constexpr size_t kReadChunk = 64 * 1024;

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

// A source opened for reading, nothing when it is missing, unreadable or a folder.
File OpenSource(const std::string& path) {
  File file(std::fopen(path.c_str(), "rb"));
  struct stat info{};
  if (file && fstat(fileno(file.get()), &info) == 0 && S_ISDIR(info.st_mode)) file.reset();
  return file;
}

uint64_t LengthOf(std::FILE* file) {
  struct stat info{};
  if (fstat(fileno(file), &info) != 0 || !S_ISREG(info.st_mode)) return 0;
  return static_cast<uint64_t>(info.st_size);
}

}  // namespace

void TextConversion::OnField(int fieldNumber, std::string_view text, uint32_t lineNumber) {
  // The record's texts end at their first NUL, so a field is judged (and shown)
  // as it would be stored: "\0\0A1" is an empty access number, not "A1".
  text = text.substr(0, text.find('\0'));
  if (fieldNumber == 1) {
    if (text.empty()) {
      reporter_.Failure(Msg::NoRecordType, {lineNumber});
    } else if (text != "WC") {
      reporter_.Failure(Msg::BadRecordType, {lineNumber, text});
    }
    return;
  }
  const uint8_t result = handler_.Handle(fieldNumber, text);
  if (result != 0) reporter_.Failure(Msg::FieldFailed, {text, lineNumber, fieldNumber, result});
}

void TextConversion::OnLineEnd(uint32_t lineNumber) {
  if (!handler_.RecordPending()) return;
  handler_.AbandonRecord();
  reporter_.Failure(Msg::LineTooShort, {lineNumber});
}

ProgressPlan PlanProgress(uint64_t length) {
  if (length <= kProgressSteps) return {static_cast<uint32_t>(length), 1};
  return {kProgressSteps, length / kProgressSteps};
}

uint32_t ConvertTextFile(const std::string& path, Reporter& reporter, Clock& clock, ProgressView& progress,
                         RecordWriter writer) {
  reporter.Log(Msg::SourceFile, {path});
  const File file = OpenSource(path);
  if (!file) {
    reporter.Failure(Msg::SourceOpenFailed, {path});
    return 0;
  }
  const ProgressPlan plan = PlanProgress(LengthOf(file.get()));
  progress.ShowProgress(plan.maximum);

  TextConversion conversion(reporter, clock, std::move(writer));
  std::string chunk(kReadChunk, '\0');
  uint64_t sinceLastStep = 0;
  size_t count;
  while ((count = std::fread(chunk.data(), 1, chunk.size(), file.get())) > 0) {
    for (size_t i = 0; i < count; ++i) {
      conversion.Push(chunk[i]);
      if (++sinceLastStep >= plan.bytesPerStep) {
        sinceLastStep = 0;
        progress.StepProgress();
      }
    }
  }
  conversion.Finish();
  progress.HideProgress();
  return conversion.recordsWritten();
}

}  // namespace trk::willcall
