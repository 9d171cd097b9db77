// Path confinement of the serving node; see confine.h.
#include "tqpfs/confine.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <memory>

namespace trk::tqpfs {

namespace {

std::optional<std::string> RealPath(const std::string& path) {
  std::unique_ptr<char, decltype(&std::free)> real(::realpath(path.c_str(), nullptr), &std::free);
  if (!real) return std::nullopt;
  return std::string(real.get());
}

bool NamesDrive(std::string_view path) {
  return path.size() >= 2 && path[1] == ':' &&
         ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z'));
}

bool IsSeparator(char c) { return c == '/' || c == '\\'; }

}  // namespace

std::optional<std::string> NormalizeRequestPath(std::string_view current, std::string_view path) {
  // Separators alone name the served folder's top, so that a caller can return to it.
  if (!path.empty() && std::all_of(path.begin(), path.end(), IsSeparator)) return std::string();
  if ((!path.empty() && IsSeparator(path[0])) || NamesDrive(path)) return std::nullopt;
  std::string joined(current);
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = start;
    while (end < path.size() && !IsSeparator(path[end])) ++end;
    const std::string_view component = path.substr(start, end - start);
    if (component == "..") return std::nullopt;
    if (!component.empty() && component != ".") {
      if (!joined.empty()) joined += '/';
      joined += component;
    }
    start = end + 1;
  }
  return joined;
}

std::optional<ServedFolder> ServedFolder::Open(const std::string& folder) {
  const std::optional<std::string> real = RealPath(folder);
  struct stat status {};
  if (!real || ::stat(real->c_str(), &status) != 0 || !S_ISDIR(status.st_mode)) return std::nullopt;
  return ServedFolder(*real);
}

std::optional<std::string> ServedFolder::Inside(const std::string& path) const {
  const std::optional<std::string> real = RealPath(path);
  if (!real) return std::nullopt;
  if (*real == root_) return std::string();
  const std::string prefix = root_ == "/" ? root_ : root_ + '/';
  if (real->compare(0, prefix.size(), prefix) != 0) return std::nullopt;
  return real->substr(prefix.size());
}

std::optional<ConfinedPath> ServedFolder::Resolve(std::string_view path) const {
  std::optional<std::string> relative = NormalizeRequestPath(current_, path);
  if (!relative) return std::nullopt;
  ConfinedPath confined{relative->empty() ? root_ : (root_ == "/" ? "" : root_) + '/' + *relative, *relative};
  struct stat status {};
  if (::lstat(confined.absolute.c_str(), &status) == 0) {
    // An existing entry, a link included, must lead inside.
    if (!Inside(confined.absolute)) return std::nullopt;
    return confined;
  }
  if (errno != ENOENT) return std::nullopt;
  // A name still to be made: its folder must be inside.
  const std::string folder = confined.absolute.substr(0, confined.absolute.find_last_of('/'));
  if (!Inside(folder.empty() ? "/" : folder)) return std::nullopt;
  return confined;
}

bool ServedFolder::ChangeDirectory(std::string_view path) {
  const std::optional<ConfinedPath> target = Resolve(path);
  struct stat status {};
  if (!target || ::stat(target->absolute.c_str(), &status) != 0 || !S_ISDIR(status.st_mode)) return false;
  std::optional<std::string> real = Inside(target->absolute);
  if (!real) return false;
  current_ = std::move(*real);
  return true;
}

}  // namespace trk::tqpfs
