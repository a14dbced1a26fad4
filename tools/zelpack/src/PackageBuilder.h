// Turns a package folder (or ready-made parts) into a package.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace zelpack {

constexpr const char kSettingsFileName[] = "Properties_Tavo.ini";
constexpr const char kPackageRecordName[] = "WebCab1";

struct BuildOptions {
    std::filesystem::path folder;
    std::filesystem::path output;
    std::filesystem::path stub;
    uint64_t partSize = 0;             // 0: the largest cabinet allowed
    std::optional<std::string> password;
    unsigned threads = 0;              // 0: one per core
    bool quiet = false;
    bool progress = false;
    bool strict = false;               // warnings refuse the build too
    // Runs on the complete package before it replaces the output (signing);
    // false keeps the earlier output as it was.
    std::function<bool(const std::filesystem::path& complete, std::string& error)> finish;
};

struct BuildSummary {
    uint64_t files = 0;
    uint64_t contentBytes = 0;
    uint64_t cabinetBytes = 0;
    uint64_t packageBytes = 0;
    std::vector<std::string> parts;
    std::vector<std::string> removedParts;  // stale parts of an earlier, larger set
    std::vector<std::string> warnings;
    std::vector<std::string> errors;        // every refusal; the first is also the error text
    bool commandLineError = false;          // the refusal is about the command line's own paths
    std::string Text() const;
};

// Container only: the given settings files plus an already-made cabinet.
bool BuildFromFiles(const BuildOptions& options, const std::vector<std::string>& settingsFiles,
                    const std::filesystem::path& cabinet, BuildSummary& summary, std::string& error);

bool BuildFromFolder(const BuildOptions& options, BuildSummary& summary, std::string& error);

// Every check of a folder build, without writing anything: false when an
// error (or, with options.strict, a warning) was found.
bool CheckFolder(const BuildOptions& options, BuildSummary& summary, std::string& error);

}  // namespace zelpack
