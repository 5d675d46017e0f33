#include "cli/import_inputs.h"

#include <algorithm>

#include "cli/io.h"

namespace nrbx::cli {

std::string checkImportNames(const std::vector<std::pair<std::string, std::string>>& inputs,
                             std::span<const NamedOutput> outputs, bool force) {
    std::vector<std::string> inputNames, outputNames;
    for (const auto& input : inputs) inputNames.push_back(input.first);
    for (const NamedOutput& output : outputs)
        if (*output.name) outputNames.push_back(**output.name);
    if (std::string error = checkStandardStreams(inputNames, outputNames); !error.empty()) return error;
    OutputCheck check;
    for (const auto& [name, what] : inputs) check.addInput(name, what);
    if (!force) check.refuseExisting();
    for (const NamedOutput& output : outputs) {
        if (!*output.name) continue;
        if (std::string error = check.addOutput(**output.name, output.option); !error.empty()) return error;
    }
    return {};
}

importing::PatternBytes basePattern(const Tool& tool, const ImportOptions& o) {
    importing::PatternBytes base{};
    if (!o.base) return base;
    const InputData in = readInput(*o.base, base.size());
    if (const auto text = sizeWarning(*o.base, in, base.size(), "base pattern")) tool.warning(*text);
    std::copy(in.bytes.begin(), in.bytes.end(), base.begin());
    return base;
}

}  // namespace nrbx::cli
