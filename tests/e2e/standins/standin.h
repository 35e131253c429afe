// What both stand-ins share: recording the arguments they received and failing on request.
// Stand-ins for the Windows commands Brenthaul.exe runs, built with mingw and run under Wine,
// which has only a stub robocopy and no rm at all.
#ifndef BRENTHAUL_E2E_STANDIN_H
#define BRENTHAUL_E2E_STANDIN_H

#include <stdlib.h>
#include <string.h>
#include <wchar.h>
#include <windows.h>

// Appends one record to the file named by BRENTHAUL_E2E_LOG (a Windows path): a line "@NAME
// COUNT", then each of the COUNT arguments of argv, as the C runtime split them, one a line, in
// UTF-8. Without the variable nothing is recorded.
static void StandinRecord(const char* name, int argc, wchar_t** argv) {
    const wchar_t* logPath = _wgetenv(L"BRENTHAUL_E2E_LOG");
    if (logPath == NULL || logPath[0] == L'\0') {
        return;
    }
    HANDLE log = CreateFileW(logPath, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                             OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (log == INVALID_HANDLE_VALUE) {
        return;
    }
    char line[8192];
    DWORD written;
    int length = snprintf(line, sizeof line, "@%s %d\n", name, argc);
    WriteFile(log, line, (DWORD)length, &written, NULL);
    for (int i = 0; i < argc; ++i) {
        length =
            WideCharToMultiByte(CP_UTF8, 0, argv[i], -1, line, (int)sizeof line - 1, NULL, NULL);
        if (length <= 0) {
            length = 1;  // too long to record: an empty line keeps the count right
            line[0] = '\0';
        }
        line[length - 1] = '\n';  // in place of the terminator
        WriteFile(log, line, (DWORD)length, &written, NULL);
    }
    CloseHandle(log);
}

// When the variable `variable` holds a number, the test wants this run to fail with it as the
// exit status: stores it in *status and returns 1.
static int StandinForcedStatus(const wchar_t* variable, int* status) {
    const wchar_t* value = _wgetenv(variable);
    if (value == NULL || value[0] == L'\0') {
        return 0;
    }
    *status = (int)wcstol(value, NULL, 0);
    return 1;
}

// Joins `folder` and `name` with a backslash into `path` (capacity MAX_PATH * 4).
static int StandinJoin(wchar_t* path, const wchar_t* folder, const wchar_t* name) {
    const size_t capacity = MAX_PATH * 4;
    size_t folderLength = wcslen(folder);
    const int separator = folderLength > 0 && folder[folderLength - 1] != L'\\';
    if (folderLength + (size_t)separator + wcslen(name) + 1 > capacity) {
        return 0;
    }
    wcscpy(path, folder);
    if (separator) {
        wcscat(path, L"\\");
    }
    wcscat(path, name);
    return 1;
}

static int StandinIsDots(const wchar_t* name) {
    return wcscmp(name, L".") == 0 || wcscmp(name, L"..") == 0;
}

// Removes `path` (a file, or a folder with everything below it). Returns 1 on success.
static int StandinRemoveTree(const wchar_t* path) {
    const DWORD attributes = GetFileAttributesW(path);
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        return 0;
    }
    if (attributes & FILE_ATTRIBUTE_READONLY) {
        SetFileAttributesW(path, attributes & ~(DWORD)FILE_ATTRIBUTE_READONLY);
    }
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        return DeleteFileW(path) != 0;
    }
    wchar_t pattern[MAX_PATH * 4];
    wchar_t child[MAX_PATH * 4];
    int ok = StandinJoin(pattern, path, L"*");
    WIN32_FIND_DATAW found;
    HANDLE search = ok ? FindFirstFileW(pattern, &found) : INVALID_HANDLE_VALUE;
    if (search != INVALID_HANDLE_VALUE) {
        do {
            if (!StandinIsDots(found.cFileName)) {
                ok = StandinJoin(child, path, found.cFileName) && StandinRemoveTree(child) && ok;
            }
        } while (FindNextFileW(search, &found));
        FindClose(search);
    }
    return RemoveDirectoryW(path) != 0 && ok;
}

#endif
