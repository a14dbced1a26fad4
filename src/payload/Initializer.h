// The package settings holder. Start-up fills the working folder; the
// package reader, the cabinet engine and the clean-up share the rest.
#pragma once

#include <list>
#include <string>

class CTavoInitalizer {
public:
    // The private working folder, with its trailing backslash; empty until created.
    std::wstring WorkingFolder;
    // The working copy of the package settings file.
    std::wstring SettingsFilePath;
    // What the cabinet engine wrote, in the order written (undone after a cancel).
    std::list<std::wstring> ExtractedFiles;
    std::list<std::wstring> ExtractedFolders;

    const std::wstring& DisplayName() const { return displayName_; }
    void SetDisplayName(const std::wstring& name) { displayName_ = name; }

private:
    std::wstring displayName_;
};

extern CTavoInitalizer theInitializer;
