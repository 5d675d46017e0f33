#pragma once
// What a tool tells on stderr while it works through a batch: a progress line, per-file lines, failures.

#include <cstddef>
#include <ostream>
#include <string>
#include <string_view>

namespace nrbx::cli {

class Progress {
  public:
    // live: draw a progress line that the next one overwrites (Tool::progressWanted()); it is drawn only
    // for a batch of more than one. verbose: a line per file instead, wherever stderr goes.
    Progress(std::ostream& err, std::string toolName, std::size_t total, bool live, bool verbose);
    ~Progress();
    Progress(const Progress&) = delete;
    Progress& operator=(const Progress&) = delete;

    // "[i/n] input" on the live line, or "[i/n] input -> output" with verbose.
    void starting(std::size_t index, std::string_view input, std::string_view output);
    // "TOOL: message" on a line of its own (the live line is cleared first).
    void failed(std::string_view message);
    // Any other message line (a warning), printed so that it does not mix with the live line.
    void line(std::string_view text);
    void finish();

  private:
    void clearLine();

    std::ostream& m_err;
    std::string m_toolName;
    std::size_t m_total;
    bool m_live;  // a progress line that the next one overwrites
    bool m_verbose;
    bool m_lineShown = false;
};

}  // namespace nrbx::cli
