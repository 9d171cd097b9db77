// What the exported calls share: the global lock, the handle pattern's file
// mode and the conversion of resource exhaustion into result 12.
//
// Every exported call except GetPWOKVVersion and the message helpers runs
// inside Locked(), which holds the machine-wide reentrant mutex "PWOKV" for
// the whole call, so that nothing is thrown across the library's boundary.
#pragma once

#include <cstdint>
#include <cstring>
#include <new>
#include <string>

#include "okv/call_file.h"
#include "okv/handles.h"
#include "okv/okv.h"
#include "platform/platform.h"

namespace okv {

inline trk::platform::NamedMutex& EngineLock() { return trk::platform::NamedMutex::ForName("PWOKV"); }

template <typename Body>
uint8_t Locked(Body&& body) noexcept {
  try {
    trk::platform::NamedMutexLock lock(EngineLock());
    return body();
  } catch (...) {
    // Only allocation can throw inside the engine.
    return OKV_NO_MEMORY;
  }
}

// How a handle call opens its data file: changes go through a journal while
// the handle's safe writes are on.
inline CallMode ModeFor(const HandleEntry& entry, bool changes) {
  if (!changes) return CallMode::kRead;
  return entry.safeWrites ? CallMode::kJournaled : CallMode::kDirectWrite;
}

// A data file name a journal can store: present, not empty, below 260 characters.
inline bool IsStorableName(const char* name) {
  if (name == nullptr) return false;
  const size_t length = strnlen(name, kMaxJournaledNameLength + 1);
  return length > 0 && length <= kMaxJournaledNameLength;
}

}  // namespace okv
