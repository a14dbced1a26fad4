#include "OutputPaths.h"

#include "ByteIo.h"

namespace zelpack {
namespace {

std::filesystem::path Real(const std::filesystem::path& p) {
    std::error_code ec;
    std::filesystem::path absolute = std::filesystem::absolute(p, ec);
    if (ec) return p.lexically_normal();
    std::filesystem::path real = std::filesystem::weakly_canonical(absolute, ec);
    return ec ? absolute.lexically_normal() : real;
}

bool SameOrInside(const std::filesystem::path& child, const std::filesystem::path& parent) {
    std::filesystem::path rel = child.lexically_relative(parent);
    return !rel.empty() && *rel.begin() != "..";
}

bool SameFile(const std::filesystem::path& a, const std::filesystem::path& b) {
    std::error_code ec;
    return std::filesystem::exists(a, ec) && std::filesystem::exists(b, ec) && std::filesystem::equivalent(a, b, ec);
}

}  // namespace

std::string FindInputClash(const std::vector<NamedPath>& written, const std::vector<NamedPath>& inputs) {
    std::vector<std::filesystem::path> realInputs;
    for (const NamedPath& in : inputs) realInputs.push_back(Real(in.path));
    for (const NamedPath& out : written) {
        std::filesystem::path real = Real(out.path);
        for (size_t i = 0; i < inputs.size(); ++i) {
            bool same = real == realInputs[i] || SameFile(out.path, inputs[i].path);
            if (!same && !SameOrInside(real, realInputs[i])) continue;
            return out.what + " " + PathText(out.path) + (same ? " would overwrite " : " would lie inside ") +
                   inputs[i].what + " " + PathText(inputs[i].path) +
                   "; write the package somewhere else";
        }
    }
    return {};
}

std::string CheckOutputPlace(const std::filesystem::path& output) {
    std::error_code ec;
    if (output.empty() || std::filesystem::is_directory(output, ec) || !output.has_filename())
        return "-o " + PathText(output) + " names a folder; give the package's file name, for example " +
               PathText(output / "Setup.exe");
    std::filesystem::path folder = std::filesystem::absolute(output, ec).parent_path();
    if (!std::filesystem::is_directory(folder, ec))
        return "the folder " + PathText(folder) + " for -o does not exist; create it first";
    return {};
}

}  // namespace zelpack
