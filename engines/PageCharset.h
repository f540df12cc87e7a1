#pragma once

#include <string>

namespace quellion {

// The charset a Content-Type header names ("" for none), e.g. "text/html; charset=UTF-8".
std::string CharsetOfContentType(const std::string& contentType);
// The charset the page's own meta element declares in its first 4 KiB ("" for none).
std::string CharsetOfMeta(const std::string& page);

}  // namespace quellion
