#include "tests/rm/fake_file_system.h"

#include <cwchar>

#include "rm/rm_platform.h"

namespace {

FakeFileSystem g_fs;

std::wstring Parent(const std::wstring& path) {
    const size_t separator = path.rfind(L'\\');
    return separator == std::wstring::npos ? std::wstring() : path.substr(0, separator);
}

void AddEntry(const std::wstring& path, unsigned attributes) {
    // The folders above, up to the root "\\?\C:" (which lists as a folder too).
    for (std::wstring folder = Parent(path); folder.size() > 4 && !Exists(folder);
         folder = Parent(folder)) {
        g_fs.entries[folder].attributes = kAttributeDirectory;
    }
    g_fs.entries[path].attributes = attributes;
}

bool HasEntries(const std::wstring& folder) {
    const std::wstring prefix = folder + L"\\";
    const auto next = g_fs.entries.lower_bound(prefix);
    return next != g_fs.entries.end() && next->first.compare(0, prefix.size(), prefix) == 0;
}

void Record(const char* kind, const wchar_t* path) { g_fs.calls.push_back({kind, path}); }

bool Copy(const std::wstring& text, wchar_t* buffer, size_t capacity) {
    if (text.size() + 1 > capacity) {
        return false;
    }
    std::wcscpy(buffer, text.c_str());
    return true;
}

// "." and ".." resolved, as GetFullPathNameW does, in the part of `path` after its first
// `rootLength` characters.
std::wstring Resolve(const std::wstring& path, size_t rootLength) {
    std::vector<std::wstring> parts;
    size_t start = rootLength;
    while (start <= path.size()) {
        size_t end = path.find(L'\\', start);
        if (end == std::wstring::npos) end = path.size();
        const std::wstring part = path.substr(start, end - start);
        if (part == L"..") {
            if (!parts.empty()) parts.pop_back();
        } else if (part != L"." && !part.empty()) {
            parts.push_back(part);
        }
        start = end + 1;
    }
    std::wstring resolved = path.substr(0, rootLength);
    for (size_t i = 0; i < parts.size(); ++i) {
        resolved += (i == 0 ? L"" : L"\\") + parts[i];
    }
    if (!path.empty() && path.back() == L'\\' && !parts.empty()) resolved += L"\\";
    return resolved;
}

}  // namespace

FakeFileSystem& Fs() { return g_fs; }

void ResetFakeFileSystem() { g_fs = FakeFileSystem(); }

void AddFolder(const std::wstring& path, unsigned attributes) {
    AddEntry(path, attributes | kAttributeDirectory);
}

void AddFile(const std::wstring& path, unsigned attributes) { AddEntry(path, attributes); }

void AddFolderLink(const std::wstring& path, unsigned attributes) {
    AddEntry(path, attributes | kAttributeDirectory | kAttributeReparsePoint);
}

void AddFileLink(const std::wstring& path, unsigned attributes) {
    AddEntry(path, attributes | kAttributeReparsePoint);
}

bool Exists(const std::wstring& path) { return g_fs.entries.count(path) != 0; }

std::vector<std::wstring> EntriesUnder(const std::wstring& path) {
    std::vector<std::wstring> found;
    for (const auto& entry : g_fs.entries) {
        if (entry.first == path || entry.first.compare(0, path.size() + 1, path + L"\\") == 0) {
            found.push_back(entry.first);
        }
    }
    return found;
}

std::vector<std::wstring> CallsOf(const std::string& kind) {
    std::vector<std::wstring> paths;
    for (const FakeCall& call : g_fs.calls) {
        if (call.kind == kind) paths.push_back(call.path);
    }
    return paths;
}

unsigned RmFullPath(const wchar_t* path, wchar_t* full, size_t capacity) {
    Record("fullpath", path);
    std::wstring text(path);
    for (wchar_t& c : text) {
        if (c == L'/') c = L'\\';
    }
    std::wstring result;
    if (text.compare(0, 4, L"\\\\?\\") == 0) {
        result = path;  // taken as it is, '/' and all
    } else if (text.compare(0, 2, L"\\\\") == 0) {
        const size_t server = text.find(L'\\', 2);
        const size_t share = server == std::wstring::npos ? server : text.find(L'\\', server + 1);
        result = share == std::wstring::npos ? text : Resolve(text, share + 1);
    } else if (text.size() >= 3 && text[1] == L':' && text[2] == L'\\') {
        result = Resolve(text, 3);
    } else if (text.size() >= 2 && text[1] == L':') {
        result = Resolve(g_fs.currentFolder + L"\\" + text.substr(2), 3);  // the same drive
    } else if (!text.empty() && text[0] == L'\\') {
        result = Resolve(g_fs.currentFolder.substr(0, 2) + text, 3);
    } else {
        result = Resolve(g_fs.currentFolder + L"\\" + text, 3);
    }
    return Copy(result, full, capacity) ? 0 : kErrorFilenameTooLong;
}

