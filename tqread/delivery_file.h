// The delivery text file as the conversion writes it: a small writer interface,
// so that tests can make any write or flush fail, and its file implementation.
//
// Contract:
//  - Write appends bytes at the end of the file; Flush makes everything written so
//    far durable (fsync); Size is the length the file has now; Truncate cuts the
//    file back to a length it had before, so that a failed write leaves no partial
//    text behind.
//  - Every operation returns false on failure and never throws.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace trk::tqread {

class DeliveryFile {
 public:
  virtual ~DeliveryFile() = default;
  virtual bool Write(std::string_view bytes) = 0;
  virtual bool Flush() = 0;
  virtual uint64_t Size() const = 0;
  virtual bool Truncate(uint64_t length) = 0;
};

// Opens (creating when missing) the file for writing at its end; without
// `append` it is emptied first. Null when it cannot be opened.
std::unique_ptr<DeliveryFile> OpenDeliveryFile(const std::string& path, bool append);

using DeliveryFileOpener = std::function<std::unique_ptr<DeliveryFile>(const std::string& path, bool append)>;

}  // namespace trk::tqread
