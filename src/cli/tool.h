#pragma once
// What every nrbx command-line tool shares around its work: its name in messages, the exit statuses,
// how usage errors, failures and warnings are reported on stderr, and whether a progress line is wanted.
//
// A tool's main() typically reads:
//     cli::Tool tool("nrbx-import");
//     const cli::ParsedArguments args = cli::parseOptions(argv_as_strings, table);   // option_table.h
//     switch (args.action) { Help: print formatHelp(...); Version: print tool.versionText(); UsageError:
//         return tool.usageError(args.error); }
//     ... check operands with cli::checkStandardStreams and cli::OutputCheck (io.h) ...
//     try { ... } catch (const platform::Failure& f) { return tool.failed(f); }
// Every line written here is one line: control characters of quoted user text are shown escaped.

#include <iosfwd>
#include <string>
#include <string_view>

#include "platform/failure.h"

namespace nrbx::cli {

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;  // some input could not be converted, or a file not written
constexpr int kExitUsage = 2;   // the command line is wrong; nothing was written

// The text with every control character written as ls writes it: "\n", "\t", "\033", "\177"; the C1
// controls (U+0080..U+009F) and bytes that are not well-formed UTF-8 as octal bytes ("\233"). Everything
// else, multi-byte text included, is kept.
std::string escapeControls(std::string_view text);

// The failure as the command-line tools show it: the window's message with its full stop, then the
// system's reason in parentheses when there is one ("ファイル a.pcg は開けません. (No such file or
// directory)").
std::string failureText(const platform::Failure& failure);

// "NAME 0.20\n": the version as the about window shows it.
std::string versionText(std::string_view toolName);

class Tool {
  public:
    explicit Tool(std::string name);
    // For tests: messages go to err, and the terminal checks are given rather than asked of the system.
    Tool(std::string name, std::ostream& err, bool errIsTerminal, std::string_view term);

    const std::string& name() const { return m_name; }
    std::ostream& err() const { return *m_err; }

    // -q: no warnings and no progress line; usage errors and failures are still reported.
    void setQuiet(bool quiet) { m_quiet = quiet; }
    bool quiet() const { return m_quiet; }

    // "NAME: message (see NAME --help)"; returns kExitUsage.
    int usageError(std::string_view message) const;
    // "NAME: " + failureText(failure).
    void reportFailure(const platform::Failure& failure) const;
    // reportFailure, returning kExitFailed.
    int failed(const platform::Failure& failure) const;
    // "NAME: warning: message", unless quiet.
    void warning(std::string_view message) const;
    // "NAME: message", always (for a last-resort error).
    void message(std::string_view message) const;

    // A progress line that rewrites itself is drawn only on a terminal that understands it: stderr is a
    // terminal, TERM is set and not "dumb", and the tool is not quiet.
    bool progressWanted() const;

    std::string versionText() const { return cli::versionText(m_name); }

  private:
    std::string m_name;
    std::ostream* m_err;
    bool m_errIsTerminal;
    std::string m_term;
    bool m_termKnown;
    bool m_quiet = false;
};

}  // namespace nrbx::cli
