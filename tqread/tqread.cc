// The exported entry point of the TQRead conversion; see tqread.h.
#include "tqread/tqread.h"

#include "tqread/conversion.h"

extern "C" {

const char* const verTQRead = "v1.24";

uint8_t TQReadRun(const TQReadOptions* options, TQReadMessageFn sink, TQReadProgressFn progress, void* context,
                  TQReadOutcome* outcome) {
  if (options == nullptr ||
      (options->variant != TQREAD_VARIANT_STANDALONE && options->variant != TQREAD_VARIANT_OFFICE)) {
    return TQREAD_BAD_OPTIONS;
  }
  trk::tqread::RunHooks hooks;
  if (sink != nullptr) hooks.sink = [sink, context](const std::string& message) { sink(context, message.c_str()); };
  if (progress != nullptr) {
    hooks.progress = [progress, context](uint32_t position, uint32_t range) { progress(context, position, range); };
  }
  const TQReadOutcome result = trk::tqread::ConversionRun(*options, std::move(hooks)).Run();
  if (outcome != nullptr) *outcome = result;
  return result.conversionOk && !result.errorSeen ? TQREAD_OK : TQREAD_FAILED;
}

}  // extern "C"
