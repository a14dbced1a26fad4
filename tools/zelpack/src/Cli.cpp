#include "Cli.h"

#include <cinttypes>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <optional>

#include "Cabinet.h"
#include "Container.h"
#include "Hash.h"
#include "Interrupt.h"
#include "PackageBuilder.h"
#include "Progress.h"
#include "SettingsText.h"
#include "Signing.h"

#ifndef ZELPACK_VERSION
#define ZELPACK_VERSION "1.1.0"
#endif

namespace zelpack {
namespace {

const char kUsage[] =
    "usage: zelpack build FOLDER -o OUTPUT.exe [options]\n"
    "       zelpack build -o OUTPUT.exe --stub STUB.exe --cabinet CAB SETTINGS_FILE...\n"
    "       zelpack check FOLDER [--strict]\n"
    "       zelpack inspect PACKAGE.exe\n"
    "       zelpack sign PACKAGE.exe --sign-cert CERT.pem --sign-key KEY.pem\n"
    "       zelpack --version | COMMAND --help\n"
    "\n"
    "build FOLDER   makes a package from a package folder: Properties_Tavo.ini and the\n"
    "               other settings files at its top level, the tree to install in content/\n"
    "build --cabinet  packs given settings files and an already-made cabinet\n"
    "check          runs every check of build on a package folder and writes nothing\n"
    "inspect        prints the payload offset, every record, the signer, the content\n"
    "               files and the part files\n"
    "sign           signs a finished package (Authenticode, through osslsigncode)\n"
    "\n"
    "exit codes: 0 success, 1 inputs refused or writing failed, 2 bad command line\n"
    "(docs/exit-codes.md)\n";

const char kBuildHelp[] =
    "usage: zelpack build FOLDER -o OUTPUT.exe [options]\n"
    "       zelpack build -o OUTPUT.exe --stub STUB.exe --cabinet CAB SETTINGS_FILE...\n"
    "\n"
    "  -o, --output FILE      the package to write (part files go beside it); it may not be\n"
    "                         or lie inside an input\n"
    "  --stub FILE            the stub to pack (default: ZelSelfExtractorUI.exe next to zelpack)\n"
    "  --cabinet FILE         the cabinet for the package record (container-only build)\n"
    "  --part-size SIZE       largest part file of a multi-part package: a whole number of\n"
    "                         bytes, or with K, M or G; at most 2147450879 bytes\n"
    "  --password TEXT        require this extraction password\n"
    "  --password-env NAME    take the password from environment variable NAME\n"
    "  --sign-cert FILE       sign the finished package with this PEM certificate ...\n"
    "  --sign-key FILE        ... and this PEM private key (both needed to sign)\n"
    "  --sign-pass-env NAME   the private key's password, from environment variable NAME\n"
    "  --threads N            compression threads (default: number of cores)\n"
    "  --strict               warnings refuse the build too\n"
    "  -q, --quiet            no progress line and no summary\n"
    "  -h, --help             this text\n";

const char kCheckHelp[] =
    "usage: zelpack check FOLDER [--strict] [--password TEXT | --password-env NAME]\n"
    "\n"
    "Runs every check build makes before it writes anything and prints the warnings\n"
    "and errors. Exit code 0: no error; 1: an error (with --strict, a warning too).\n";

const char kInspectHelp[] =
    "usage: zelpack inspect PACKAGE.exe\n"
    "\n"
    "Prints the image kind, the stamped payload offset, every record (name, kind, size,\n"
    "SHA-256), the signer of a signed package, the files of the package cabinet and,\n"
    "for a multi-part package, each part file beside it with its hash.\n";

const char kSignHelp[] =
    "usage: zelpack sign PACKAGE.exe --sign-cert CERT.pem --sign-key KEY.pem [--sign-pass-env NAME]\n"
    "\n"
    "Signs a finished package in place with Authenticode (osslsigncode). Part files\n"
    "stay unsigned.\n";

const char kPartSizeRule[] =
    "--part-size wants a whole number of bytes above 0, optionally followed by K, M or G, "
    "at most 2147450879 bytes (just under 2 GiB)";

// Digits and an optional K, M or G; nothing else, so "-5" and "1.5M" are refused.
bool ParseSize(const std::string& text, uint64_t& value) {
    size_t digits = text.find_first_not_of("0123456789");
    if (digits == std::string::npos) digits = text.size();
    if (digits == 0 || digits > 12) return false;
    std::string unit = text.substr(digits);
    uint64_t scale = 1;
    if (unit == "K" || unit == "k") scale = 1024;
    else if (unit == "M" || unit == "m") scale = 1024 * 1024;
    else if (unit == "G" || unit == "g") scale = 1024ull * 1024 * 1024;
    else if (!unit.empty()) return false;
    value = std::stoull(text.substr(0, digits)) * scale;
    return true;
}

std::filesystem::path DefaultStub() {
    std::error_code ec;
    std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec) return "ZelSelfExtractorUI.exe";
    return self.parent_path() / "ZelSelfExtractorUI.exe";
}

// The options of one command line, each at most once.
struct CommandLine {
    std::string command;
    std::map<std::string, std::string> values;  // by long name
    std::vector<std::string> flags;
    std::vector<std::string> positional;
    bool Has(const std::string& name) const { return values.count(name) != 0; }
    bool Flag(const std::string& name) const {
        return std::find(flags.begin(), flags.end(), name) != flags.end();
    }
    std::string Value(const std::string& name) const { return Has(name) ? values.at(name) : std::string(); }
};

struct OptionSpec {
    const char* name;
    const char* shortName;
    bool takesValue;
    const char* commands;  // the commands that take it, as " build check "
};

const OptionSpec kOptions[] = {
    {"--output", "-o", true, " build "},        {"--stub", nullptr, true, " build "},
    {"--cabinet", nullptr, true, " build "},    {"--part-size", nullptr, true, " build "},
    {"--password", nullptr, true, " build check "}, {"--password-env", nullptr, true, " build check "},
    {"--sign-cert", nullptr, true, " build sign "}, {"--sign-key", nullptr, true, " build sign "},
    {"--sign-pass-env", nullptr, true, " build sign "}, {"--threads", nullptr, true, " build "},
    {"--strict", nullptr, false, " build check "}, {"--quiet", "-q", false, " build "},
};

// Fills `line`; returns -1 when it is usable, else the exit code after a message.
int ParseCommandLine(const std::vector<std::string>& args, CommandLine& line, std::ostream& err) {
    line.command = args[0];
    const std::string who = "zelpack " + line.command + ": ";
    for (size_t i = 1; i < args.size(); ++i) {
        const std::string& a = args[i];
        const OptionSpec* spec = nullptr;
        for (const OptionSpec& o : kOptions)
            if (a == o.name || (o.shortName && a == o.shortName)) spec = &o;
        if (!spec) {
            if (!a.empty() && a[0] == '-' && a != "-") {
                err << who << "unknown option '" << a << "' (zelpack " << line.command << " --help)\n";
                return kExitUsage;
            }
            line.positional.push_back(a);
            continue;
        }
        if (std::string(spec->commands).find(" " + line.command + " ") == std::string::npos) {
            err << who << a << " does not apply to " << line.command << "\n";
            return kExitUsage;
        }
        if (line.Has(spec->name) || line.Flag(spec->name)) {
            err << who << a << " is given twice; give it once\n";
            return kExitUsage;
        }
        if (!spec->takesValue) {
            line.flags.push_back(spec->name);
            continue;
        }
        if (i + 1 >= args.size()) {
            err << who << a << " needs a value\n";
            return kExitUsage;
        }
        line.values[spec->name] = args[++i];
    }
    if (line.Has("--password") && line.Has("--password-env")) {
        err << who << "--password and --password-env both give the password; give one\n";
        return kExitUsage;
    }
    if (line.Has("--sign-cert") != line.Has("--sign-key")) {
        err << who << "signing needs both --sign-cert and --sign-key\n";
        return kExitUsage;
    }
    return -1;
}

// The password of --password or --password-env; -1 when fine, else the exit code.
int ReadPassword(const CommandLine& line, std::optional<std::string>& password, std::ostream& err) {
    if (line.Has("--password")) password = line.Value("--password");
    if (line.Has("--password-env")) {
        const char* text = std::getenv(line.Value("--password-env").c_str());
        if (!text) {
            err << "zelpack " << line.command << ": environment variable " << line.Value("--password-env")
                << " is not set\n";
            return kExitFailed;
        }
        password = text;
    }
    return -1;
}

int BuildOptionsFrom(const CommandLine& line, BuildOptions& options, std::ostream& err) {
    const std::string who = "zelpack " + line.command + ": ";
    options.output = line.Value("--output");
    options.stub = line.Has("--stub") ? std::filesystem::path(line.Value("--stub")) : DefaultStub();
    options.strict = line.Flag("--strict");
    options.quiet = line.Flag("--quiet");
    options.progress = !options.quiet && StderrIsTerminal();
    if (line.Has("--part-size")) {
        if (!ParseSize(line.Value("--part-size"), options.partSize) || options.partSize == 0 ||
            options.partSize > kMaxCabinetBytes) {
            err << who << kPartSizeRule << "; got '" << line.Value("--part-size") << "'\n";
            return kExitUsage;
        }
    }
    if (line.Has("--threads")) {
        uint64_t n = 0;
        if (line.Value("--threads").find_first_not_of("0123456789") != std::string::npos ||
            !ParseSize(line.Value("--threads"), n) || n == 0 || n > 256) {
            err << who << "--threads wants a number from 1 to 256\n";
            return kExitUsage;
        }
        options.threads = unsigned(n);
    }
    return ReadPassword(line, options.password, err);
}

void PrintFindings(const BuildSummary& summary, const std::string& who, std::ostream& err) {
    for (const std::string& w : summary.warnings) err << who << "warning: " << w << "\n";
    for (const std::string& e : summary.errors) err << who << "error: " << e << "\n";
}

SignOptions SignOptionsFrom(const CommandLine& line) {
    return {line.Value("--sign-cert"), line.Value("--sign-key"), line.Value("--sign-pass-env")};
}

int Sign(const CommandLine& line, const std::filesystem::path& package, std::ostream& err) {
    const SignOptions sign = SignOptionsFrom(line);
    std::string error;
    if (!SignPackage(package, sign, error)) {
        err << "zelpack " << line.command << ": " << error << "\n";
        return kExitFailed;
    }
    return kExitOk;
}

int RunBuild(const CommandLine& line, std::ostream& out, std::ostream& err) {
    BuildOptions options;
    if (int rc = BuildOptionsFrom(line, options, err); rc >= 0) return rc;
    if (options.output.empty()) {
        err << "zelpack build: name the package to write with -o\n";
        return kExitUsage;
    }
    std::string error;
    BuildSummary summary;
    const SignOptions sign = SignOptionsFrom(line);
    // Signed before it takes the output's place: a failed signing leaves an
    // earlier package there as it was.
    if (line.Has("--sign-cert"))
        options.finish = [&](const std::filesystem::path& complete, std::string& e) {
            return SignPackage(complete, sign, e, options.output);
        };
    bool built;
    if (line.Has("--cabinet")) {
        if (line.positional.empty()) {
            err << "zelpack build: give the settings files to pack with the cabinet\n";
            return kExitUsage;
        }
        if (options.password) {
            err << "zelpack build: --password needs a package folder (it rewrites Properties_Tavo.ini)\n";
            return kExitUsage;
        }
        built = BuildFromFiles(options, line.positional, line.Value("--cabinet"), summary, error);
    } else {
        if (line.positional.size() != 1) {
            err << "zelpack build: give exactly one package folder (or --cabinet with settings files)\n";
            return kExitUsage;
        }
        options.folder = line.positional[0];
        built = BuildFromFolder(options, summary, error);
    }
    PrintFindings(summary, "zelpack build: ", err);
    if (!built) {
        if (summary.errors.empty()) err << "zelpack build: " << error << "\n";
        else err << "zelpack build: nothing was written\n";
        return summary.commandLineError ? kExitUsage : kExitFailed;
    }
    if (!options.quiet && !line.Has("--cabinet")) out << summary.Text();
    return kExitOk;
}

int RunCheck(const CommandLine& line, std::ostream& out, std::ostream& err) {
    if (line.positional.size() != 1) {
        err << "zelpack check: give exactly one package folder\n";
        return kExitUsage;
    }
    BuildOptions options;
    options.folder = line.positional[0];
    options.strict = line.Flag("--strict");
    if (int rc = ReadPassword(line, options.password, err); rc >= 0) return rc;
    BuildSummary summary;
    std::string error;
    bool clean = CheckFolder(options, summary, error);
    PrintFindings(summary, "zelpack check: ", err);
    if (!clean && summary.errors.empty()) {
        err << "zelpack check: " << error << "\n";
        return kExitFailed;
    }
    out << summary.errors.size() << " errors, " << summary.warnings.size() << " warnings\n";
    return clean ? kExitOk : kExitFailed;
}

// The files of the cabinet at [offset, offset + size) of `file`.
void PrintCabinet(const std::filesystem::path& file, uint64_t offset, uint64_t size, std::ostream& out) {
    UniqueFile f(std::fopen(file.c_str(), "rb"));
    CabListing listing;
    std::string error;
    if (!f || !ListCabinet(f.get(), offset, size, listing, error)) {
        out << "    (cannot list: " << (f ? error : "cannot open") << ")\n";
        return;
    }
    for (const CabListing::File& c : listing.files) {
        if (c.folder == kContinuedFromPrev || c.folder == kContinuedBoth) continue;  // listed with its first part
        out << "    " << c.name << "  " << c.size << " bytes"
            << (c.folder == kContinuedToNext ? "  (continues in the next part)" : "") << "\n";
    }
}

void PrintParts(const std::filesystem::path& package, const SettingsText& settings, std::ostream& out) {
    std::string base = settings.Get("Package", "MultipartFileName").value_or("");
    std::filesystem::path folder = std::filesystem::absolute(package).parent_path();
    for (const auto& [key, value] : settings.Keys("PartFileIno")) {
        if (value.empty()) continue;
        std::filesystem::path part = folder / (base + "." + key);
        std::string expected = settings.Get("HashCode", key).value_or("");
        std::error_code ec;
        uint64_t size = std::filesystem::file_size(part, ec);
        if (ec) {
            out << "  " << part.filename().string() << "  missing\n";
            continue;
        }
        std::string hash = Sha1OfFile(part).substr(0, 32);
        out << "  " << part.filename().string() << "  " << size << " bytes  sha1/128 " << hash
            << (hash == expected ? "  (matches [HashCode])" : "  (differs from [HashCode] " + expected + ")") << "\n";
        PrintCabinet(part, 0, size, out);
    }
}

int RunInspect(const CommandLine& line, std::ostream& out, std::ostream& err) {
    if (line.positional.size() != 1) {
        err << "zelpack inspect: give exactly one package file\n" << kInspectHelp;
        return kExitUsage;
    }
    const std::filesystem::path file = line.positional[0];
    PackageInfo info;
    std::string error;
    if (!InspectPackage(file, info, error)) {
        err << "zelpack inspect: " << error << "\n";
        return kExitFailed;
    }
    out << "file: " << file.string() << "\n";
    out << "image: " << (info.is64 ? "PE32+" : "PE32") << "\n";
    out << "payload offset: " << info.payloadStart << "\n";
    out << "records: " << info.records.size() << "\n";
    for (const RecordInfo& r : info.records) {
        const char* kind = r.kind == kKindSettings ? "settings" : r.kind == kKindPackage ? "package" : "unknown";
        out << "  " << r.name << "  kind " << r.kind << " (" << kind << ")  size " << r.size << "  sha256 "
            << r.sha256 << "\n";
    }
    if (info.trailingBytes) out << "after the records: " << info.trailingBytes << " bytes\n";
    if (info.signatureSize) {
        std::string signer = SignerOf(file, info.signatureOffset, info.signatureSize);
        out << "signature: " << info.signatureSize << " bytes at " << info.signatureOffset
            << ", signer: " << (signer.empty() ? "(unreadable)" : signer) << "\n";
    } else {
        out << "signature: none\n";
    }
    for (const RecordInfo& r : info.records) {
        if (r.kind == kKindPackage) {
            out << "content of " << r.name << ":\n";
            PrintCabinet(file, r.dataOffset, r.size, out);
        }
    }
    for (const RecordInfo& r : info.records) {
        if (r.kind != kKindSettings || !EqualsNoCase(r.name, kSettingsFileName)) continue;
        Bytes raw(r.size);
        UniqueFile f(std::fopen(file.c_str(), "rb"));
        SettingsText settings;
        if (f && fseeko(f.get(), off_t(r.dataOffset), SEEK_SET) == 0 &&
            std::fread(raw.data(), 1, raw.size(), f.get()) == raw.size() && SettingsText::Parse(raw, settings, error) &&
            std::strtol(settings.Get("Package", "MultiPartDownload").value_or("0").c_str(), nullptr, 10) == 1) {
            out << "parts:\n";
            PrintParts(file, settings, out);
        }
    }
    return kExitOk;
}

int RunSign(const CommandLine& line, std::ostream&, std::ostream& err) {
    if (line.positional.size() != 1 || !line.Has("--sign-cert")) {
        err << kSignHelp;
        return kExitUsage;
    }
    return Sign(line, line.positional[0], err);
}

}  // namespace

