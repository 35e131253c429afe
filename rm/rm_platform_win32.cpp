// The Win32 side of rm_platform.h, for rm.exe.
#include <windows.h>

#include "common/bounded_format.h"
#include "rm/rm.h"  // kPathCapacity
#include "rm/rm_platform.h"

static_assert(kErrorFileNotFound == ERROR_FILE_NOT_FOUND, "ERROR_FILE_NOT_FOUND");
static_assert(kErrorNoMoreFiles == ERROR_NO_MORE_FILES, "ERROR_NO_MORE_FILES");
static_assert(kErrorFilenameTooLong == ERROR_FILENAME_EXCED_RANGE, "ERROR_FILENAME_EXCED_RANGE");
static_assert(kAttributeReadOnly == FILE_ATTRIBUTE_READONLY, "FILE_ATTRIBUTE_READONLY");
static_assert(kAttributeDirectory == FILE_ATTRIBUTE_DIRECTORY, "FILE_ATTRIBUTE_DIRECTORY");
static_assert(kAttributeReparsePoint == FILE_ATTRIBUTE_REPARSE_POINT,
              "FILE_ATTRIBUTE_REPARSE_POINT");
static_assert(kNameCapacity == MAX_PATH, "a listing's names are MAX_PATH characters");

namespace {

// Units of text written to standard error at a time: WriteConsoleW and the UTF-8 conversion
// below take the line piece by piece, so no buffer needs to hold a whole 64 KB line.
const int kChunk = 1024;
// UTF-8 takes at most three bytes for one UTF-16 unit.
const int kChunkBytes = 3 * kChunk;

// GetLastError, as the seam's error code; never 0, since a failed call must not read as success.
unsigned LastError() {
    const DWORD error = GetLastError();
    return error == ERROR_SUCCESS ? static_cast<unsigned>(ERROR_GEN_FAILURE)
                                  : static_cast<unsigned>(error);
}

bool IsDots(const wchar_t* name) {
    return name[0] == L'.' && (name[1] == L'\0' || (name[1] == L'.' && name[2] == L'\0'));
}

// Writes `units` UTF-16 units of `text` to `output`: as they are to a console, in UTF-8 to a
// file or a pipe. An output that cannot be written to changes nothing for the removal, so the
// results of the writes are deliberately ignored.
void WriteUnits(HANDLE output, bool console, const wchar_t* text, int units) {
    DWORD written = 0;
    if (console) {
        (void)WriteConsoleW(output, text, static_cast<DWORD>(units), &written, nullptr);
        return;
    }
    char bytes[kChunkBytes];
    const int length =
        WideCharToMultiByte(CP_UTF8, 0, text, units, bytes, kChunkBytes, nullptr, nullptr);
    if (length > 0) {
        (void)WriteFile(output, bytes, static_cast<DWORD>(length), &written, nullptr);
    }
}

}  // namespace

unsigned RmFullPath(const wchar_t* path, wchar_t* full, size_t capacity) {
    const DWORD length = GetFullPathNameW(path, static_cast<DWORD>(capacity), full, nullptr);
    if (length == 0) {
        return LastError();
    }
    // A result that does not fit gives the size it needs, terminator included.
    return length < capacity ? 0 : kErrorFilenameTooLong;
}

unsigned RmGetAttributes(const wchar_t* path, unsigned* attributes) {
    // GetFileAttributesW gives a link's own attributes: it does not follow the link.
    const DWORD found = GetFileAttributesW(path);
    if (found == INVALID_FILE_ATTRIBUTES) {
        return LastError();
    }
    *attributes = static_cast<unsigned>(found);
    return 0;
}