unsigned RmGetAttributes(const wchar_t* path, unsigned* attributes) {
    Record("attributes", path);
    const auto entry = g_fs.entries.find(path);
    if (entry == g_fs.entries.end()) {
        return Exists(Parent(path)) ? kErrorFileNotFound : kErrorPathNotFound;
    }
    *attributes = entry->second.attributes;
    return 0;
}

unsigned RmFindEntry(const wchar_t* folder, size_t index, wchar_t* name, unsigned* attributes) {
    Record("list", folder);
    const auto entry = g_fs.entries.find(folder);
    if (entry == g_fs.entries.end()) return kErrorPathNotFound;
    if (entry->second.listError != 0) return entry->second.listError;
    if ((entry->second.attributes & kAttributeReparsePoint) != 0) {
        // A real listing would show what the link points to: a walk must never ask for it.
        return kErrorAccessDenied;
    }
    const std::wstring prefix = std::wstring(folder) + L"\\";
    size_t seen = 0;
    for (auto child = g_fs.entries.lower_bound(prefix);
         child != g_fs.entries.end() && child->first.compare(0, prefix.size(), prefix) == 0;
         ++child) {
        const std::wstring childName = child->first.substr(prefix.size());
        if (childName.find(L'\\') != std::wstring::npos) continue;  // deeper down
        if (seen++ == index) {
            *attributes = child->second.attributes;
            return Copy(childName, name, kNameCapacity) ? 0 : kErrorFilenameTooLong;
        }
    }
    return kErrorNoMoreFiles;
}

unsigned RmClearReadOnly(const wchar_t* path, unsigned attributes) {
    Record("clear", path);
    const auto entry = g_fs.entries.find(path);
    if (entry == g_fs.entries.end()) return kErrorFileNotFound;
    if (entry->second.attributes != attributes) return kErrorDirectory;  // the caller's are stale
    if (entry->second.clearError != 0) return entry->second.clearError;
    entry->second.attributes &= ~kAttributeReadOnly;
    return 0;
}

unsigned RmDeleteFile(const wchar_t* path) {
    Record("delete", path);
    const auto entry = g_fs.entries.find(path);
    if (entry == g_fs.entries.end()) return kErrorFileNotFound;
    if (entry->second.removeError != 0) return entry->second.removeError;
    if ((entry->second.attributes & (kAttributeDirectory | kAttributeReadOnly)) != 0) {
        return kErrorAccessDenied;
    }
    g_fs.entries.erase(entry);
    return 0;
}

unsigned RmRemoveDirectory(const wchar_t* path) {
    Record("rmdir", path);
    const auto entry = g_fs.entries.find(path);
    if (entry == g_fs.entries.end()) return kErrorFileNotFound;
    if (entry->second.removeError != 0) return entry->second.removeError;
    if ((entry->second.attributes & kAttributeDirectory) == 0) return kErrorDirectory;
    if ((entry->second.attributes & kAttributeReadOnly) != 0) return kErrorAccessDenied;
    if (HasEntries(path)) return kErrorDirNotEmpty;
    g_fs.entries.erase(entry);
    return 0;
}

bool RmSystemMessage(unsigned error, wchar_t* text, size_t capacity) {
    // As FormatMessageW gives them: with a line break at the end, and one inside for 1392.
    static const std::map<unsigned, std::wstring> kMessages = {
        {kErrorFileNotFound, L"The system cannot find the file specified.\r\n"},
        {kErrorPathNotFound, L"The system cannot find the path specified.\r\n"},
        {kErrorAccessDenied, L"Access is denied.\r\n"},
        {kErrorSharingViolation,
         L"The process cannot access the file because it is being used by another process.\r\n"},
        {kErrorDirNotEmpty, L"The directory is not empty.\r\n"},
        {kErrorFilenameTooLong, L"The filename or extension is too long.\r\n"},
        {kErrorDirectory, L"The directory name is invalid.\r\n"},
        {1392, L"The file or directory is corrupted\r\nand unreadable.\r\n"},
    };
    const auto message = kMessages.find(error);
    return message != kMessages.end() && Copy(message->second, text, capacity);
}

void RmWriteError(const wchar_t* line) { g_fs.errorLines.push_back(line); }
