// Path confinement of the serving node: every path a request names is taken
// relative to the node's current folder inside its served folder, and must stay
// inside the served folder.
//
// Refused: absolute paths, drive names ("C:..."), any ".." component, and paths
// that lead out through a symbolic link, whether to an existing entry or, for a
// name still to be made, through its folder. A path of separators alone ("/")
// names the served folder itself: the top a caller returns to. A backslash
// separates components like '/', as the registers write paths. The served
// folder and its current folder are known by their real (link-free) paths.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace trk::tqpfs {

// The lexical part: `path` joined to `current` (a relative folder without
// leading or trailing '/'), with "." and empty components dropped. Nothing
// when the path is absolute (other than separators alone), names a drive, or
// has a ".." component. An empty result names the served folder itself.
std::optional<std::string> NormalizeRequestPath(std::string_view current, std::string_view path);

struct ConfinedPath {
  std::string absolute;  // to hand to the system
  std::string relative;  // inside the served folder; empty for the folder itself
};

class ServedFolder {
 public:
  // Nothing when `folder` is not an existing folder.
  static std::optional<ServedFolder> Open(const std::string& folder);

  std::optional<ConfinedPath> Resolve(std::string_view path) const;
  // Moves the current folder; false (nothing changed) when the target is not a
  // folder inside.
  bool ChangeDirectory(std::string_view path);

  // The real path's place inside the root (empty for the root itself), or
  // nothing when `path` does not exist or leads outside.
  std::optional<std::string> Inside(const std::string& path) const;

  const std::string& root() const { return root_; }
  // Relative to the root, without leading or trailing '/'; empty at the root.
  const std::string& current() const { return current_; }

 private:
  explicit ServedFolder(std::string root) : root_(std::move(root)) {}

  std::string root_;  // real path, without a trailing '/' (except "/" itself)
  std::string current_;
};

}  // namespace trk::tqpfs
