#pragma once

#include <string>
#include <string_view>

// A results row keeps an http address without its "http://" and an https address
// whole; these turn an address into the stored form and back.

namespace quellion {

// The address as a row stores it: without a leading "http://" (any letter case).
std::string StoredAddress(std::string address);

// A row's address whole, as a browser, a link or an export takes it: the stored
// address as it is when it names http or https itself, else "http://" in front; ""
// for an empty address (a row without one).
std::string FullAddress(std::string_view stored);

// Whether a stored address may become a row: one without a scheme (http, stored
// without its "http://") or with http or https. "javascript:", "data:", "file:",
// "mailto:" and every other scheme are refused. A host followed by a port
// ("localhost:8080/x") names no scheme.
bool IsWebAddress(std::string_view stored);

}  // namespace quellion
