#pragma once

#include <string>

namespace quellion {

// Standard Base64 (RFC 2045 alphabet, "=" padding), as Basic authentication sends it.
std::string EncodeBase64(const std::string& data);

}  // namespace quellion
