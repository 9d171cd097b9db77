#include "tqread/app/single_instance.h"

#include "platform/platform.h"

namespace trk::tqread::app {

SingleInstance::SingleInstance()
    : mutex_(platform::NamedMutex::ForName("TRKTQREAD")), held_(mutex_.TryLock()) {}

void SingleInstance::Release() {
  if (!held_) return;
  mutex_.Unlock();
  held_ = false;
}

}  // namespace trk::tqread::app
