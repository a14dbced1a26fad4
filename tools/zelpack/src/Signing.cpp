#include "Signing.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include "ByteIo.h"
#include "Interrupt.h"

extern char** environ;

namespace zelpack {
namespace {

constexpr size_t kWinCertificateHeader = 8;  // length (4), revision (2), type (2), then PKCS#7

// A new private file in the temporary folder, by name; -1 on failure.
int MakeTempFile(const char* stem, std::string& name) {
    name = (std::filesystem::temp_directory_path() / (std::string(stem) + "XXXXXX")).string();
    return mkstemp(name.data());
}

bool ReadRange(const std::filesystem::path& file, uint64_t offset, uint64_t size, Bytes& out) {
    UniqueFile f(std::fopen(file.c_str(), "rb"));
    if (!f) return false;
    out.resize(size_t(size));
    return fseeko(f.get(), off_t(offset), SEEK_SET) == 0 &&
           std::fread(out.data(), 1, out.size(), f.get()) == out.size();
}

}  // namespace

int RunProgram(const std::vector<std::string>& argv, std::string& output) {
    int pipeFds[2];
    if (pipe(pipeFds) != 0) return -1;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 1);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 2);
    posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    pid_t pid;
    int spawned = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(pipeFds[1]);
    if (spawned != 0) {
        close(pipeFds[0]);
        output = std::strerror(spawned);
        return -1;
    }
    char buffer[4096];
    ssize_t n;
    while ((n = read(pipeFds[0], buffer, sizeof buffer)) > 0) output.append(buffer, size_t(n));
    close(pipeFds[0]);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool SignPackage(const std::filesystem::path& package, const SignOptions& options, std::string& error,
                 const std::filesystem::path& shownAs) {
    const std::filesystem::path& shown = shownAs.empty() ? package : shownAs;
    for (const auto& [what, path] : {std::pair{"certificate", options.cert}, std::pair{"key", options.key}}) {
        if (!std::filesystem::is_regular_file(path)) {
            error = std::string("the signing ") + what + " " + PathText(path) + " does not exist";
            return false;
        }
    }
    std::filesystem::path signedFile = package;
    signedFile += ".zelpack-signed";
    std::vector<std::string> argv = {"osslsigncode", "sign", "-certs", options.cert.string(), "-key",
                                     options.key.string(), "-h", "sha256"};
    // The key's password goes through a private file, never on a command line others can list.
    std::string passFile;
    if (!options.keyPasswordEnv.empty()) {
        const char* pass = std::getenv(options.keyPasswordEnv.c_str());
        if (!pass) {
            error = "environment variable " + options.keyPasswordEnv + " is not set";
            return false;
        }
        std::string name;
        int fd = MakeTempFile("zelpack-pass-", name);
        if (fd < 0 || write(fd, pass, std::strlen(pass)) != ssize_t(std::strlen(pass))) {
            if (fd >= 0) close(fd);
            error = std::string("cannot hand the key's password to osslsigncode: ") + std::strerror(errno);
            return false;
        }
        close(fd);
        passFile = name;
        RemoveOnInterrupt(passFile);
        argv.insert(argv.end(), {"-readpass", passFile});
    }
    argv.insert(argv.end(), {"-in", package.string(), "-out", signedFile.string()});
    RemoveOnInterrupt(signedFile);
    std::string output;
    int rc = RunProgram(argv, output);
    std::error_code ec;
    if (!passFile.empty()) {
        std::filesystem::remove(passFile, ec);
        KeepOnInterrupt(passFile);
    }
    if (rc != 0) {
        std::filesystem::remove(signedFile, ec);
        KeepOnInterrupt(signedFile);
        error = rc < 0 && output.find("No such file") != std::string::npos
                    ? "osslsigncode is not installed; install it (Debian: apt-get install osslsigncode)"
                    : "osslsigncode could not sign " + PathText(shown) + ": " + output;
        return false;
    }
    std::filesystem::rename(signedFile, package, ec);
    KeepOnInterrupt(signedFile);
    if (ec) {
        std::filesystem::remove(signedFile, ec);
        error = "cannot replace " + PathText(shown) + " with its signed form: " + ec.message();
        return false;
    }
    return true;
}

std::string SignerOf(const std::filesystem::path& package, uint64_t offset, uint64_t size) {
    Bytes table;
    if (size <= kWinCertificateHeader || !ReadRange(package, offset, size, table)) return {};
    std::string name;
    int fd = MakeTempFile("zelpack-signature-", name);
    if (fd < 0) return {};
    const uint8_t* der = table.data() + kWinCertificateHeader;
    size_t left = table.size() - kWinCertificateHeader;
    bool written = write(fd, der, left) == ssize_t(left);
    close(fd);
    std::string output;
    int rc = written ? RunProgram({"openssl", "pkcs7", "-inform", "DER", "-in", name, "-print_certs", "-noout"},
                                  output)
                     : -1;
    std::remove(name.c_str());
    if (rc != 0) return {};
    size_t at = output.find("subject=");
    if (at == std::string::npos) return {};
    size_t end = output.find('\n', at);
    return output.substr(at + 8, end == std::string::npos ? std::string::npos : end - at - 8);
}

}  // namespace zelpack
