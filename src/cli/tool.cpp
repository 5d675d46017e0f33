#include "cli/tool.h"

#include <cstdlib>
#include <iostream>

#include "data/version.h"
#include "data/version_text.h"
#include "platform/std_streams.h"

namespace nrbx::cli {

namespace {

void appendOctal(std::string& out, unsigned char byte) {
    out += '\\';
    out += static_cast<char>('0' + (byte >> 6));
    out += static_cast<char>('0' + ((byte >> 3) & 7));
    out += static_cast<char>('0' + (byte & 7));
}

// Length of the well-formed UTF-8 sequence at text[i], 0 when there is none (a stray or overlong byte).
std::size_t utf8Length(std::string_view text, std::size_t i) {
    const auto lead = static_cast<unsigned char>(text[i]);
    const std::size_t n = lead >= 0xF0 && lead <= 0xF4 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC2 ? 2 : 0;
    if (n == 0 || lead > 0xF4 || i + n > text.size()) return 0;
    for (std::size_t k = 1; k < n; ++k)
        if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) return 0;
    const auto second = static_cast<unsigned char>(text[i + 1]);
    if ((lead == 0xE0 && second < 0xA0) || (lead == 0xED && second > 0x9F) ||
        (lead == 0xF0 && second < 0x90) || (lead == 0xF4 && second > 0x8F))
        return 0;  // overlong, a surrogate, or beyond U+10FFFF
    return n;
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
        if (c < 0x80) {
            if (c < 0x20 || c == 0x7F) {
                appendOctal(out, c);
            } else {
                out += static_cast<char>(c);
            }
            continue;
        }
        const std::size_t n = utf8Length(text, i);
        // A byte outside a well-formed character, and U+0080..U+009F, can act as a control on a terminal
        // (0x9B is CSI on some), as ESC does: all are shown as octal bytes.
        if (n == 0 || (n == 2 && c == 0xC2 && static_cast<unsigned char>(text[i + 1]) <= 0x9F)) {
            const std::size_t bytes = n == 0 ? 1 : n;
            for (std::size_t k = 0; k < bytes; ++k) appendOctal(out, static_cast<unsigned char>(text[i + k]));
            i += bytes - 1;
            continue;
        }
        out.append(text.substr(i, n));
        i += n - 1;
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
    return std::string(toolName) + " " + data::versionNumber(data::kVersionValue) + "\n";
}

}  // namespace nrbx::cli
