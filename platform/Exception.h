// The exception hierarchy of the whole system. Every error the libraries raise derives from
// Exception and carries its user-facing text in Message; what() returns the same text.
#pragma once

#include <exception>
#include <string>

namespace vidorant {

class Exception : public std::exception {
public:
  explicit Exception(std::string message) : Message(std::move(message)) {}
  const char* what() const noexcept override { return Message.c_str(); }

  std::string Message;
};

// A text that is not a number where one was expected.
class EConvertError : public Exception {
public:
  using Exception::Exception;
};

// A programming error: the message ends with the unit's name in parentheses, "... (FFLoad)".
class EAssertionFailed : public Exception {
public:
  using Exception::Exception;
};

// A picture that cannot be handled as a graphic of the requested kind.
class EInvalidGraphic : public Exception {
public:
  using Exception::Exception;
};

// Throws EAssertionFailed with "<message> (<unit>)".
[[noreturn]] void AssertionFailed(const std::string& message, const char* unit);

// Asserts a condition that only a programming error can break.
inline void Assert(bool condition, const char* message, const char* unit) {
  if (!condition) AssertionFailed(message, unit);
}

}  // namespace vidorant
