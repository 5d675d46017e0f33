#pragma once
// The one exception type of the program: a failure kind plus the message ready to show, and the
// system's reason when there is one (the window shows the message alone; the command-line tools add
// the reason in parentheses).

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
    Failure(FailureKind kind, std::string message, std::string reason = {});

    FailureKind kind() const noexcept { return m_kind; }
    const std::string& message() const noexcept { return m_message; }
    // Why, in the system's words ("No such file or directory"); empty when the system gave none.
    const std::string& reason() const noexcept { return m_reason; }
    const char* what() const noexcept override { return m_message.c_str(); }

  private:
    FailureKind m_kind;
    std::string m_message;
    std::string m_reason;
};

// The system's text for an errno value; empty for 0.
std::string systemReason(int error);

// The path is put into the message unchanged, whatever bytes it holds. The reason is an errno value
// (0: none) or a text of the program's own.
Failure fileOpenFailure(std::string_view path, int error = 0);
Failure fileOpenFailure(std::string_view path, std::string reason);
Failure fileCreateFailure(std::string_view path, int error = 0);
Failure fileCreateFailure(std::string_view path, std::string reason);
Failure streamReadFailure(int error = 0);
Failure streamWriteFailure(int error = 0);

// Text of the error box: the message with "." appended unless its last character is "." or below it.
// A multi-byte UTF-8 character counts as one character, and as above ".".
std::string withFullStop(std::string_view message);

}  // namespace nrbx::platform
