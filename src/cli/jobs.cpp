#include "cli/jobs.h"

#include <sys/stat.h>

#include <cctype>
#include <filesystem>
#include <map>
#include <optional>
#include <utility>

namespace nrbx::cli {

namespace fs = std::filesystem;

namespace {

std::string extensionOf(const Format format) {
    return format == Format::Png ? ".png" : ".bmp";
}

using FileId = std::pair<dev_t, ino_t>;

// Which file a name stands for, seen through links; none when nothing of that name exists yet.
std::optional<FileId> fileId(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return std::nullopt;
    return FileId{st.st_dev, st.st_ino};
}

}  // namespace

Format formatFor(const Options& options, const std::string& outputName) {
    if (options.format) return *options.format;
    std::string ext = fs::path(outputName).extension().string();
    for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return ext == ".png" ? Format::Png : Format::Bmp;
}

Plan planJobs(const Options& options) {
    Plan plan;
    if (options.outputDir) {
        std::error_code ec;
        const fs::file_status st = fs::status(*options.outputDir, ec);
        if (!fs::exists(st)) {
            plan.error = "output folder '" + *options.outputDir + "' does not exist";
            return plan;
        }
        if (!fs::is_directory(st)) {
            plan.error = "'" + *options.outputDir + "' is not a folder";
            return plan;
        }
    }
    for (const auto& input : options.patterns) {
        Job job;
        job.input = input;
        if (options.output) {
            job.output = *options.output;
            job.format = formatFor(options, job.output);
        } else {
            job.format = formatFor(options, "");
            fs::path name = fs::path(input).filename();
            name.replace_extension(extensionOf(job.format));
            job.output = options.outputDir ? (fs::path(*options.outputDir) / name).string()
                                           : (fs::path(input).parent_path() / name).string();
        }
        plan.jobs.push_back(job);
    }
    // Checked before any conversion, so a bad batch writes nothing rather than half of itself.
    std::map<FileId, std::string> inputs;  // what an output must never replace
    if (options.palette) {
        if (const auto id = fileId(*options.palette))
            inputs.emplace(*id, "the palette file '" + *options.palette + "'");
    }
    for (const auto& job : plan.jobs) {
        if (const auto id = fileId(job.input)) inputs.emplace(*id, "the input '" + job.input + "'");
    }
    std::map<std::string, const Job*> byOutput;
    for (const auto& job : plan.jobs) {
        const std::string key = fs::path(job.output).lexically_normal().string();
        if (const auto [it, fresh] = byOutput.emplace(key, &job); !fresh) {
            plan.error = "'" + it->second->input + "' and '" + job.input + "' would both be written to '" +
                         job.output + "'";
            return plan;
        }
        if (const auto id = fileId(job.output)) {
            if (const auto it = inputs.find(*id); it != inputs.end()) {
                plan.error = "output '" + job.output + "' would replace " + it->second;
                return plan;
            }
        }
    }
    return plan;
}

}  // namespace nrbx::cli
