#include "cli/io.h"

#include <filesystem>

#include "platform/file.h"
#include "platform/std_streams.h"

namespace nrbx::cli {

InputData readInput(const std::string& name, std::size_t keep) {
    InputData in;
    if (isStandardStream(name)) {
        platform::StreamBytes stream = platform::readStandardInput(keep);
        in.size = stream.bytes.size() + (stream.longer ? 1 : 0);
        in.longer = stream.longer;
        in.bytes = std::move(stream.bytes);
        return in;
    }
    platform::InputFile file(name);
    in.size = file.size();
    in.bytes.resize(static_cast<std::size_t>(std::min<std::uint64_t>(in.size, keep)));
    file.readExact(in.bytes.data(), in.bytes.size());
    return in;
}

std::optional<std::string> sizeWarning(const std::string& name, const InputData& in, std::size_t expected,
                                       std::string_view what) {
    if (in.size == expected && !in.longer) return std::nullopt;
    const std::string size = in.longer ? "more than " + std::to_string(expected) : std::to_string(in.size);
    return std::string(what) + " '" + name + "' has " + size + " bytes, not " + std::to_string(expected) +
           (in.longer || in.size > expected ? "; the rest is ignored" : "; the rest is taken as zeros");
}

void writeOutput(const std::string& name, std::span<const std::uint8_t> bytes) {
    if (isStandardStream(name)) {
        platform::writeStandardOutput(bytes.data(), bytes.size());
        return;
    }
    platform::AtomicOutputFile file(name);
    file.write(bytes.data(), bytes.size());
    file.commit();
}

void StagedOutputs::add(const std::string& name, std::span<const std::uint8_t> bytes) {
    if (isStandardStream(name)) {
        m_standardOutput.emplace(bytes.begin(), bytes.end());
        return;
    }
    auto file = std::make_unique<platform::AtomicOutputFile>(name);
    file->write(bytes.data(), bytes.size());
    file->complete();
    m_files.push_back(std::move(file));
}

void StagedOutputs::commit() {
    for (const auto& file : m_files) file->commit();
    if (m_standardOutput) platform::writeStandardOutput(m_standardOutput->data(), m_standardOutput->size());
}

std::string checkStandardStreams(std::span<const std::string> inputs, std::span<const std::string> outputs) {
    int reads = 0;
    for (const auto& name : inputs) reads += isStandardStream(name) ? 1 : 0;
    int writes = 0;
    for (const auto& name : outputs) writes += isStandardStream(name) ? 1 : 0;
    if (reads > 1) return "standard input ('-') can be read only once";
    if (reads == 1 && platform::standardInputIsTerminal())
        return "standard input ('-') is a terminal; give a file or a pipe";
    if (writes > 1 || (writes == 1 && outputs.size() > 1))
        return "standard output ('-') takes one output only";
    if (writes == 1 && platform::standardOutputIsTerminal())
        return "standard output ('-') is a terminal; redirect it to a file or a pipe";
    if (writes == 1 && platform::standardOutputSharedWithError())
        return "standard output ('-') is also standard error, where messages would land in the output; "
               "redirect standard error elsewhere";
    return {};
}

void OutputCheck::addInput(const std::string& name, std::string what) {
    if (isStandardStream(name)) return;
    if (const auto id = platform::existingFileId(name)) m_inputs.emplace(*id, std::move(what));
}

std::string OutputCheck::addOutput(const std::string& output, const std::string& source) {
    if (isStandardStream(output)) return {};
    if (const auto id = platform::existingFileId(output)) {
        if (const auto it = m_inputs.find(*id); it != m_inputs.end())
            return "output '" + output + "' would replace " + it->second;
    }
    if (m_refuseExisting && platform::existingFileId(output))
        return "output '" + output + "' exists; give --force to replace it";
    const Planned planned{output, source};
    const Planned* earlier = nullptr;
    if (const auto identity = platform::outputIdentity(output)) {
        const auto [it, fresh] = m_outputs.emplace(*identity, planned);
        if (!fresh) earlier = &it->second;
    } else {
        const auto [it, fresh] =
            m_unresolved.emplace(std::filesystem::path(output).lexically_normal().string(), planned);
        if (!fresh) earlier = &it->second;
    }
    if (earlier == nullptr) return {};
    // Both names are shown when they differ ("a.bmp" and "$PWD/a.bmp"): either may surprise the user.
    const std::string where = earlier->output == output
                                  ? "'" + output + "'"
                                  : "'" + earlier->output + "' (also named '" + output + "')";
    return "'" + earlier->source + "' and '" + source + "' would both be written to " + where;
}

}  // namespace nrbx::cli