int RunZelpack(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    if (args.empty()) {
        err << kUsage;
        return kExitUsage;
    }
    if (args[0] == "--version") {
        out << "zelpack " << ZELPACK_VERSION << "\n";
        return kExitOk;
    }
    static const std::map<std::string, std::pair<const char*, int (*)(const CommandLine&, std::ostream&,
                                                                     std::ostream&)>>
        commands = {{"build", {kBuildHelp, RunBuild}},
                    {"check", {kCheckHelp, RunCheck}},
                    {"inspect", {kInspectHelp, RunInspect}},
                    {"sign", {kSignHelp, RunSign}}};
    auto command = commands.find(args[0]);
    bool help = std::find_if(args.begin(), args.end(), [](const std::string& a) {
                    return a == "-h" || a == "--help";
                }) != args.end();
    if (command == commands.end()) {
        if (help) {
            out << kUsage;
            return kExitOk;
        }
        err << "zelpack: unknown command '" << args[0] << "'\n" << kUsage;
        return kExitUsage;
    }
    if (help) {
        out << command->second.first;
        return kExitOk;
    }
    CommandLine line;
    if (int rc = ParseCommandLine(args, line, err); rc >= 0) return rc;
    InstallInterruptCleanup();
    return command->second.second(line, out, err);
}

}  // namespace zelpack
