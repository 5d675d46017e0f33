#include "platform/failure.h"

#include <system_error>
#include <utility>

namespace nrbx::platform {

std::string_view toString(FailureKind kind) {
    switch (kind) {
        case FailureKind::FileOpen:
            return "FileOpenFailure";
        case FailureKind::FileCreate:
            return "FileCreateFailure";
        case FailureKind::StreamRead:
            return "StreamReadFailure";
        case FailureKind::StreamWrite:
            return "StreamWriteFailure";
        case FailureKind::OutOfResources:
            return "OutOfResources";
        case FailureKind::Other:
            return "Failure";
    }
    return "Failure";
}

Failure::Failure(FailureKind kind, std::string message, std::string reason)
    : m_kind(kind), m_message(std::move(message)), m_reason(std::move(reason)) {}

std::string systemReason(int error) {
    // The generic category gives strerror's text without strerror's shared buffer.
    return error == 0 ? std::string() : std::generic_category().message(error);
}

Failure fileOpenFailure(std::string_view path, int error) {
    return fileOpenFailure(path, systemReason(error));
}

Failure fileOpenFailure(std::string_view path, std::string reason) {
    return Failure(FailureKind::FileOpen, "ファイル " + std::string(path) + " は開けません",
                   std::move(reason));
}

Failure fileCreateFailure(std::string_view path, int error) {
    return fileCreateFailure(path, systemReason(error));
}

Failure fileCreateFailure(std::string_view path, std::string reason) {
    return Failure(FailureKind::FileCreate, "ファイル " + std::string(path) + " を作成できません",
                   std::move(reason));
}

Failure streamReadFailure(int error) {
    return Failure(FailureKind::StreamRead, "ストリームからの読み込みエラー", systemReason(error));
}

Failure streamWriteFailure(int error) {
    return Failure(FailureKind::StreamWrite, "ストリームへの書き込みエラー", systemReason(error));
}

std::string withFullStop(std::string_view message) {
    std::string text(message);
    if (text.empty()) return text;
    // Any byte of a multi-byte character is >= 0x80, so the last byte alone tells whether the last
    // character is above '.': a trailing continuation or lead byte means a multi-byte character.
    const auto last = static_cast<unsigned char>(text.back());
    if (last > static_cast<unsigned char>('.')) text += '.';
    return text;
}

}  // namespace nrbx::platform
