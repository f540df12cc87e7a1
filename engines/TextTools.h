#pragma once

#include <string>
#include <string_view>

namespace quellion {

// Runs of ASCII white space (space, tab, CR, LF, FF, VT) become one space; none is
// left at either end.
std::string CollapseWhiteSpace(std::string_view text);

// CollapseWhiteSpace of pieces appended one after another, without joining them first.
class TCollapsedText {
 public:
  void Append(std::string_view piece);
  // White space between two pieces.
  void Separate() { pendingSpace_ = !text_.empty(); }
  // The text so far; the builder starts empty again.
  std::string Take();

 private:
  std::string text_;
  bool pendingSpace_ = false;
};

// Text that may carry markup (as engines put it inside JSON strings) as plain text:
// tags dropped, character references decoded (to UTF-8), white space collapsed.
std::string PlainText(std::string_view text);

// %XX sequences decoded; a '%' not followed by two hex digits stays as it is.
std::string PercentDecode(std::string_view text);

// Every byte but the unreserved ones (letters, digits, - . _ ~) as %XX.
std::string PercentEncode(std::string_view text);

// The value of a query parameter of an address (between '?' and '#'), percent-decoded;
// "" when it is absent.
std::string QueryParameter(std::string_view address, std::string_view name);

}  // namespace quellion