unsigned RmFindEntry(const wchar_t* folder, size_t index, wchar_t* name, unsigned* attributes) {
    wchar_t pattern[kPathCapacity];
    if (!FormatText(pattern, kPathCapacity, L"%ls\\*", folder)) {
        return kErrorFilenameTooLong;
    }
    // The basic information leaves out the short 8.3 names, which are not needed here.
    WIN32_FIND_DATAW data;
    HANDLE search =
        FindFirstFileExW(pattern, FindExInfoBasic, &data, FindExSearchNameMatch, nullptr, 0);
    if (search == INVALID_HANDLE_VALUE) {
        const unsigned error = LastError();
        return error == ERROR_FILE_NOT_FOUND ? kErrorNoMoreFiles : error;  // not even "." there
    }
    unsigned result = kErrorNoMoreFiles;
    size_t skipped = 0;
    for (;;) {
        if (!IsDots(data.cFileName)) {
            if (skipped == index) {
                // A listed name always fits: both are MAX_PATH characters.
                result = FormatText(name, kNameCapacity, L"%ls", data.cFileName)
                             ? 0
                             : kErrorFilenameTooLong;
                *attributes = static_cast<unsigned>(data.dwFileAttributes);
                break;
            }
            ++skipped;
        }
        if (FindNextFileW(search, &data) == 0) {
            result = LastError();
            break;
        }
    }
    (void)FindClose(search);  // a listing that does not close changes nothing here
    return result;
}

unsigned RmClearReadOnly(const wchar_t* path, unsigned attributes) {
    // The entry is opened with FILE_FLAG_OPEN_REPARSE_POINT, so on a link the link itself is
    // changed (SetFileAttributesW would follow it). FILE_FLAG_BACKUP_SEMANTICS lets folders open.
    HANDLE entry = CreateFileW(
        path, FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
        nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (entry == INVALID_HANDLE_VALUE) {
        return LastError();
    }
    // Only the attributes a program may set are passed on; with none left, FILE_ATTRIBUTE_NORMAL
    // says "no attributes" (0 would mean "leave them"). Time stamps of 0 are left as they are.
    const DWORD settable = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                           FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_TEMPORARY |
                           FILE_ATTRIBUTE_OFFLINE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
    FILE_BASIC_INFO information = {};
    information.FileAttributes =
        attributes & settable & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY);
    if (information.FileAttributes == 0) {
        information.FileAttributes = FILE_ATTRIBUTE_NORMAL;
    }
    const bool changed =
        SetFileInformationByHandle(entry, FileBasicInfo, &information, sizeof information) != 0;
    const unsigned error = changed ? 0 : LastError();
    (void)CloseHandle(entry);
    return error;
}

unsigned RmDeleteFile(const wchar_t* path) { return DeleteFileW(path) != 0 ? 0 : LastError(); }

unsigned RmRemoveDirectory(const wchar_t* path) {
    return RemoveDirectoryW(path) != 0 ? 0 : LastError();
}

bool RmSystemMessage(unsigned error, wchar_t* text, size_t capacity) {
    const DWORD flags = FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS;
    return FormatMessageW(flags, nullptr, error, 0, text, static_cast<DWORD>(capacity), nullptr) !=
           0;
}

void RmWriteError(const wchar_t* line) {
    HANDLE output = GetStdHandle(STD_ERROR_HANDLE);
    if (output == nullptr || output == INVALID_HANDLE_VALUE) {
        return;
    }
    // A console takes the UTF-16 text as it is, so every name shows as it is written whatever the
    // console's code page. A file or a pipe gets UTF-8, which holds every name too.
    DWORD mode = 0;
    const bool console = GetConsoleMode(output, &mode) != 0;
    const wchar_t* rest = line;
    size_t left = 0;
    while (line[left] != L'\0') {
        ++left;
    }
    while (left > 0) {
        int units = left < static_cast<size_t>(kChunk) ? static_cast<int>(left) : kChunk;
        // A surrogate pair is never split between two pieces.
        if (units == kChunk && rest[units - 1] >= 0xD800 && rest[units - 1] <= 0xDBFF) {
            --units;
        }
        WriteUnits(output, console, rest, units);
        rest += units;
        left -= static_cast<size_t>(units);
    }
    WriteUnits(output, console, L"\r\n", 2);
}
