#include "platform/failure.h"

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

Failure::Failure(FailureKind kind, std::string message) : m_kind(kind), m_message(std::move(message)) {}

Failure fileOpenFailure(std::string_view path) {
    return Failure(FailureKind::FileOpen, "ファイル " + std::string(path) + " は開けません");
}

Failure fileCreateFailure(std::string_view path) {
    return Failure(FailureKind::FileCreate, "ファイル " + std::string(path) + " を作成できません");
}

Failure streamReadFailure() {
    return Failure(FailureKind::StreamRead, "ストリームからの読み込みエラー");
}

Failure streamWriteFailure() {
    return Failure(FailureKind::StreamWrite, "ストリームへの書き込みエラー");
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
