#pragma once

#include <exception>
#include <string>

namespace quellion {

// Base class of every error the system raises on purpose: it carries a message
// and nothing else. Catching EException is catching "the general exception class".
class EException : public std::exception {
 public:
  explicit EException(std::string message) : Message(std::move(message)) {}
  const char* what() const noexcept override { return Message.c_str(); }

  std::string Message;
};

// The list index error: "List index out of bounds (%d)".
class EListError : public EException {
 public:
  explicit EListError(int index);
  int Index;
};

// printf-style formatting into a std::string (the system's messages are built this way).
std::string Format(const char* fmt, ...) __attribute__((format(printf, 1, 2)));

}  // namespace quellion
