#include "PackageBuilder.h"

#include <algorithm>
#include <cstdio>
#include <set>

#include "ByteIo.h"
#include "Container.h"
#include "Progress.h"

namespace zelpack {
namespace {

std::string Lower(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
    return s;
}

bool IsSettingsFileName(const std::string& name) { return Lower(name) == Lower(kSettingsFileName); }

// The package settings file first (the stub reads it before anything else),
// then the others in byte order, so the result never depends on argument order.
void OrderSettingsRecords(std::vector<RecordSource>& records) {
    std::stable_sort(records.begin(), records.end(), [](const RecordSource& a, const RecordSource& b) {
        bool aMain = IsSettingsFileName(a.name), bMain = IsSettingsFileName(b.name);
        if (aMain != bMain) return aMain;
        return a.name < b.name;
    });
}

bool CheckUniqueNames(const std::vector<RecordSource>& records, std::string& error) {
    std::set<std::string> seen;
    for (const RecordSource& r : records) {
        if (!seen.insert(Lower(r.name)).second) {
            error = "two settings files are named '" + r.name + "' (names are compared without case on Windows)";
            return false;
        }
    }
    return true;
}

uint64_t TotalSize(const std::vector<RecordSource>& records) {
    uint64_t total = 0;
    for (const RecordSource& r : records) {
        std::error_code ec;
        total += r.data ? r.data->size() : std::filesystem::file_size(r.file, ec);
    }
    return total;
}

}  // namespace

std::string BuildSummary::Text() const {
    char line[256];
    std::string text;
    std::snprintf(line, sizeof line, "files: %llu, content: %llu bytes, cabinet: %llu bytes",
                  (unsigned long long)files, (unsigned long long)contentBytes, (unsigned long long)cabinetBytes);
    text += line;
    if (contentBytes) {
        std::snprintf(line, sizeof line, " (%.1f%%)", 100.0 * double(cabinetBytes) / double(contentBytes));
        text += line;
    }
    text += "\n";
    std::snprintf(line, sizeof line, "package: %llu bytes\n", (unsigned long long)packageBytes);
    text += line;
    for (const std::string& p : parts) text += "part: " + p + "\n";
    return text;
}

bool BuildFromFiles(const BuildOptions& options, const std::vector<std::string>& settingsFiles,
                    const std::filesystem::path& cabinet, std::string& error) {
    std::vector<RecordSource> records;
    bool haveSettings = false;
    for (const std::string& file : settingsFiles) {
        RecordSource r;
        r.file = file;
        r.name = std::filesystem::path(file).filename().string();
        r.kind = kKindSettings;
        if (!std::filesystem::is_regular_file(r.file)) {
            error = "settings file " + file + " does not exist or is not a file";
            return false;
        }
        haveSettings |= IsSettingsFileName(r.name);
        records.push_back(std::move(r));
    }
    if (!haveSettings) {
        error = std::string("no ") + kSettingsFileName + " among the settings files; the stub cannot run without it";
        return false;
    }
    if (!CheckUniqueNames(records, error)) return false;
    OrderSettingsRecords(records);
    if (!std::filesystem::is_regular_file(cabinet)) {
        error = "cabinet " + PathText(cabinet) + " does not exist or is not a file";
        return false;
    }
    RecordSource cab;
    cab.name = kPackageRecordName;
    cab.kind = kKindPackage;
    cab.file = cabinet;
    records.push_back(std::move(cab));

    Progress progress("packing", TotalSize(records), 0, options.progress);
    return WritePackage(options.stub, records, options.output,
                        [&](uint64_t bytes) { progress.Add(bytes); }, error);
}

bool BuildFromFolder(const BuildOptions&, BuildSummary&, std::string& error) {
    error = "building from a package folder is not available yet";
    return false;
}

}  // namespace zelpack
