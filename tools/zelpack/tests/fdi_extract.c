/* Extracts a cabinet, or a set starting at its first cabinet, through the
 * system's FDI, the way the stub's engine walks a set: one FDICopy per
 * cabinet, partial files skipped, the next cabinet taken from the cabinet
 * information unless a file just continued into it.
 *   fdi_extract CABFOLDER\ FIRSTCAB OUTFOLDER   (OUTFOLDER without trailing \)
 * Exit 0 on success; prints each written file. */
#include <windows.h>
#include <fcntl.h>
#include <fdi.h>
#include <io.h>
#include <stdio.h>
#include <string.h>
#include <sys/stat.h>

static char g_out[MAX_PATH];
static char g_current[MAX_PATH];
static int g_continued;

static FNALLOC(mem_alloc) { return malloc(cb); }
static FNFREE(mem_free) { free(pv); }
static FNOPEN(file_open) {
    WCHAR wide[MAX_PATH];
    MultiByteToWideChar(CP_UTF8, 0, pszFile, -1, wide, MAX_PATH);
    return _wopen(wide, oflag | _O_BINARY, pmode);
}
static FNREAD(file_read) { return _read((int)hf, pv, cb); }
static FNWRITE(file_write) { return _write((int)hf, pv, cb); }
static FNCLOSE(file_close) { return _close((int)hf); }
static FNSEEK(file_seek) { return _lseek((int)hf, dist, seektype); }

static void make_parents(WCHAR* path) {
    for (WCHAR* p = path + 3; *p; ++p) {
        if (*p == L'\\') {
            *p = 0;
            CreateDirectoryW(path, NULL);
            *p = L'\\';
        }
    }
}

static FNFDINOTIFY(notify) {
    static WCHAR path[MAX_PATH * 2];
    switch (fdint) {
    case fdintCABINET_INFO:
        if (g_continued) g_continued = 0;
        else lstrcpynA(g_current, pfdin->psz1, MAX_PATH);
        return 0;
    case fdintPARTIAL_FILE:
        return 0;
    case fdintCOPY_FILE: {
        char full[MAX_PATH * 2];
        snprintf(full, sizeof full, "%s%s", g_out, pfdin->psz1);
        MultiByteToWideChar((pfdin->attribs & _A_NAME_IS_UTF) ? CP_UTF8 : 28591, 0, full, -1, path, MAX_PATH * 2);
        make_parents(path);
        printf("%s\n", pfdin->psz1);
        return _wopen(path, _O_BINARY | _O_CREAT | _O_TRUNC | _O_WRONLY, _S_IREAD | _S_IWRITE);
    }
    case fdintCLOSE_FILE_INFO: {
        FILETIME local, utc;
        _close((int)pfdin->hf);
        DosDateTimeToFileTime(pfdin->date, pfdin->time, &local);
        if (pfdin->attribs & 0x100) utc = local;
        else LocalFileTimeToFileTime(&local, &utc);
        HANDLE h = CreateFileW(path, GENERIC_WRITE, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
        if (h != INVALID_HANDLE_VALUE) {
            SetFileTime(h, &utc, NULL, &utc);
            CloseHandle(h);
        }
        SetFileAttributesW(path, pfdin->attribs & 0x27);
        return TRUE;
    }
    case fdintNEXT_CABINET:
        if (pfdin->fdie != FDIERROR_NONE) return -1;
        g_continued = 1;
        lstrcpynA(g_current, pfdin->psz1, MAX_PATH);
        return 0;
    default:
        return 0;
    }
}

int main(int argc, char** argv) {
    if (argc != 4) return 2;
    ERF erf;
    HFDI fdi = FDICreate(mem_alloc, mem_free, file_open, file_read, file_write, file_close, file_seek, cpu80386, &erf);
    if (!fdi) return 3;
    lstrcpynA(g_out, argv[3], MAX_PATH);
    char cab[MAX_PATH];
    lstrcpynA(cab, argv[2], MAX_PATH);
    for (int guard = 0; guard < 10000; ++guard) {
        lstrcpynA(g_current, "", MAX_PATH);
        g_continued = 0;
        if (!FDICopy(fdi, cab, argv[1], 0, notify, NULL, NULL)) {
            printf("FDICopy failed on %s: error %d\n", cab, erf.erfOper);
            return 4;
        }
        if (!g_current[0] || lstrcmpiA(g_current, cab) == 0) break;
        lstrcpynA(cab, g_current, MAX_PATH);
    }
    FDIDestroy(fdi);
    return 0;
}
