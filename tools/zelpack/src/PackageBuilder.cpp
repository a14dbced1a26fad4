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
#include "Interrupt.h"
#include "OutputPaths.h"
#include "Password.h"
#include "Progress.h"
#include "SettingsCheck.h"
#include "SettingsText.h"

namespace zelpack {
namespace {

bool IsSettingsFileName(const std::string& name) { return EqualsNoCase(name, kSettingsFileName); }

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
        if (!seen.insert(ToLowerAscii(r.name)).second) {
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

std::vector<NamedPath> WrittenBeside(const std::filesystem::path& path, const std::string& what) {
    std::filesystem::path partial = path;
    partial += ".zelpack-partial";
    return {{what, path}, {what, partial}};
}

// Refuses an output that cannot be written, or that would replace or land in
// an input: the package, its temporary files and `extra` (parts, scratch).
bool CheckOutput(const BuildOptions& options, const std::vector<NamedPath>& extra,
                 const std::vector<NamedPath>& inputs, BuildSummary& summary, std::string& error) {
    error = CheckOutputPlace(options.output);
    if (error.empty()) {
        std::vector<NamedPath> written = WrittenBeside(options.output, "-o");
        written.insert(written.end(), extra.begin(), extra.end());
        error = FindInputClash(written, inputs);
    }
    summary.commandLineError = !error.empty();
    return error.empty();
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
    for (const std::string& p : removedParts) text += "removed stale part: " + p + "\n";
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
    if (UniqueFile f{std::fopen(cabinet.c_str(), "rb")}) {
        char signature[4] = {};
        size_t got = std::fread(signature, 1, 4, f.get());
        if (got != 4 || std::string(signature, 4) != "TAVO")
            summary.warnings.push_back("cabinet " + PathText(cabinet) +
                                       " does not begin with \"TAVO\"; the stub will refuse to extract it");
    }
    std::vector<NamedPath> inputs = {{"the stub", options.stub}, {"the cabinet", cabinet}};
    for (const RecordSource& r : records) inputs.push_back({"the settings file", r.file});
    if (!CheckOutput(options, {}, inputs, summary, error)) return false;
    RecordSource cab;
    cab.name = kPackageRecordName;
    cab.kind = kKindPackage;
    cab.file = cabinet;
    records.push_back(std::move(cab));

    Progress progress("packing", TotalSize(records), 0, options.progress);
    return WritePackage(options.stub, records, options.output,
                        [&](uint64_t bytes) { progress.Add(bytes); }, error, options.finish);
}

namespace {

struct FolderInput {
    SettingsText settings;
    std::filesystem::path settingsPath, content;
    std::vector<RecordSource> otherSettings;
    std::vector<CabEntry> entries;
    uint64_t contentBytes = 0;
};

bool HasTopLevelFile(const FolderInput& in, const std::string& name) {
    for (const RecordSource& r : in.otherSettings)
        if (EqualsNoCase(r.name, name)) return true;
    return false;
}

// The top level of the package folder: settings files, content/, and what is ignored.
bool ReadTopLevel(const std::filesystem::path& root, FolderInput& in, std::vector<std::string>& warnings,
                  std::string& error) {
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
            if (name == "content") in.content = e.path();
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
            in.settingsPath = e.path();
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
    return true;
}

bool ReadFolder(const BuildOptions& options, FolderInput& in, std::vector<std::string>& warnings,
                std::string& error) {
    const std::filesystem::path& root = options.folder;
    if (!std::filesystem::is_directory(root)) {
        error = "package folder " + PathText(root) + " does not exist";
        return false;
    }
    if (!ReadTopLevel(root, in, warnings, error)) return false;
    if (in.settingsPath.empty()) {
        error = std::string("the package folder has no ") + kSettingsFileName + "; every package needs one";
        return false;
    }
    if (in.content.empty()) {
        error = "the package folder has no content/ folder; put the files to install there";
        return false;
    }
    Bytes raw;
    if (!ReadWholeFile(in.settingsPath, raw, error)) return false;
    if (!SettingsText::Parse(raw, in.settings, error)) {
        error = std::string(kSettingsFileName) + " " + error;
        return false;
    }
    if (!ScanContent(in.content, in.entries, warnings, error)) return false;
    if (in.entries.empty()) {
        error = "content/ holds no files; put the files to install there";
        return false;
    }
    for (const CabEntry& e : in.entries) in.contentBytes += e.size;
    return true;
}

void CheckLanguageFiles(const FolderInput& in, std::vector<std::string>& warnings) {
    auto langs = in.settings.Get("Languages", "SetupLanguages");
    if (!langs) return;
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

// The stub writes extraction folder + name and stops above 260 characters.
void CheckContentPaths(const FolderInput& in, std::vector<std::string>& warnings, std::vector<std::string>& errors) {
    constexpr size_t kMaxPath = 260, kShortestFolder = 4, kUsualFolder = 60;  // "C:\x", a typical %TEMP% path
    for (const CabEntry& e : in.entries) {
        std::u16string wide;
        Utf8ToUtf16(e.storedName, wide);
        if (wide.size() + kShortestFolder > kMaxPath)
            errors.push_back("content path " + e.storedName +
                             " is too long: even below C:\\x it passes the 260-character limit");
        else if (wide.size() + kUsualFolder > kMaxPath)
            warnings.push_back("content path " + e.storedName +
                               " passes the 260-character limit below an extraction folder longer than " +
                               std::to_string(kMaxPath - wide.size()) + " characters");
    }
}

// What the stub would trip over later, found now with the offending name.
void CheckReferences(const FolderInput& in, std::vector<std::string>& warnings, std::vector<std::string>& errors) {
    const SettingsText& s = in.settings;
    for (const char* key : {"TopImage", "BottomImage"}) {
        if (auto v = s.Get("Images", key); v && !v->empty() && !HasTopLevelFile(in, *v))
            errors.push_back(std::string("[Images] ") + key + " names " + *v + ", which is not in the package folder");
    }
    for (const char* section : {"LicenseFiles", "SecurityLicenseFiles"}) {
        for (const auto& [key, value] : s.Keys(section)) {
            if (!value.empty() && !HasTopLevelFile(in, value))
                errors.push_back(std::string("[") + section + "] " + key + " names " + value +
                                 ", which is not in the package folder");
        }
    }
    CheckLanguageFiles(in, warnings);
    CheckContentPaths(in, warnings, errors);
    std::set<std::string> stored;
    for (const CabEntry& e : in.entries) stored.insert(ToLowerAscii(e.storedName));
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
        if (!stored.count(ToLowerAscii(name)))
            errors.push_back("[Runtime] AutoLaunch names " + path + ", which is not under content/");
    }
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

uint16_t SetIdOf(const FolderInput& in) {
    return in.settings.IsSet("Tavo", "GUID2") ? ParseSetId(*in.settings.Get("Tavo", "GUID2"))
                                               : ContentSetId(in.entries);
}

constexpr unsigned kMaxParts = 999;  // the stub reads the part number from the last three characters

struct PartPlan {
    bool multiPart = false;
    std::string base;  // MultipartFileName
    std::string Name(unsigned index) const {
        char n[16];
        std::snprintf(n, sizeof n, ".%03u", index + 1);
        return base + n;
    }
};

void ReadPartPlan(const SettingsText& settings, const BuildOptions& options, PartPlan& plan,
                  std::vector<std::string>& errors) {
    // The stub reads MultiPartDownload as an integer.
    plan.multiPart = std::strtol(settings.Get("Package", "MultiPartDownload").value_or("0").c_str(), nullptr, 10) == 1;
    plan.base = settings.Get("Package", "MultipartFileName").value_or("");
    if (!plan.multiPart) {
        if (options.partSize)
            errors.push_back("--part-size needs a multi-part package: set [Package] MultiPartDownload=1 and "
                             "MultipartFileName");
        return;
    }
    if (plan.base.empty()) {
        errors.push_back("[Package] MultiPartDownload=1 needs MultipartFileName, the base name of the part files");
        return;
    }
    if (std::string why = CheckWindowsName(plan.base); !why.empty() || plan.base.find('/') != std::string::npos)
        errors.push_back("[Package] MultipartFileName " +
                         (why.empty() ? "'" + plan.base + "' holds a folder part" : why));
}

void CheckPasswordSettings(const FolderInput& in, const BuildOptions& options, std::vector<std::string>& errors) {
    if (options.password) {
        if (std::string why = CheckPassword(*options.password); !why.empty()) errors.push_back(why);
        return;
    }
    if (in.settings.Get("Runtime", "ExtractPasswordRequired").value_or("") == "1" &&
        !in.settings.IsSet("Runtime", "ExtractionPassword"))
        errors.push_back("[Runtime] ExtractPasswordRequired=1 but no password is given, so none could ever be "
                         "right; build with --password or --password-env");
}

// Every check that needs no compression: refusals go to `errors`.
void ReviewFolder(const FolderInput& in, const BuildOptions& options, PartPlan& parts,
                  std::vector<std::string>& warnings, std::vector<std::string>& errors) {
    CheckReferences(in, warnings, errors);
    ReadPartPlan(in.settings, options, parts, errors);
    CheckPasswordSettings(in, options, errors);
    std::vector<Finding> findings;
    CheckSettings(in.settings, findings);
    for (const Finding& f : findings) (f.error ? errors : warnings).push_back(f.text);
    uint16_t setId = SetIdOf(in);
    if (setId == 0 || setId == 0xFFFF)
        warnings.push_back("[Tavo] GUID2 gives the set id " + std::to_string(setId) +
                           ", which the stub's part checks read as \"no set\"; leave GUID2 out to get a derived one");
}

// Values the stub needs that only the build knows; an author's own value stays.
void ApplyComputedSettings(SettingsText& settings, const FolderInput& in, const std::vector<CabinetWritten>& cabinets,
                           uint16_t setId, const PartPlan& parts, const std::optional<std::string>& password) {
    uint64_t cabBytes = 0, need = 0;
    constexpr uint64_t kCluster = 4096;
    for (const auto& c : cabinets) cabBytes += c.size;
    for (const CabEntry& e : in.entries) need += (e.size + kCluster - 1) / kCluster * kCluster;
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
        // The stub reads only the start of [Runtime] for the password: put it first.
        settings.SetFirst("Runtime", "ExtractionPassword", ScramblePassword(*password, shift));
        settings.SetFirst("Runtime", "ExtractPasswordRequired", "1");
        settings.Set("Temporary", "Number", std::to_string(shift));
    }
}

// Cabinets written so far (already removed on an interrupt) that go away
// unless the build completes.
struct Cleanup {
    std::vector<std::filesystem::path> paths;
    bool keep = false;
    void Add(const std::filesystem::path& p) { paths.push_back(p); }
    ~Cleanup() {
        std::error_code ec;
        for (const auto& p : paths) {
            if (!keep) std::filesystem::remove(p, ec);
            KeepOnInterrupt(p);
        }
    }
};

struct OutputPlan {
    std::filesystem::path dir, singleCab, spool;
};

OutputPlan PlanOutput(const BuildOptions& options) {
    OutputPlan o;
    std::error_code ec;
    o.dir = std::filesystem::absolute(options.output, ec).parent_path();
    o.singleCab = o.dir / (options.output.filename().string() + ".zelpack-cab");
    o.spool = o.dir / (options.output.filename().string() + ".zelpack-spool");
    return o;
}

bool CheckFolderOutput(const BuildOptions& options, const FolderInput& in, const PartPlan& parts,
                       BuildSummary& summary, std::string& error) {
    OutputPlan o = PlanOutput(options);
    std::vector<NamedPath> extra, inputs = {{"the package folder", options.folder}, {"the stub", options.stub},
                                            {"the settings file", in.settingsPath}, {"content/", in.content}};
    for (const RecordSource& r : in.otherSettings) inputs.push_back({"the settings file", r.file});
    for (const auto& p : {o.singleCab, o.spool})
        for (NamedPath& n : WrittenBeside(p, "the scratch file")) extra.push_back(std::move(n));
    if (parts.multiPart)
        for (unsigned i = 0; i < kMaxParts; ++i)
            for (NamedPath& n : WrittenBeside(o.dir / parts.Name(i), "the part file")) extra.push_back(std::move(n));
    return CheckOutput(options, extra, inputs, summary, error);
}

bool WriteContent(const BuildOptions& options, const FolderInput& in, const PartPlan& parts, uint16_t setId,
                  std::vector<CabinetWritten>& cabinets, std::string& error) {
    OutputPlan o = PlanOutput(options);
    CabOptions cab;
    cab.setId = setId;
    cab.allowSet = parts.multiPart;
    cab.maxCabinets = kMaxParts;
    cab.maxCabinetBytes = parts.multiPart && options.partSize ? std::min(options.partSize, kMaxCabinetBytes)
                                                              : kMaxCabinetBytes;
    cab.threads = options.threads ? options.threads : std::max(1u, std::thread::hardware_concurrency());
    cab.spool = o.spool;
    cab.cabinetName = [parts](unsigned i) { return parts.multiPart ? parts.Name(i) : std::string(); };
    cab.cabinetPath = [parts, o](unsigned i) { return parts.multiPart ? o.dir / parts.Name(i) : o.singleCab; };
    Progress progress("compressing", in.contentBytes, in.entries.size(), options.progress);
    cab.progress = [&progress](uint64_t bytes, uint64_t files) { progress.Add(bytes, files); };
    bool ok = WriteCabinets(in.entries, cab, cabinets, error);
    progress.Done();
    return ok;
}

std::vector<RecordSource> PackageRecords(FolderInput& in, const PartPlan& parts, const OutputPlan& o) {
    std::vector<RecordSource> records;
    RecordSource main;
    main.name = kSettingsFileName;
    main.data = in.settings.ToUtf16();
    records.push_back(std::move(main));
    for (RecordSource& r : in.otherSettings) records.push_back(std::move(r));
    OrderSettingsRecords(records);
    if (!parts.multiPart) {
        RecordSource r;
        r.name = kPackageRecordName;
        r.kind = kKindPackage;
        r.file = o.singleCab;
        records.push_back(std::move(r));
    }
    return records;
}

// Parts of an earlier build of the same set beyond this one's last part: the
// new package would not list them, and they would only mislead.
void RemoveStaleParts(const OutputPlan& o, const PartPlan& parts, size_t count, BuildSummary& summary) {
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator(o.dir, ec)) {
        std::string name = e.path().filename().string();
        if (name.size() < parts.base.size() + 4 || name.compare(0, parts.base.size() + 1, parts.base + ".") != 0)
            continue;
        std::string number = name.substr(parts.base.size() + 1);
        if (number.size() < 3 || number.size() > 9 || number.find_first_not_of("0123456789") != std::string::npos ||
            std::stoul(number) <= count || !e.is_regular_file())
            continue;
        char signature[4] = {};
        size_t got = 0;
        if (UniqueFile f{std::fopen(e.path().c_str(), "rb")}) got = std::fread(signature, 1, 4, f.get());
        if (got == 4 && std::string(signature, 4) == "TAVO" && std::filesystem::remove(e.path(), ec)) {
            summary.removedParts.push_back(name);
            continue;
        }
        summary.warnings.push_back(name + " beside the package is not one of its parts and was left alone");
    }
    std::sort(summary.removedParts.begin(), summary.removedParts.end());
}

// Reads the folder and runs every check; false when the build must not go on.
bool PrepareFolder(const BuildOptions& options, FolderInput& in, PartPlan& parts, BuildSummary& summary,
                   std::string& error) {
    if (!ReadFolder(options, in, summary.warnings, error)) return false;
    ReviewFolder(in, options, parts, summary.warnings, summary.errors);
    if (options.strict) {
        for (const std::string& w : summary.warnings) summary.errors.push_back(w + " (an error with --strict)");
        summary.warnings.clear();
    }
    if (!summary.errors.empty()) {
        error = summary.errors.front();
        return false;
    }
    return true;
}

}  // namespace

bool CheckFolder(const BuildOptions& options, BuildSummary& summary, std::string& error) {
    FolderInput in;
    PartPlan parts;
    return PrepareFolder(options, in, parts, summary, error);
}

bool BuildFromFolder(const BuildOptions& options, BuildSummary& summary, std::string& error) {
    FolderInput in;
    PartPlan parts;
    if (!PrepareFolder(options, in, parts, summary, error)) return false;
    if (!CheckFolderOutput(options, in, parts, summary, error)) return false;
    uint16_t setId = SetIdOf(in);
    std::vector<CabinetWritten> cabinets;
    bool written = WriteContent(options, in, parts, setId, cabinets, error);
    Cleanup cleanup;
    for (const auto& c : cabinets) cleanup.Add(c.path);
    if (!written) return false;

    ApplyComputedSettings(in.settings, in, cabinets, setId, parts, options.password);
    OutputPlan o = PlanOutput(options);
    std::vector<RecordSource> records = PackageRecords(in, parts, o);
    if (!CheckUniqueNames(records, error)) return false;
    Progress packing("packing", TotalSize(records), 0, options.progress);
    if (!WritePackage(options.stub, records, options.output, [&](uint64_t b) { packing.Add(b); }, error,
                      options.finish))
        return false;
    packing.Done();
    cleanup.keep = parts.multiPart;  // the single cabinet now lives in the package
    if (parts.multiPart) RemoveStaleParts(o, parts, cabinets.size(), summary);

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
