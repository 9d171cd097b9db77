// The delivery text file on disk; see delivery_file.h.
#include "tqread/delivery_file.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace trk::tqread {

namespace {

class PosixDeliveryFile final : public DeliveryFile {
 public:
  PosixDeliveryFile(int fd, uint64_t size) : fd_(fd), size_(size) {}
  ~PosixDeliveryFile() override { ::close(fd_); }
  PosixDeliveryFile(const PosixDeliveryFile&) = delete;
  PosixDeliveryFile& operator=(const PosixDeliveryFile&) = delete;

  bool Write(std::string_view bytes) override {
    while (!bytes.empty()) {
      const ssize_t written = ::write(fd_, bytes.data(), bytes.size());
      if (written < 0 && errno == EINTR) continue;
      if (written <= 0) return false;
      size_ += static_cast<uint64_t>(written);
      bytes.remove_prefix(static_cast<size_t>(written));
    }
    return true;
  }

  bool Flush() override { return ::fsync(fd_) == 0; }

  uint64_t Size() const override { return size_; }

  bool Truncate(uint64_t length) override {
    if (::ftruncate(fd_, static_cast<off_t>(length)) != 0) return false;
    size_ = length;
    return ::fsync(fd_) == 0;
  }

 private:
  int fd_;
  uint64_t size_;
};

}  // namespace

std::unique_ptr<DeliveryFile> OpenDeliveryFile(const std::string& path, bool append) {
  // O_APPEND keeps every write at the end, also after a truncation.
  const int flags = O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC | (append ? 0 : O_TRUNC);
  const int fd = ::open(path.c_str(), flags, 0666);
  if (fd < 0) return nullptr;
  struct stat status {};
  if (::fstat(fd, &status) != 0) {
    ::close(fd);
    return nullptr;
  }
  return std::make_unique<PosixDeliveryFile>(fd, static_cast<uint64_t>(status.st_size));
}

}  // namespace trk::tqread
