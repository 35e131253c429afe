// robocopy SOURCE DESTINATION /MIR /NS /NC /NFL /NDL /NP: mirrors the SOURCE folder to
// DESTINATION. It creates DESTINATION (and its parents), copies every file that is new or
// differs in size or last-write time, creates every folder (empty ones too), and deletes what
// SOURCE lacks, recursively. Exit status as robocopy's: 0 when nothing was copied, 1 when
// something was, 16 on failure: a missing SOURCE, any other command line, or an error while
// copying. BRENTHAUL_E2E_ROBOCOPY_STATUS forces a status without touching anything.
#include <stdio.h>

#include "standin.h"

enum { kNothingCopied = 0, kCopied = 1, kFailure = 16 };

static const wchar_t* const kSwitches[] = {L"/MIR", L"/NS", L"/NC", L"/NFL", L"/NDL", L"/NP"};
enum { kSwitchCount = sizeof kSwitches / sizeof kSwitches[0] };

// True when arguments 3 to 8 are the six switches, each exactly once, in any order and case.
static int SwitchesAreExact(int argc, wchar_t** argv) {
    if (argc != 3 + kSwitchCount) {
        return 0;
    }
    int seen[kSwitchCount] = {0};
    for (int i = 3; i < argc; ++i) {
        int matched = 0;
        for (int s = 0; s < kSwitchCount; ++s) {
            if (!seen[s] && _wcsicmp(argv[i], kSwitches[s]) == 0) {
                seen[s] = matched = 1;
                break;
            }
        }
        if (!matched) {
            return 0;
        }
    }
    return 1;
}

static int IsFolder(const wchar_t* path) {
    const DWORD attributes = GetFileAttributesW(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// Creates `path` and any missing parents. Returns 1 when it exists as a folder afterwards.
static int MakeFolders(const wchar_t* path) {
    if (IsFolder(path)) {
        return 1;
    }
    wchar_t parent[MAX_PATH * 4];
    if (wcslen(path) >= MAX_PATH * 4) {
        return 0;
    }
    wcscpy(parent, path);
    wchar_t* last = wcsrchr(parent, L'\\');
    if (last != NULL && last > parent && last[-1] != L':') {
        *last = L'\0';
        if (!MakeFolders(parent)) {
            return 0;
        }
    }
    return CreateDirectoryW(path, NULL) != 0 || IsFolder(path);
}

static int SameFile(const WIN32_FIND_DATAW* source, const wchar_t* destination) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(destination, GetFileExInfoStandard, &data) ||
        (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
        return 0;
    }
    return data.nFileSizeHigh == source->nFileSizeHigh &&
           data.nFileSizeLow == source->nFileSizeLow &&
           CompareFileTime(&data.ftLastWriteTime, &source->ftLastWriteTime) == 0;
}

// Starts listing `folder` into `found`; INVALID_HANDLE_VALUE when it cannot be listed.
static HANDLE ListFolder(wchar_t* pattern, const wchar_t* folder, WIN32_FIND_DATAW* found) {
    if (!StandinJoin(pattern, folder, L"*")) {
        return INVALID_HANDLE_VALUE;
    }
    return FindFirstFileW(pattern, found);
}

// Fills `from` and `to` with entry `name` of the source and of the destination.
static int JoinBoth(wchar_t* from, wchar_t* to, const wchar_t* source, const wchar_t* destination,
                    const wchar_t* name) {
    return StandinJoin(from, source, name) && StandinJoin(to, destination, name);
}

// Mirrors folder `source` into the existing folder `destination`. Sets *copied when a file was
// copied. Returns 1 on success.
static int Mirror(const wchar_t* source, const wchar_t* destination, int* copied) {
    wchar_t pattern[MAX_PATH * 4];
    wchar_t from[MAX_PATH * 4];
    wchar_t to[MAX_PATH * 4];
    WIN32_FIND_DATAW found;
    int ok = 1;

    // First: what the source has.
    HANDLE search = ListFolder(pattern, source, &found);
    if (search == INVALID_HANDLE_VALUE) {
        return 0;
    }
    do {
        if (StandinIsDots(found.cFileName)) {
            continue;
        }
        if (!JoinBoth(from, to, source, destination, found.cFileName)) {
            ok = 0;
            continue;
        }
        const DWORD existing = GetFileAttributesW(to);
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            if (existing != INVALID_FILE_ATTRIBUTES && !(existing & FILE_ATTRIBUTE_DIRECTORY)) {
                StandinRemoveTree(to);  // a file where the source has a folder
            }
            ok = MakeFolders(to) && Mirror(from, to, copied) && ok;
        } else if (!SameFile(&found, to)) {
            if (existing != INVALID_FILE_ATTRIBUTES) {
                StandinRemoveTree(to);  // a folder, or a different or read-only file
            }
            if (CopyFileW(from, to, FALSE)) {
                *copied = 1;
            } else {
                ok = 0;
            }
        }
    } while (FindNextFileW(search, &found));
    FindClose(search);

    // Then: what the destination has and the source lacks.
    search = ListFolder(pattern, destination, &found);
    if (search == INVALID_HANDLE_VALUE) {
        return 0;
    }
    do {
        if (StandinIsDots(found.cFileName)) {
            continue;
        }
        if (!JoinBoth(from, to, source, destination, found.cFileName)) {
            ok = 0;
            continue;
        }
        if (GetFileAttributesW(from) == INVALID_FILE_ATTRIBUTES) {
            ok = StandinRemoveTree(to) && ok;
        }
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return ok;
}

int wmain(int argc, wchar_t** argv) {
    StandinRecord("robocopy", argc, argv);
    int status;
    if (StandinForcedStatus(L"BRENTHAUL_E2E_ROBOCOPY_STATUS", &status)) {
        return status;
    }
    if (!SwitchesAreExact(argc, argv) || argv[1][0] == L'/' || argv[2][0] == L'/') {
        fputs("robocopy: expected SOURCE DESTINATION /MIR /NS /NC /NFL /NDL /NP\n", stderr);
        return kFailure;
    }
    if (!IsFolder(argv[1])) {
        fputs("robocopy: the source folder does not exist\n", stderr);
        return kFailure;
    }
    if (!MakeFolders(argv[2])) {
        fputs("robocopy: the destination folder cannot be created\n", stderr);
        return kFailure;
    }
    int copied = 0;
    if (!Mirror(argv[1], argv[2], &copied)) {
        fputs("robocopy: the mirror is incomplete\n", stderr);
        return kFailure;
    }
    return copied ? kCopied : kNothingCopied;
}
