// Directory searches on this machine: the open searches of one process (the
// library's) or of one serving node, each under a find handle.
//
// A search path is a folder part and a name pattern after the last '/'; the
// pattern takes '*' (any run of characters) and '?' (one character), matched
// without regard to case, and "*.*" matches every name. "." and ".." are not
// entries. A search takes only entries that pass its flags (PassesSearchFlags).
//
// Not thread-safe: the library runs it under its machine-wide mutex, the
// serving node on its one thread.
#pragma once

#include <dirent.h>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>

namespace trk::tqpfs {

inline constexpr size_t kMaxOpenSearches = 64;
inline constexpr size_t kLongNameLimit = 223;
inline constexpr size_t kShortNameLimit = 12;

// A found entry; the name is cut to kLongNameLimit characters.
struct FoundEntry {
  uint32_t attributes = 0;
  uint32_t lastWriteTime = 0;
  uint32_t size = 0;
  std::string name;
};

// Search flags 0x10 take directories, 0x8000 other entries; when the flags
// carry any of read-only, hidden, system or archive (0x27) and the entry has
// any of them, the two must share one.
bool PassesSearchFlags(uint32_t flags, uint32_t attributes);

bool MatchesPattern(std::string_view pattern, std::string_view name);

enum class SearchResult { kFound, kNothing, kUnknownHandle, kNoRoom };

class SearchList {
 public:
  // Whether an entry's full path may be shown; the serving node refuses those
  // that lead out of its folder.
  using EntryFilter = std::function<bool(const std::string& fullPath)>;

  // Starts a search in `folder` (empty: the current folder) for `pattern`.
  // Found: the search stays open under `*handle`. Nothing found: no search stays.
  SearchResult First(const std::string& folder, std::string_view pattern, uint32_t flags, int32_t* handle,
                     FoundEntry* entry, EntryFilter filter = {});
  // Nothing more: the search stays open until closed.
  SearchResult Next(int32_t handle, FoundEntry* entry);
  bool Close(int32_t handle);
  void CloseAll();
  size_t size() const { return searches_.size(); }

 private:
  struct DirCloser {
    void operator()(DIR* dir) const { ::closedir(dir); }
  };
  struct Search {
    std::unique_ptr<DIR, DirCloser> dir;
    std::string folder;  // ends in '/' unless empty
    std::string pattern;
    uint32_t flags = 0;
    EntryFilter filter;
  };
  bool Advance(Search& search, FoundEntry* entry);
  int32_t NewHandle() const;

  std::map<int32_t, Search> searches_;  // in ascending order of handle
  int32_t lastHandle_ = 0;
};

}  // namespace trk::tqpfs
