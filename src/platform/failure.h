#pragma once
// The one exception type of the program: a failure kind plus the message ready to show.

#include <exception>
#include <string>
#include <string_view>

namespace nrbx::platform {

enum class FailureKind {
    FileOpen,
    FileCreate,
    StreamRead,
    StreamWrite,
    OutOfResources,
    Other,
};

std::string_view toString(FailureKind kind);

class Failure : public std::exception {
  public:
    Failure(FailureKind kind, std::string message);

    FailureKind kind() const noexcept { return m_kind; }
    const std::string& message() const noexcept { return m_message; }
    const char* what() const noexcept override { return m_message.c_str(); }

  private:
    FailureKind m_kind;
    std::string m_message;
};

// The path is put into the message unchanged, whatever bytes it holds.
Failure fileOpenFailure(std::string_view path);
Failure fileCreateFailure(std::string_view path);
Failure streamReadFailure();
Failure streamWriteFailure();

// Text of the error box: the message with "." appended unless its last character is "." or below it.
// A multi-byte UTF-8 character counts as one character, and as above ".".
std::string withFullStop(std::string_view message);

}  // namespace nrbx::platform
