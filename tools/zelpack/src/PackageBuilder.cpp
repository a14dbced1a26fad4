#include "PackageBuilder.h"

#include <algorithm>
#include <cstdio>
#include <set>

#include <cstdlib>
#include <thread>

#include "ByteIo.h"
#include "Cabinet.h"
#include "Container.h"
#include "ContentTree.h"
#include "Hash.h"
#include "Password.h"
#include "Progress.h"
#include "SettingsText.h"

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
                    const std::filesystem::path& cabinet, BuildSummary& summary, std::string& error) {
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
    // Kept a warning, not an error: tests of the stub pack foreign cabinets on purpose.
    if (std::FILE* f = std::fopen(cabinet.c_str(), "rb")) {
        char signature[4] = {};
        size_t got = std::fread(signature, 1, 4, f);
        std::fclose(f);
        if (got != 4 || std::string(signature, 4) != "TAVO")
            summary.warnings.push_back("cabinet " + PathText(cabinet) +
                                       " does not begin with \"TAVO\"; the stub will refuse to extract it");
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

namespace {

struct FolderInput {
    SettingsText settings;
    std::vector<RecordSource> otherSettings;
    std::vector<CabEntry> entries;
    uint64_t contentBytes = 0;
};

bool HasTopLevelFile(const FolderInput& in, const std::string& name) {
    for (const RecordSource& r : in.otherSettings)
        if (EqualsNoCase(r.name, name)) return true;
    return false;
}

bool ReadFolder(const BuildOptions& options, FolderInput& in, std::vector<std::string>& warnings,
                std::string& error) {
    const std::filesystem::path& root = options.folder;
    if (!std::filesystem::is_directory(root)) {
        error = "package folder " + PathText(root) + " does not exist";
        return false;
    }
    std::filesystem::path settingsPath, content;
    std::error_code ec;
    std::vector<std::filesystem::directory_entry> top;
    for (const auto& e : std::filesystem::directory_iterator(root, ec)) top.push_back(e);
    if (ec) {
        error = "cannot read " + PathText(root) + ": " + ec.message();
        return false;
    }
    std::sort(top.begin(), top.end());
    for (const auto& e : top) {
        std::string name = e.path().filename().string();
        if (e.is_directory()) {
            if (name == "content") content = e.path();
            else warnings.push_back("folder " + name + " is ignored; the files to install belong in content/");
            continue;
        }
        if (name[0] == '.') {
            warnings.push_back("hidden file " + name + " is not packed");
            continue;
        }
        if (!e.is_regular_file()) {
            error = PathText(e.path()) + " is not a regular file";
            return false;
        }
        if (IsSettingsFileName(name)) {
            settingsPath = e.path();
            continue;
        }
        if (std::string why = CheckRecordName(name); !why.empty()) {
            error = why;
            return false;
        }
        if (std::string why = CheckWindowsName(name); !why.empty()) {
            error = "settings file " + why;
            return false;
        }
        RecordSource r;
        r.name = name;
        r.file = e.path();
        in.otherSettings.push_back(std::move(r));
    }
    if (settingsPath.empty()) {
        error = std::string("the package folder has no ") + kSettingsFileName + "; every package needs one";
        return false;
    }
    if (content.empty()) {
        error = "the package folder has no content/ folder; put the files to install there";
        return false;
    }
    Bytes raw;
    if (!ReadWholeFile(settingsPath, raw, error)) return false;
    if (!SettingsText::Parse(raw, in.settings, error)) {
        error = std::string(kSettingsFileName) + " " + error;
        return false;
    }
    if (!ScanContent(content, in.entries, warnings, error)) return false;
    if (in.entries.empty()) {
        error = "content/ holds no files; put the files to install there";
        return false;
    }
    for (const CabEntry& e : in.entries) in.contentBytes += e.size;
    return true;
}

// What the stub would trip over later, found now with the offending name.
bool CheckReferences(const FolderInput& in, std::vector<std::string>& warnings, std::string& error) {
    const SettingsText& s = in.settings;
    for (const char* key : {"TopImage", "BottomImage"}) {
        if (auto v = s.Get("Images", key); v && !v->empty() && !HasTopLevelFile(in, *v)) {
            error = std::string("[Images] ") + key + " names " + *v + ", which is not in the package folder";
            return false;
        }
    }
    for (const char* section : {"LicenseFiles", "SecurityLicenseFiles"}) {
        for (const auto& [key, value] : s.Keys(section)) {
            if (!value.empty() && !HasTopLevelFile(in, value)) {
                error = std::string("[") + section + "] " + key + " names " + value + ", which is not in the package folder";
                return false;
            }
        }
    }
    if (auto langs = s.Get("Languages", "SetupLanguages")) {
        std::string list = *langs + ";";
        size_t from = 0, semi;
        while ((semi = list.find(';', from)) != std::string::npos) {
            std::string lcid = Trim(list.substr(from, semi - from));
            from = semi + 1;
            // English always comes from the stub's own texts.
            if (lcid.empty() || lcid == "1033") continue;
            std::string file = "Default" + lcid + ".ulf";
            if (!HasTopLevelFile(in, file))
                warnings.push_back("[Languages] SetupLanguages offers " + lcid + " but " + file +
                                   " is missing; the stub shows its built-in English texts for it");
        }
    }
    std::set<std::string> stored;
    for (const CabEntry& e : in.entries) {
        stored.insert(Lower(e.storedName));
        std::u16string wide;
        Utf8ToUtf16(e.storedName, wide);
        // The stub writes extraction folder + name and stops above 260 characters.
        if (wide.size() + 4 > 260) {
            error = "content path " + e.storedName + " is too long: even below C:\\x it passes the 260-character limit";
            return false;
        }
        if (wide.size() + 60 > 260)
            warnings.push_back("content path " + e.storedName + " passes the 260-character limit below an extraction folder longer than " +
                               std::to_string(260 - wide.size()) + " characters");
    }
    std::vector<std::string> launches;
    if (s.Get("Runtime", "Multilaunch").value_or("") == "1") {
        for (int n = 1;; ++n) {
            auto v = s.Get("Runtime", "AutoLaunch" + std::to_string(n));
            if (!v || v->empty()) break;
            launches.push_back(*v);
        }
    } else if (auto v = s.Get("Runtime", "AutoLaunch"); v && !v->empty()) {
        launches.push_back(*v);
    }
    for (std::string path : launches) {
        std::string name = path;
        if (name.empty() || name[0] != '\\') name = "\\" + name;
        if (!stored.count(Lower(name))) {
            error = "[Runtime] AutoLaunch names " + path + ", which is not under content/";
            return false;
        }
    }
    return true;
}

uint16_t ContentSetId(const std::vector<CabEntry>& entries) {
    Sha256 h;
    for (const CabEntry& e : entries) {
        h.Update(e.storedName.data(), e.storedName.size() + 1);
        uint8_t fields[14];
        for (int i = 0; i < 8; ++i) fields[i] = uint8_t(e.size >> (8 * i));
        PutLe16(fields + 8, e.date);
        PutLe16(fields + 10, e.time);
        PutLe16(fields + 12, e.attribs);
        h.Update(fields, sizeof fields);
    }
    auto d = h.Finish();
    // 0 and 65535 mean "no set" to the stub's part checks.
    return uint16_t(1 + (GetLe16(d.data()) % 65534));
}

// The stub reads GUID2 like wcstol and keeps the low 16 bits.
uint16_t ParseSetId(const std::string& text) {
    long value = std::strtol(text.c_str(), nullptr, 10);
    return uint16_t(value & 0xFFFF);
}

struct PartPlan {
    bool multiPart = false;
    std::string base;  // MultipartFileName
    std::string Name(unsigned index) const {
        char n[16];
        std::snprintf(n, sizeof n, ".%03u", index + 1);
        return base + n;
    }
};

bool ReadPartPlan(const SettingsText& settings, const BuildOptions& options, PartPlan& plan, std::string& error) {
    // The stub reads MultiPartDownload as an integer.
    plan.multiPart = std::strtol(settings.Get("Package", "MultiPartDownload").value_or("0").c_str(), nullptr, 10) == 1;
    plan.base = settings.Get("Package", "MultipartFileName").value_or("");
    if (!plan.multiPart) {
        if (options.partSize) {
            error = "--part-size needs a multi-part package: set [Package] MultiPartDownload=1 and MultipartFileName";
            return false;
        }
        return true;
    }
    if (plan.base.empty()) {
        error = "[Package] MultiPartDownload=1 needs MultipartFileName, the base name of the part files";
        return false;
    }
    if (std::string why = CheckWindowsName(plan.base); !why.empty() || plan.base.find('/') != std::string::npos) {
        error = "[Package] MultipartFileName " + (why.empty() ? "'" + plan.base + "' holds a folder part" : why);
        return false;
    }
    return true;
}

// Values the stub needs that only the build knows; an author's own value stays.
void ApplyComputedSettings(SettingsText& settings, const FolderInput& in, const std::vector<CabinetWritten>& cabinets,
                           uint16_t setId, const PartPlan& parts, const std::optional<std::string>& password) {
    uint64_t cabBytes = 0, need = 0;
    for (const auto& c : cabinets) cabBytes += c.size;
    for (const CabEntry& e : in.entries) need += (e.size + 4095) / 4096 * 4096;
    if (!settings.IsSet("Size", "PackageSize")) settings.Set("Size", "PackageSize", std::to_string(need));
    if (!settings.IsSet("Size", "CabSize")) settings.Set("Size", "CabSize", std::to_string(cabBytes));
    if (!settings.IsSet("FileCount", "Count")) settings.Set("FileCount", "Count", std::to_string(in.entries.size()));
    if (!settings.IsSet("Tavo", "GUID2")) settings.Set("Tavo", "GUID2", std::to_string(setId));
    if (parts.multiPart) {
        // Stale keys would make the stub look for parts that do not exist.
        settings.ClearSection("PartFileIno");
        settings.ClearSection("HashCode");
        for (unsigned i = 0; i < cabinets.size(); ++i) {
            char key[16];
            std::snprintf(key, sizeof key, "%03u", i + 1);
            settings.Set("PartFileIno", key, std::to_string(cabinets[i].size));
            settings.Set("HashCode", key, cabinets[i].sha1.substr(0, 32));
        }
    }
    if (password) {
        int shift = ChooseShift(*password);
        settings.Set("Runtime", "ExtractPasswordRequired", "1");
        settings.Set("Runtime", "ExtractionPassword", ScramblePassword(*password, shift));
        settings.Set("Temporary", "Number", std::to_string(shift));
    }
}

// Files written so far that go away unless the build completes.
struct Cleanup {
    std::vector<std::filesystem::path> paths;
    bool keep = false;
    ~Cleanup() {
        std::error_code ec;
        if (!keep)
            for (const auto& p : paths) std::filesystem::remove(p, ec);
    }
};

}  // namespace

bool BuildFromFolder(const BuildOptions& options, BuildSummary& summary, std::string& error) {
    FolderInput in;
    if (!ReadFolder(options, in, summary.warnings, error)) return false;
    if (!CheckReferences(in, summary.warnings, error)) return false;
    PartPlan parts;
    if (!ReadPartPlan(in.settings, options, parts, error)) return false;
    if (options.password) {
        if (std::string why = CheckPassword(*options.password); !why.empty()) {
            error = why;
            return false;
        }
    }
    uint16_t setId = in.settings.IsSet("Tavo", "GUID2") ? ParseSetId(*in.settings.Get("Tavo", "GUID2"))
                                                         : ContentSetId(in.entries);
    if (setId == 0 || setId == 0xFFFF)
        summary.warnings.push_back("[Tavo] GUID2 gives the set id " + std::to_string(setId) +
                                   ", which the stub's part checks read as \"no set\"; leave GUID2 out to get a derived one");

    const std::filesystem::path outDir = std::filesystem::absolute(options.output).parent_path();
    const std::filesystem::path singleCab = outDir / (options.output.filename().string() + ".zelpack-cab");
    CabOptions cab;
    cab.setId = setId;
    cab.allowSet = parts.multiPart;
    cab.maxCabinetBytes = parts.multiPart && options.partSize ? std::min(options.partSize, kMaxCabinetBytes)
                                                              : kMaxCabinetBytes;
    cab.threads = options.threads ? options.threads : std::max(1u, std::thread::hardware_concurrency());
    cab.spool = outDir / (options.output.filename().string() + ".zelpack-spool");
    cab.cabinetName = [parts](unsigned i) { return parts.multiPart ? parts.Name(i) : std::string(); };
    cab.cabinetPath = [parts, outDir, singleCab](unsigned i) {
        return parts.multiPart ? outDir / parts.Name(i) : singleCab;
    };
    Progress progress("compressing", in.contentBytes, in.entries.size(), options.progress);
    cab.progress = [&progress](uint64_t bytes, uint64_t files) { progress.Add(bytes, files); };
    std::vector<CabinetWritten> cabinets;
    bool cabsOk = WriteCabinets(in.entries, cab, cabinets, error);
    progress.Done();
    Cleanup cleanup;
    for (const auto& c : cabinets) cleanup.paths.push_back(c.path);
    if (!cabsOk) return false;
    if (cabinets.size() > 999)
        summary.warnings.push_back("more than 999 parts: part numbers from 1000 on have four digits");

    ApplyComputedSettings(in.settings, in, cabinets, setId, parts, options.password);
    std::vector<RecordSource> records;
    RecordSource main;
    main.name = kSettingsFileName;
    main.data = in.settings.ToUtf16();
    records.push_back(std::move(main));
    for (RecordSource& r : in.otherSettings) records.push_back(std::move(r));
    if (!CheckUniqueNames(records, error)) return false;
    OrderSettingsRecords(records);
    if (!parts.multiPart) {
        RecordSource r;
        r.name = kPackageRecordName;
        r.kind = kKindPackage;
        r.file = singleCab;
        records.push_back(std::move(r));
    }
    Progress packing("packing", TotalSize(records), 0, options.progress);
    if (!WritePackage(options.stub, records, options.output, [&](uint64_t b) { packing.Add(b); }, error))
        return false;
    packing.Done();
    cleanup.keep = parts.multiPart;  // the single cabinet now lives in the package

    summary.files = in.entries.size();
    summary.contentBytes = in.contentBytes;
    for (const auto& c : cabinets) {
        summary.cabinetBytes += c.size;
        if (parts.multiPart) summary.parts.push_back(PathText(c.path.filename()) + " (" + std::to_string(c.size) + " bytes)");
    }
    std::error_code ec;
    summary.packageBytes = std::filesystem::file_size(options.output, ec);
    return true;
}

}  // namespace zelpack
