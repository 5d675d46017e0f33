#include "cli/progress.h"

#include "cli/tool.h"

namespace nrbx::cli {

Progress::Progress(std::ostream& err, std::string toolName, std::size_t total, bool live, bool verbose)
    : m_err(err),
      m_toolName(std::move(toolName)),
      m_total(total),
      m_live(live && total > 1 && !verbose),
      m_verbose(verbose) {}

Progress::~Progress() {
    finish();
}

void Progress::clearLine() {
    if (!m_lineShown) return;
    m_err << "\r\033[K" << std::flush;
    m_lineShown = false;
}

void Progress::starting(std::size_t index, std::string_view input, std::string_view output) {
    // Appended piece by piece: "[" + std::to_string(...) trips a false -Wrestrict in GCC 12 at -O3.
    std::string counter(1, '[');
    counter.append(std::to_string(index + 1)).append(1, '/').append(std::to_string(m_total)).append("] ");
    if (m_verbose) {
        m_err << counter << escapeControls(input) << " -> " << escapeControls(output) << '\n' << std::flush;
    } else if (m_live) {
        clearLine();
        m_err << counter << escapeControls(input) << std::flush;
        m_lineShown = true;
    }
}

void Progress::failed(std::string_view message) {
    line(m_toolName + ": " + std::string(message));
}

void Progress::line(std::string_view text) {
    clearLine();
    m_err << escapeControls(text) << '\n' << std::flush;
}

void Progress::finish() {
    clearLine();
}

}  // namespace nrbx::cli
