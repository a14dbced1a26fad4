#include "cabinet/Error.h"

#include <gtest/gtest.h>

namespace {

struct ErrorCase {
    int platformOper, platformType;
    bool platformFlag;
    int ownCode, ownType;
    int code;
    const wchar_t* text;
};

class CabErrorTest : public testing::TestWithParam<ErrorCase> {};

TEST_P(CabErrorTest, CodeAndText) {
    const ErrorCase& c = GetParam();
    CError error;
    *error.PlatformRecord() = ERF{c.platformOper, c.platformType, c.platformFlag};
    error.SetOwnCode(c.ownCode);
    error.SetOwnType(c.ownType);
    EXPECT_EQ(error.GetErrorCode(), c.code);
    EXPECT_EQ(error.GetErrorText(), c.text);
}

INSTANTIATE_TEST_SUITE_P(
    Table, CabErrorTest,
    testing::Values(
        ErrorCase{0, 0, false, 0, 0, 0, L"Success"},
        // A code left in the record without the error flag is no error.
        ErrorCase{4, 0, false, 0, 0, 4, L"Success"},
        ErrorCase{2, 0, true, 0, 0, 2, L"The file is not a cabinet"},
        // The engine stopped the decoder (11) because the path was too long.
        ErrorCase{11, 0, true, 1005, 0, 1005, L"The path is too long. (Max 260 characters are allowed)."},
        ErrorCase{8, 28, true, 0, 0, 8, L"Error Failure writing to target file: 28"},
        ErrorCase{8, 28, true, 0, 112, 8, L"Error Failure writing to target file: 112"},
        ErrorCase{12, 0, true, 0, 0, 12, L"Unknown error"},
        ErrorCase{0, 0, false, 1000, 0, 1000, L"Could not load Cabinet.dll"},
        ErrorCase{0, 0, false, 0, 5, 0, L"Error Success: 5"},
        ErrorCase{11, 0, true, 0, 0, 11, L"User aborted extraction"}));

TEST(CabErrorClear, ClearForgetsEverything) {
    CError error;
    *error.PlatformRecord() = ERF{7, 3, TRUE};
    error.SetOwnCode(1011);
    error.SetOwnType(2);
    error.Clear();
    EXPECT_FALSE(error.HasError());
    EXPECT_EQ(error.GetErrorCode(), 0);
    EXPECT_EQ(error.GetErrorText(), L"Success");
}

}  // namespace
