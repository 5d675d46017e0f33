#pragma once
// What the converter tells on stderr while it works: a progress line, per-file lines, failures.

#include <cstddef>
#include <ostream>
#include <string>

#include "cli/jobs.h"

namespace nrbx::cli {

class Progress {
  public:
    // A progress line is shown only for a batch on a terminal; verbose gives a line per file anywhere.
    Progress(std::ostream& err, std::size_t total, bool terminal, bool verbose);
    ~Progress();
    Progress(const Progress&) = delete;
    Progress& operator=(const Progress&) = delete;

    void starting(std::size_t index, const Job& job);
    // The message as shown, on a line of its own.
    void failed(const std::string& message);
    void finish();

  private:
    void clearLine();

    std::ostream& m_err;
    std::size_t m_total;
    bool m_live;  // a progress line that the next one overwrites
    bool m_verbose;
    bool m_lineShown = false;
};

}  // namespace nrbx::cli
