#pragma once

#include <string>
#include <string_view>

namespace quellion {

// The key under which hits of different engines count as the same page: "http://" and
// "https://" alike (an address without a scheme is an http one, as the classic rules
// store them), the host's letter case, a leading "www.", the scheme's default port
// (80, 443), one trailing "/" of the path and the fragment make no difference. The
// user information, path and query are kept as they are, letter case included. An
// address with any other scheme is its own key.
std::string AgreementKey(std::string_view address);

}  // namespace quellion
