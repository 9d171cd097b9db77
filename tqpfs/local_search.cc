// Directory searches; see local_search.h.
#include "tqpfs/local_search.h"

#include <sys/stat.h>

#include <algorithm>
#include <climits>

#include "tqpfs/local_files.h"

namespace trk::tqpfs {

namespace {

constexpr uint32_t kTakeDirectories = 0x10;
constexpr uint32_t kTakeFiles = 0x8000;
constexpr uint32_t kMatchedAttributes = 0x27;  // read-only, hidden, system, archive

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

uint32_t ClampTime(time_t seconds) {
  if (seconds < 0) return 0;
  return static_cast<uint32_t>(std::min<long long>(seconds, UINT32_MAX));
}

}  // namespace

bool PassesSearchFlags(uint32_t flags, uint32_t attributes) {
  const bool directory = (attributes & kTakeDirectories) != 0;
  if (!(directory ? (flags & kTakeDirectories) : (flags & kTakeFiles))) return false;
  if ((flags & kMatchedAttributes) && (attributes & kMatchedAttributes)) {
    return (flags & attributes & kMatchedAttributes) != 0;
  }
  return true;
}

bool MatchesPattern(std::string_view pattern, std::string_view name) {
  if (pattern == "*.*") return true;
  // Greedy match with one backtrack point, the last '*'.
  size_t p = 0, n = 0;
  size_t starP = std::string_view::npos, starN = 0;
  while (n < name.size()) {
    if (p < pattern.size() && (pattern[p] == '?' || Lower(pattern[p]) == Lower(name[n]))) {
      ++p;
      ++n;
    } else if (p < pattern.size() && pattern[p] == '*') {
      starP = p++;
      starN = n;
    } else if (starP != std::string_view::npos) {
      p = starP + 1;
      n = ++starN;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

int32_t SearchList::NewHandle() const {
  int32_t handle = lastHandle_;
  do {
    handle = handle == INT32_MAX ? 1 : handle + 1;
  } while (searches_.count(handle) != 0);
  return handle;
}

bool SearchList::Advance(Search& search, FoundEntry* entry) {
  while (const dirent* found = ::readdir(search.dir.get())) {
    const std::string_view name = found->d_name;
    if (name == "." || name == ".." || !MatchesPattern(search.pattern, name)) continue;
    const std::string fullPath = search.folder + std::string(name);
    struct stat status {};
    if (::stat(fullPath.c_str(), &status) != 0) continue;
    if (search.filter && !search.filter(fullPath)) continue;
    const uint32_t attributes = AttributesOf(status, name);
    if (!PassesSearchFlags(search.flags, attributes)) continue;
    entry->attributes = attributes;
    entry->lastWriteTime = ClampTime(status.st_mtime);
    entry->size = static_cast<uint32_t>(std::min<unsigned long long>(status.st_size, UINT32_MAX));
    entry->name = std::string(name.substr(0, kLongNameLimit));
    return true;
  }
  return false;
}

SearchResult SearchList::First(const std::string& folder, std::string_view pattern, uint32_t flags, int32_t* handle,
                               FoundEntry* entry, EntryFilter filter) {
  if (searches_.size() >= kMaxOpenSearches) return SearchResult::kNoRoom;
  Search search;
  search.dir.reset(::opendir(folder.empty() ? "." : folder.c_str()));
  if (!search.dir) return SearchResult::kNothing;
  search.folder = folder.empty() || folder.back() == '/' ? folder : folder + '/';
  search.pattern = std::string(pattern);
  search.flags = flags;
  search.filter = std::move(filter);
  if (!Advance(search, entry)) return SearchResult::kNothing;
  lastHandle_ = NewHandle();
  *handle = lastHandle_;
  searches_.emplace(lastHandle_, std::move(search));
  return SearchResult::kFound;
}

SearchResult SearchList::Next(int32_t handle, FoundEntry* entry) {
  const auto found = searches_.find(handle);
  if (found == searches_.end()) return SearchResult::kUnknownHandle;
  return Advance(found->second, entry) ? SearchResult::kFound : SearchResult::kNothing;
}

bool SearchList::Close(int32_t handle) { return searches_.erase(handle) != 0; }

void SearchList::CloseAll() { searches_.clear(); }

}  // namespace trk::tqpfs
