// The outcome of the last cabinet operation: the platform decoder's error
// record, overridden by the engine's own code and type when those are set.
#pragma once

#include <windows.h>

#include <fdi.h>

#include <string>

// Own codes of the engine, beside the decoder's 0 to 11.
enum CabOwnCode {
    CabCodeNotACabinet = 2,
    CabCodeUserAborted = 11,
    CabCodeNoCabinetDll = 1000,
    CabCodeBadParameters = 1002,
    CabCodePathTooLong = 1005,
    CabCodeReadOnlyNotRemoved = 1011,
    // A stored name that would land outside the extraction folder.
    CabCodeUnsafeName = 1012,
};

class CError {
public:
    CError() = default;
    virtual ~CError() = default;

    // Handed to the decoder, which fills it in on failure.
    ERF* PlatformRecord() { return &platform_; }

    void Clear();
    void SetOwnCode(int code) { ownCode_ = code; }
    void SetOwnType(int type) { ownType_ = type; }

    bool HasError() const;
    int GetErrorCode() const;
    const std::wstring& GetErrorText();

private:
    ERF platform_ = {};
    int ownCode_ = 0;
    int ownType_ = 0;
    std::wstring text_;
};

// The table text of an extraction error code ("Unknown error" when unknown).
const wchar_t* GetCabErrorTableText(int code);
