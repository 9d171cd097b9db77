// The field forms of the delivery text file, appended to a growing text.
//
// A line is a sequence of fields, each enclosed in double quotes and separated by
// commas, ended by CR LF. Field contents are never escaped: the accounting system
// reads everything between the quotes. Lines are never cut: the text grows as
// far as its fields need.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace trk::tqread {

class LineBuilder {
 public:
  // Appends to `text`, which may already hold earlier lines of the same group.
  explicit LineBuilder(std::string& text) : text_(text) {}

  // A text copied as it is.
  void Text(std::string_view text);
  // The single character 0.
  void Zero() { Text("0"); }
  void Zeros(int count);
  // "%.<decimals>f" always, so 0 gives "0.00" with two decimals.
  void Fixed(double value, int decimals);
  // 0 for a value that is exactly 0, else "%.<decimals>f".
  void FixedOrZero(double value, int decimals);
  void Integer(int64_t value);
  // 0 for a stored volume of 0, else its text in the resolution code.
  void Volume(int64_t volume, uint8_t resolutionCode);
  // The decimal integer at the start of a text, 0 when the text does not begin
  // with one.
  void NumberFromText(std::string_view text);
  // A shorter text filled up with spaces to `width`; a longer one whole.
  void Padded(std::string_view text, size_t width);
  // At most the first 8 characters.
  void CutTo8(std::string_view text) { Text(text.substr(0, 8)); }
  void Spaces(size_t count) { Padded({}, count); }
  // CR LF; the next field starts a new line.
  void EndLine();

 private:
  void Open();
  void Close() { text_ += '"'; }

  std::string& text_;
  bool lineStarted_ = false;
};

// A shorter text filled up with spaces to `width`; a longer one whole.
std::string PaddedText(std::string_view text, size_t width);

// The text of a volume in a resolution code (0 hundredths, 1 tenths, 2 units),
// with a minus sign for a negative count; empty for an unknown code.
std::string VolumeText(int64_t volume, uint8_t resolutionCode);

// "%.<decimals>f" of a value.
std::string FixedText(double value, int decimals);

// The integer a "%ld" scan finds at the start of a text (leading blanks, an
// optional sign, digits); 0 when there is none.
int64_t LeadingInteger(std::string_view text);

}  // namespace trk::tqread
