#include "cli/progress.h"

namespace nrbx::cli {

Progress::Progress(std::ostream& err, std::size_t total, bool terminal, bool verbose)
    : m_err(err), m_total(total), m_live(terminal && total > 1 && !verbose), m_verbose(verbose) {}

Progress::~Progress() {
    finish();
}

void Progress::clearLine() {
    if (!m_lineShown) return;
    m_err << "\r\033[K" << std::flush;
    m_lineShown = false;
}

void Progress::starting(std::size_t index, const Job& job) {
    // Appended piece by piece: "[" + std::to_string(...) trips a false -Wrestrict in GCC 12 at -O3.
    std::string counter(1, '[');
    counter.append(std::to_string(index + 1)).append(1, '/').append(std::to_string(m_total)).append("] ");
    if (m_verbose) {
        m_err << counter << job.input << " -> " << job.output << '\n' << std::flush;
    } else if (m_live) {
        clearLine();
        m_err << counter << job.input << std::flush;
        m_lineShown = true;
    }
}

void Progress::failed(const std::string& message) {
    clearLine();
    m_err << "nrbx-export: " << message << '\n' << std::flush;
}

void Progress::finish() {
    clearLine();
}

}  // namespace nrbx::cli
