#pragma once

#include <optional>
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

// An article title as MediaWiki writes it in an address: blanks as '_', the
// unreserved bytes and , ( ) ' : / kept, every other byte as %XX (so UTF-8 stays
// UTF-8): "Perito Moreno, Santa Cruz" -> "Perito_Moreno,_Santa_Cruz".
std::string WikiTitleEncode(std::string_view text);

// URL-safe base64 (also the standard alphabet; padding optional) decoded; nullopt
// when text holds any other byte or cannot be base64.
std::optional<std::string> Base64UrlDecode(std::string_view text);

// The rest of the first path segment of an address that starts with prefix
// (".../RU=<value>/RK=..."), percent-decoded; "" when there is none.
std::string PathSegmentValue(std::string_view address, std::string_view prefix);

// The value of a query parameter of an address (between '?' and '#'), percent-decoded;
// "" when it is absent.
std::string QueryParameter(std::string_view address, std::string_view name);

}  // namespace quellion
