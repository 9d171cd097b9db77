#include "tqread/app/texts.h"

namespace trk::tqread::app::text {

std::string Fill(std::string_view format, std::initializer_list<std::string_view> args) {
  std::string result;
  auto next = args.begin();
  for (size_t i = 0; i < format.size(); ++i) {
    if (format[i] == '%' && i + 1 < format.size() && format[i + 1] == 's') {
      if (next != args.end()) result += *next++;
      ++i;
    } else {
      result += format[i];
    }
  }
  return result;
}

}  // namespace trk::tqread::app::text
