#include "cli/tool.h"

#include <charconv>
#include <cstdlib>
#include <iostream>

#include "data/version.h"
#include "platform/std_streams.h"

namespace nrbx::cli {

namespace {

void appendOctal(std::string& out, unsigned char byte) {
    out += '\\';
    out += static_cast<char>('0' + (byte >> 6));
    out += static_cast<char>('0' + ((byte >> 3) & 7));
    out += static_cast<char>('0' + (byte & 7));
}

}  // namespace

std::string escapeControls(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        switch (c) {
            case '\a':
                out += "\\a";
                continue;
            case '\b':
                out += "\\b";
                continue;
            case '\t':
                out += "\\t";
                continue;
            case '\n':
                out += "\\n";
                continue;
            case '\v':
                out += "\\v";
                continue;
            case '\f':
                out += "\\f";
                continue;
            case '\r':
                out += "\\r";
                continue;
            default:
                break;
        }
        if (c < 0x20 || c == 0x7F) {
            appendOctal(out, c);
        } else if (c == 0xC2 && i + 1 < text.size() && static_cast<unsigned char>(text[i + 1]) >= 0x80 &&
                   static_cast<unsigned char>(text[i + 1]) <= 0x9F) {
            // U+0080..U+009F: terminals take some of them as escape sequences (CSI), as they do ESC.
            appendOctal(out, c);
            appendOctal(out, static_cast<unsigned char>(text[++i]));
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

std::string failureText(const platform::Failure& failure) {
    std::string text = platform::withFullStop(failure.message());
    if (!failure.reason().empty()) text += " (" + failure.reason() + ")";
    return text;
}

Tool::Tool(std::string name)
    : m_name(std::move(name)),
      m_err(&std::cerr),
      m_errIsTerminal(platform::standardErrorIsTerminal()),
      m_term(std::getenv("TERM") != nullptr ? std::getenv("TERM") : ""),
      m_termKnown(std::getenv("TERM") != nullptr) {}

Tool::Tool(std::string name, std::ostream& err, bool errIsTerminal, std::string_view term)
    : m_name(std::move(name)), m_err(&err), m_errIsTerminal(errIsTerminal), m_term(term), m_termKnown(true) {}

int Tool::usageError(std::string_view text) const {
    *m_err << m_name << ": " << escapeControls(text) << " (see " << m_name << " --help)\n" << std::flush;
    return kExitUsage;
}

void Tool::reportFailure(const platform::Failure& failure) const {
    message(failureText(failure));
}

int Tool::failed(const platform::Failure& failure) const {
    reportFailure(failure);
    return kExitFailed;
}

void Tool::warning(std::string_view text) const {
    if (m_quiet) return;
    *m_err << m_name << ": warning: " << escapeControls(text) << '\n' << std::flush;
}

void Tool::message(std::string_view text) const {
    *m_err << m_name << ": " << escapeControls(text) << '\n' << std::flush;
}

bool Tool::progressWanted() const {
    // Without TERM nothing says the terminal knows "\r\033[K"; "dumb" says it does not.
    return !m_quiet && m_errIsTerminal && m_termKnown && !m_term.empty() && m_term != "dumb";
}

std::string versionText(std::string_view toolName) {
    char digits[32];
    const auto result =
        std::to_chars(digits, digits + sizeof digits, data::kVersionValue, std::chars_format::fixed, 2);
    return std::string(toolName) + " " + std::string(digits, result.ptr) + "\n";
}

}  // namespace nrbx::cli
