// Fuzz entry point for the serving node's request decoder: any bytes decode
// without reading beyond them, every text of a decoded request lies inside the
// request and holds no terminator, and the lexical path check never lets a
// ".." or an absolute path through.
#include <cstddef>
#include <cstdint>
#include <algorithm>
#include <cstdlib>
#include <span>

#include "tqpfs/confine.h"
#include "tqpfs/request.h"

namespace {

using trk::tqpfs::Request;

bool Within(std::span<const uint8_t> whole, const void* start, size_t size) {
  const auto* begin = static_cast<const uint8_t*>(start);
  return size == 0 || (begin >= whole.data() && begin + size <= whole.data() + whole.size());
}

bool HasParentComponent(std::string_view path) {
  size_t start = 0;
  while (start <= path.size()) {
    const size_t end = std::min(path.find('/', start), path.size());
    if (path.substr(start, end - start) == "..") return true;
    start = end + 1;
  }
  return false;
}

void CheckPath(std::span<const uint8_t> whole, std::string_view path) {
  if (!Within(whole, path.data(), path.size()) || path.find('\0') != std::string_view::npos) std::abort();
  const std::optional<std::string> normalized = trk::tqpfs::NormalizeRequestPath("current", path);
  if (!normalized) return;
  if (HasParentComponent(*normalized) || normalized->starts_with('/') ||
      normalized->find('\\') != std::string::npos) {
    std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::span<const uint8_t> bytes(data, size);
  Request request;
  if (trk::tqpfs::DecodeRequest(bytes, request) != trk::tqpfs::DecodeStatus::kOk) return 0;
  CheckPath(bytes, request.path);
  CheckPath(bytes, request.secondPath);
  if (!Within(bytes, request.data.data(), request.data.size()) ||
      !Within(bytes, request.recordKey.data(), request.recordKey.size()) ||
      !Within(bytes, request.fileNameText.data(), request.fileNameText.size())) {
    std::abort();
  }
  return 0;
}
