// Authenticode signing of a finished package through osslsigncode. Signing
// comes last: the certificate table goes behind the records, where the stub's
// reader stops, and part files stay unsigned data.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace zelpack {

struct SignOptions {
    std::filesystem::path cert;  // PEM certificate (chain)
    std::filesystem::path key;   // PEM private key
    std::string keyPasswordEnv;  // environment variable holding the key's password, if any
};

// Signs `package` in place (through a temporary file). Messages name it
// `shownAs` when given (a package still under its temporary name).
bool SignPackage(const std::filesystem::path& package, const SignOptions& options, std::string& error,
                 const std::filesystem::path& shownAs = {});

// The subject of the certificate that signed the table at [offset, offset+size)
// of `package`; empty when it cannot be read.
std::string SignerOf(const std::filesystem::path& package, uint64_t offset, uint64_t size);

// Runs a program with arguments (no shell); its output lands in `output`.
int RunProgram(const std::vector<std::string>& argv, std::string& output);

}  // namespace zelpack
