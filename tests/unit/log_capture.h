// Captures what theLog writes while a test runs.
#pragma once

#include "logging/LogFile.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

namespace zel_test {

// Log lines written while the object lives.
class LogCapture {
public:
    LogCapture() : oldPath_(theLog.GetFilePath()), oldLevel_(theLog.GetLogLevel()) {
        theLog.InitLog(dir_.File(L"test.log"), 11);
    }
    ~LogCapture() { theLog.InitLog(oldPath_, oldLevel_); }
    std::string Text() const {
        std::string text;
        for (char c : ReadBytes(dir_.File(L"test.log")))
            if (c != '\0') text += c;
        // The source column is padded to a fixed width; compare without the padding.
        static const std::regex kPaddedSource("(\\|.{10}\\|[^|\r\n]*?) +\\|");
        return std::regex_replace(text, kPaddedSource, "$1 |");
    }

private:
    TempDir dir_;
    std::wstring oldPath_;
    int oldLevel_;
};

// Expects each part in the text, in this order.
inline void ExpectInOrder(const std::string& text, const std::vector<std::string>& parts) {
    size_t pos = 0;
    for (const std::string& part : parts) {
        size_t found = text.find(part, pos);
        ASSERT_NE(found, std::string::npos) << "missing or out of order: " << part << "\nlog:\n" << text;
        pos = found + part.size();
    }
}

}  // namespace zel_test
