#include "Cli.h"

#include <cinttypes>
#include <cstdlib>
#include <filesystem>
#include <optional>

#include "Container.h"
#include "PackageBuilder.h"
#include "Progress.h"

namespace zelpack {
namespace {

const char kUsage[] =
    "usage: zelpack build FOLDER -o OUTPUT.exe [options]\n"
    "       zelpack build -o OUTPUT.exe --stub STUB.exe --cabinet CAB SETTINGS_FILE...\n"
    "       zelpack inspect PACKAGE.exe\n"
    "\n"
    "build FOLDER   makes a package from a package folder: Properties_Tavo.ini and the\n"
    "               other settings files at its top level, the tree to install in content/\n"
    "build --cabinet  packs given settings files and an already-made cabinet\n"
    "inspect        prints the stamped payload offset and every record\n"
    "\n"
    "options:\n"
    "  -o, --output FILE      the package to write (part files go beside it)\n"
    "  --stub FILE            the stub to pack (default: ZelSelfExtractorUI.exe next to zelpack)\n"
    "  --cabinet FILE         the cabinet for the package record (container-only build)\n"
    "  --part-size SIZE       largest part file for multi-part packages (bytes, or with K, M, G)\n"
    "  --password TEXT        require this extraction password\n"
    "  --password-env NAME    take the password from environment variable NAME\n"
    "  --threads N            compression threads (default: number of cores)\n"
    "  -q, --quiet            no progress line and no summary\n"
    "  -h, --help             this text\n"
    "\n"
    "exit codes: 0 success, 1 inputs refused or writing failed, 2 bad command line\n";

bool ParseSize(const std::string& text, uint64_t& value) {
    if (text.empty()) return false;
    size_t used = 0;
    unsigned long long n;
    try {
        n = std::stoull(text, &used, 10);
    } catch (...) {
        return false;
    }
    std::string unit = text.substr(used);
    uint64_t scale = 1;
    if (unit == "K" || unit == "k") scale = 1024;
    else if (unit == "M" || unit == "m") scale = 1024 * 1024;
    else if (unit == "G" || unit == "g") scale = 1024ull * 1024 * 1024;
    else if (!unit.empty()) return false;
    if (n > UINT64_MAX / scale) return false;
    value = n * scale;
    return true;
}

std::filesystem::path DefaultStub() {
    std::error_code ec;
    std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec) return "ZelSelfExtractorUI.exe";
    return self.parent_path() / "ZelSelfExtractorUI.exe";
}

int Inspect(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    if (args.size() != 2) {
        err << "zelpack inspect: give exactly one package file\n" << kUsage;
        return kExitUsage;
    }
    PackageInfo info;
    std::string error;
    if (!InspectPackage(args[1], info, error)) {
        err << "zelpack inspect: " << error << "\n";
        return kExitFailed;
    }
    out << "file: " << args[1] << "\n";
    out << "image: " << (info.is64 ? "PE32+" : "PE32") << "\n";
    out << "payload offset: " << info.payloadStart << "\n";
    out << "records: " << info.records.size() << "\n";
    for (const RecordInfo& r : info.records) {
        const char* kind = r.kind == kKindSettings ? "settings" : r.kind == kKindPackage ? "package" : "unknown";
        out << "  " << r.name << "  kind " << r.kind << " (" << kind << ")  size " << r.size << "  sha256 "
            << r.sha256 << "\n";
    }
    if (info.trailingBytes) out << "after the records: " << info.trailingBytes << " bytes\n";
    return kExitOk;
}

}  // namespace

int RunZelpack(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    if (args.empty()) {
        err << kUsage;
        return kExitUsage;
    }
    for (const std::string& a : args) {
        if (a == "-h" || a == "--help") {
            out << kUsage;
            return kExitOk;
        }
    }
    if (args[0] == "inspect") return Inspect(args, out, err);
    if (args[0] != "build") {
        err << "zelpack: unknown command '" << args[0] << "'\n" << kUsage;
        return kExitUsage;
    }

    BuildOptions options;
    std::optional<std::filesystem::path> cabinet;
    std::vector<std::string> positional;
    std::string passwordEnv;
    auto value = [&](size_t& i, std::string& into) {
        if (i + 1 >= args.size()) {
            err << "zelpack build: " << args[i] << " needs a value\n";
            return false;
        }
        into = args[++i];
        return true;
    };
    for (size_t i = 1; i < args.size(); ++i) {
        const std::string& a = args[i];
        std::string v;
        if (a == "-o" || a == "--output") {
            if (!value(i, v)) return kExitUsage;
            options.output = v;
        } else if (a == "--stub") {
            if (!value(i, v)) return kExitUsage;
            options.stub = v;
        } else if (a == "--cabinet") {
            if (!value(i, v)) return kExitUsage;
            cabinet = v;
        } else if (a == "--part-size") {
            if (!value(i, v)) return kExitUsage;
            if (!ParseSize(v, options.partSize)) {
                err << "zelpack build: --part-size wants a number of bytes, optionally with K, M or G\n";
                return kExitUsage;
            }
        } else if (a == "--password") {
            if (!value(i, v)) return kExitUsage;
            options.password = v;
        } else if (a == "--password-env") {
            if (!value(i, passwordEnv)) return kExitUsage;
        } else if (a == "--threads") {
            if (!value(i, v)) return kExitUsage;
            uint64_t n;
            if (!ParseSize(v, n) || n == 0 || n > 256) {
                err << "zelpack build: --threads wants a number from 1 to 256\n";
                return kExitUsage;
            }
            options.threads = unsigned(n);
        } else if (a == "-q" || a == "--quiet") {
            options.quiet = true;
        } else if (!a.empty() && a[0] == '-') {
            err << "zelpack build: unknown option '" << a << "'\n" << kUsage;
            return kExitUsage;
        } else {
            positional.push_back(a);
        }
    }
    if (options.output.empty()) {
        err << "zelpack build: name the package to write with -o\n";
        return kExitUsage;
    }
    if (!passwordEnv.empty()) {
        const char* text = std::getenv(passwordEnv.c_str());
        if (!text) {
            err << "zelpack build: environment variable " << passwordEnv << " is not set\n";
            return kExitFailed;
        }
        options.password = text;
    }
    if (options.stub.empty()) options.stub = DefaultStub();
    options.progress = !options.quiet && StderrIsTerminal();

    std::string error;
    if (cabinet) {
        if (positional.empty()) {
            err << "zelpack build: give the settings files to pack with the cabinet\n";
            return kExitUsage;
        }
        if (options.password) {
            err << "zelpack build: --password needs a package folder (it rewrites Properties_Tavo.ini)\n";
            return kExitUsage;
        }
        BuildSummary summary;
        bool built = BuildFromFiles(options, positional, *cabinet, summary, error);
        for (const std::string& w : summary.warnings) err << "zelpack build: warning: " << w << "\n";
        if (!built) {
            err << "zelpack build: " << error << "\n";
            return kExitFailed;
        }
        return kExitOk;
    }
    if (positional.size() != 1) {
        err << "zelpack build: give exactly one package folder (or --cabinet with settings files)\n";
        return kExitUsage;
    }
    options.folder = positional[0];
    BuildSummary summary;
    bool built = BuildFromFolder(options, summary, error);
    for (const std::string& w : summary.warnings) err << "zelpack build: warning: " << w << "\n";
    if (!built) {
        err << "zelpack build: " << error << "\n";
        return kExitFailed;
    }
    if (!options.quiet) out << summary.Text();
    return kExitOk;
}

}  // namespace zelpack
