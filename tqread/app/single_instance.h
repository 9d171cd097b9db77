// One TRKTQRead per machine: the first process holds the named mutex
// "TRKTQREAD" for its whole life; a later one finds it taken and ends at once.
// The kernel drops the hold when the holder dies, so a crash never blocks the
// next start.
#pragma once

namespace trk::platform {
class NamedMutex;
}

namespace trk::tqread::app {

class SingleInstance {
 public:
  SingleInstance();
  ~SingleInstance() { Release(); }
  SingleInstance(const SingleInstance&) = delete;
  SingleInstance& operator=(const SingleInstance&) = delete;

  // Whether this process is the one instance.
  bool held() const { return held_; }
  void Release();

 private:
  platform::NamedMutex& mutex_;
  bool held_;
};

}  // namespace trk::tqread::app
