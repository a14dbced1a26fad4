// Runs the stub's own payload reader on a packed executable, so that the
// end-to-end tests can look at what each pass copies:
//   payload_probe subtype FILE             print the stamped payload offset
//   payload_probe extract FILE FOLDER KIND run one pass (200 settings,
//                                          100 package) into FOLDER and
//                                          print its result
#include "payload/Extractor.h"
#include "payload/VersionInfo.h"

#include <cstdio>
#include <cwchar>
#include <string>

int wmain(int argc, wchar_t** argv) {
    if (argc == 3 && std::wcscmp(argv[1], L"subtype") == 0) {
        std::printf("%lu\n", static_cast<unsigned long>(CTavoVersionInfoUpdater::GetModuleVersionSubtype(argv[2])));
        return 0;
    }
    if (argc == 5 && std::wcscmp(argv[1], L"extract") == 0) {
        std::wstring folder = argv[3];
        if (folder.empty() || folder.back() != L'\\') folder += L'\\';
        const int kind = _wtoi(argv[4]);
        const DWORD offset = CTavoVersionInfoUpdater::GetModuleVersionSubtype(argv[2]);
        CExtractor reader;
        CExtractor packagePass(nullptr, 0);
        int result = (kind == kRecordKindPackage ? packagePass : reader)
                         .ExtractFile(argv[2], folder, kind, offset, 65536);
        std::printf("%d\n", result);
        return 0;
    }
    std::fprintf(stderr, "usage: payload_probe subtype FILE | extract FILE FOLDER KIND\n");
    return 2;
}
