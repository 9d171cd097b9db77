#include "tqread/app/command_line.h"

#include <string_view>

namespace trk::tqread::app {
namespace {

// The first space-separated word of an argument; empty when it has none.
std::string_view FirstWord(std::string_view argument) {
  const size_t start = argument.find_first_not_of(' ');
  if (start == std::string_view::npos) return {};
  argument.remove_prefix(start);
  return argument.substr(0, argument.find(' '));
}

}  // namespace

CommandLine ParseCommandLine(std::span<const std::string> arguments) {
  const auto word = [&arguments](size_t index) -> std::optional<std::string> {
    if (index >= arguments.size()) return std::nullopt;
    const std::string_view first = FirstWord(arguments[index]);
    if (first.empty()) return std::nullopt;
    return std::string(first);
  };
  return CommandLine{word(0), word(1)};
}

}  // namespace trk::tqread::app
