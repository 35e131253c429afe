// A recording fake file system behind rm_platform.h: the tests lay out entries (files, folders,
// links), make chosen calls fail, and read back every call rm made, in order, and every line it
// wrote to standard error. It answers as Windows does where the rules matter: a read-only entry
// cannot be removed, a folder that holds entries cannot be removed, a link has no entries of its
// own (the fake never follows one), and listings come in name order.
#ifndef BRENTHAUL_TESTS_RM_FAKE_FILE_SYSTEM_H
#define BRENTHAUL_TESTS_RM_FAKE_FILE_SYSTEM_H

#include <map>
#include <string>
#include <vector>

// Error codes the fake gives, as Windows' own.
const unsigned kErrorPathNotFound = 3;
const unsigned kErrorAccessDenied = 5;
const unsigned kErrorSharingViolation = 32;
const unsigned kErrorDirNotEmpty = 145;
const unsigned kErrorDirectory = 267;

struct FakeEntry {
    unsigned attributes = 0;
    unsigned removeError = 0;  // when not 0, DeleteFile or RemoveDirectory fails with it
    unsigned listError = 0;    // when not 0, listing this folder fails with it
    unsigned clearError = 0;   // when not 0, clearing the read-only attribute fails with it
};

// One call rm made: "fullpath", "attributes", "list", "clear", "delete" or "rmdir", and the path.
struct FakeCall {
    std::string kind;
    std::wstring path;
    bool operator==(const FakeCall& other) const {
        return kind == other.kind && path == other.path;
    }
};

struct FakeFileSystem {
    // Every entry by its full `\\?\` path; a folder's entries are those one level below it.
    std::map<std::wstring, FakeEntry> entries;
    std::wstring currentFolder = L"C:\\work";  // relative operands are taken from here
    std::vector<FakeCall> calls;
    std::vector<std::wstring> errorLines;  // standard error, one line each
};

FakeFileSystem& Fs();
void ResetFakeFileSystem();

// Lays out entries, with every missing folder above them. `path` is a full `\\?\` path.
void AddFolder(const std::wstring& path, unsigned attributes = 0);
void AddFile(const std::wstring& path, unsigned attributes = 0);
// A link to a folder (a junction or a folder symbolic link) or to a file. Its target is not
// recorded: nothing rm does may depend on it.
void AddFolderLink(const std::wstring& path, unsigned attributes = 0);
void AddFileLink(const std::wstring& path, unsigned attributes = 0);

bool Exists(const std::wstring& path);
// The entries at or below `path`, as they stand.
std::vector<std::wstring> EntriesUnder(const std::wstring& path);
// The calls of one kind, in order.
std::vector<std::wstring> CallsOf(const std::string& kind);

#endif
