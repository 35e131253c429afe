#include "rm/rm.h"

#include "common/bounded_format.h"
#include "rm/rm_platform.h"

namespace {

// Bounds in characters, terminator included.
const size_t kMessageCapacity = 512;
// A line names the operand as given (shorter than a command line, so within kPathCapacity),
// the rest of the path below it (within kPathCapacity too), perhaps one more name, and a reason.
const size_t kLineCapacity = 2 * kPathCapacity + kNameCapacity + kMessageCapacity + 32;
// Each folder level adds a backslash and at least one character to a path of at most
// kPathCapacity - 1 characters, so no walk goes deeper than this.
const size_t kMaxDepth = kPathCapacity / 2;

const wchar_t kUsage[] = L"usage: rm [-r | -R] [--] PATH...";
const wchar_t kIsFolder[] = L"Is a directory (use -r to remove a folder and everything in it)";
const wchar_t kRefusedDots[] =
    L"Refused: a path whose last part is '.' or '..' (or only dots and blanks) is never removed";
const wchar_t kRefusedDrive[] =
    L"Refused: a drive name alone stands for that drive's current folder";
const wchar_t kRefusedRoot[] = L"Refused: the root of a drive or share is never removed";

// The operand being removed, and the entry at hand in the walk through it.
struct Removal {
    const wchar_t* operand;  // as given on the command line: messages name paths by it
    wchar_t* path;           // kPathCapacity characters: the `\\?\` full path of the entry at hand
    size_t operandLength;    // length of the operand's own full path, the start of `path`
    size_t length;           // length of `path`
};

bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }
bool IsFolder(unsigned attributes) { return (attributes & kAttributeDirectory) != 0; }
bool IsLink(unsigned attributes) { return (attributes & kAttributeReparsePoint) != 0; }
bool IsReadOnly(unsigned attributes) { return (attributes & kAttributeReadOnly) != 0; }

bool StartsWith(const wchar_t* text, const wchar_t* prefix) {
    for (; *prefix != L'\0'; ++text, ++prefix) {
        if (*text != *prefix) {
            return false;
        }
    }
    return true;
}

// Applies the letters of one option argument after its '-': "r", "R", "rR" and the like.
// Returns false at any other letter. Only ASCII 'r' and 'R' count, whatever the locale.
bool ApplyOptionLetters(const wchar_t* letters, bool* recursive) {
    for (; *letters != L'\0'; ++letters) {
        if (*letters != L'r' && *letters != L'R') {
            return false;
        }
        *recursive = true;
    }
    return true;
}

// A usage error: names it (an unknown option, or no operand when `option` is null), then gives
// the usage line. Nothing has been removed.
int RefuseCommandLine(const wchar_t* option) {
    wchar_t line[kLineCapacity];
    if (option == nullptr) {
        RmWriteError(L"rm: missing operand");
    } else if (FormatText(line, kLineCapacity, L"rm: unknown option '%ls'", option)) {
        RmWriteError(line);
    } else {
        RmWriteError(L"rm: unknown option");
    }
    RmWriteError(kUsage);
    return kRmFailed;
}

// The system's message for `error` on one line: its line breaks become blanks and the blanks at
// its end are dropped. "Windows error N" when the system has no message for it.
void DescribeError(unsigned error, wchar_t* text) {
    size_t length = 0;
    if (RmSystemMessage(error, text, kMessageCapacity)) {
        text[kMessageCapacity - 1] = L'\0';
        length = TextLength(text, kMessageCapacity);
        for (size_t i = 0; i < length; ++i) {
            if (text[i] == L'\r' || text[i] == L'\n' || text[i] == L'\t') {
                text[i] = L' ';
            }
        }
        while (length > 0 && text[length - 1] == L' ') {
            --length;
        }
        text[length] = L'\0';
    }
    if (length == 0 && !FormatText(text, kMessageCapacity, L"Windows error %u", error)) {
        text[0] = L'\0';  // cannot happen: the number fits
    }
}

// Writes "rm: cannot remove 'PATH': REASON". PATH is the operand as given, then the part of the
// path at hand below it, then `name` (when not empty) for an entry the path could not hold.
void ReportReason(const Removal& removal, const wchar_t* name, const wchar_t* reason) {
    const wchar_t* below = removal.path + removal.operandLength;
    const size_t operandLength = TextLength(removal.operand, kPathCapacity);
    const bool operandEndsInSeparator =
        operandLength > 0 && IsSeparator(removal.operand[operandLength - 1]);
    // "C:\x\" and "\sub" make "C:\x\sub", not "C:\x\\sub".
    if (operandEndsInSeparator && *below == L'\\') {
        ++below;
    }
    const bool needSeparator = name[0] != L'\0' && (*below != L'\0' || !operandEndsInSeparator);
    wchar_t line[kLineCapacity];
    // The second form cannot be needed within the bounds above; it is there so that a failure is
    // never left unsaid.
    if (FormatText(line, kLineCapacity, L"rm: cannot remove '%ls%ls%ls%ls': %ls", removal.operand,
                   below, needSeparator ? L"\\" : L"", name, reason) ||
        FormatText(line, kLineCapacity, L"rm: cannot remove a path too long to show: %ls",
                   reason)) {
        RmWriteError(line);
    }
}

void ReportError(const Removal& removal, const wchar_t* name, unsigned error) {
    wchar_t message[kMessageCapacity];
    DescribeError(error, message);
    ReportReason(removal, name, message);
}

// Why the operand, as written, is refused; nullptr when it is not. A last part "." or ".." names
// the folder the operand is in or its parent, and so does a last part of dots and blanks only,
// which Windows' path rules shorten to the same; "C:" alone names drive C's current folder.
// Removing one of those is never what a clean step means.
const wchar_t* RefusalOf(const wchar_t* operand) {
    const size_t length = TextLength(operand, kPathCapacity);
    size_t end = length;
    while (end > 0 && IsSeparator(operand[end - 1])) {
        --end;
    }
    size_t start = end;
    while (start > 0 && !IsSeparator(operand[start - 1])) {
        --start;
    }
    if (start == 0 && end >= 2 && operand[1] == L':') {
        start = 2;  // "C:x", "C:.", "C:"
    }
    if (start == end) {
        // "C:" alone; "C:\" and "\" name a root, refused once they are full paths.
        return end == 2 && length == 2 ? kRefusedDrive : nullptr;
    }
    for (size_t i = start; i < end; ++i) {
        if (operand[i] != L'.' && operand[i] != L' ') {
            return nullptr;
        }
    }
    return kRefusedDots;
}

// Length of the root at the start of the `\\?\` path `path`, with the separator after it when
// there is one: "\\?\C:\", "\\?\UNC\server\share\", "\\?\Volume{...}\".
size_t RootLength(const wchar_t* path) {
    size_t end = 4;  // after "\\?\"
    int parts = 1;
    if (StartsWith(path + end, L"UNC\\")) {
        end += 4;
        parts = 2;  // server and share
    }
    for (; parts > 0; --parts) {
        while (path[end] != L'\0' && path[end] != L'\\') {
            ++end;
        }
        if (path[end] == L'\\') {
            ++end;
        }
    }
    return end;
}

// Fills `path` with the `\\?\` form of the operand's full path. Returns 0 or the Windows error.
unsigned ExtendedFullPath(const wchar_t* operand, wchar_t* path) {
    if (operand[0] == L'\0') {
        return kErrorFileNotFound;  // an empty name names nothing
    }
    wchar_t full[kPathCapacity];
    const unsigned error = RmFullPath(operand, full, kPathCapacity);
    if (error != 0) {
        return error;
    }
    return MakeExtendedPath(full, path, kPathCapacity) ? 0 : kErrorFilenameTooLong;
}

// Adds "\name" to the path at hand. Returns false, leaving the path as it was, when the result
// does not fit.
bool Descend(Removal* removal, const wchar_t* name) {
    wchar_t* end = removal->path + removal->length;
    const size_t room = kPathCapacity - removal->length;
    if (!FormatText(end, room, L"\\%ls", name)) {
        return false;  // FormatText left *end as the terminator: the path is as it was
    }
    removal->length += TextLength(end, room);
    return true;
}

// Drops the last name from the path at hand.
void Ascend(Removal* removal) {
    while (removal->length > removal->operandLength &&
           removal->path[removal->length - 1] != L'\\') {
        --removal->length;
    }
    if (removal->length > removal->operandLength) {
        --removal->length;
    }
    removal->path[removal->length] = L'\0';
}

// Removes the file or link at hand: a folder link with RemoveDirectoryW, anything else with
// DeleteFileW. A link goes as a link: what it points to is never opened, listed or removed.
// Windows refuses to remove a read-only entry, so that attribute is cleared first.
bool RemoveEntry(const Removal& removal, unsigned attributes) {
    unsigned error = 0;
    if (IsReadOnly(attributes)) {
        error = RmClearReadOnly(removal.path, attributes);
    }
    if (error == 0) {
        error = IsFolder(attributes) ? RmRemoveDirectory(removal.path) : RmDeleteFile(removal.path);
    }
    if (error != 0) {
        ReportError(removal, L"", error);
        return false;
    }
    return true;
}

// Clears the read-only attribute of the folder at hand, if it has one, before it is emptied: a
// read-only folder cannot be removed on Windows (nor, under Wine, emptied). Returns false after
// reporting when that fails; the folder is then left as it is.
bool ClearFolderReadOnly(const Removal& removal, unsigned attributes) {
    if (!IsReadOnly(attributes)) {
        return true;
    }
    const unsigned error = RmClearReadOnly(removal.path, attributes);
    if (error != 0) {
        ReportError(removal, L"", error);
        return false;
    }
    return true;
}

// Removes the folder at hand and everything in it, deepest entries first, and returns true when
// it is gone. The walk keeps no listing open and uses no memory that grows with the tree beyond
// one count per level: each step lists the folder at hand afresh and takes its first entry not
// yet tried. `kept` counts, for each level, the entries that could not be removed; they stay at
// the front of the listing and are skipped. A folder that keeps an entry is kept too, without a
// line of its own: the entry's line says why.
bool RemoveTree(Removal* removal, unsigned attributes) {
    if (!ClearFolderReadOnly(*removal, attributes)) {
        return false;
    }
    size_t kept[kMaxDepth];
    size_t depth = 0;
    kept[0] = 0;
    wchar_t name[kNameCapacity];
    for (;;) {
        unsigned entryAttributes = 0;
        const unsigned found = RmFindEntry(removal->path, kept[depth], name, &entryAttributes);
        if (found == 0) {
            if (depth + 1 == kMaxDepth || !Descend(removal, name)) {
                ReportError(*removal, name, kErrorFilenameTooLong);
                ++kept[depth];
            } else if (!IsFolder(entryAttributes) || IsLink(entryAttributes)) {
                if (!RemoveEntry(*removal, entryAttributes)) {
                    ++kept[depth];
                }
                Ascend(removal);
            } else if (!ClearFolderReadOnly(*removal, entryAttributes)) {
                Ascend(removal);
                ++kept[depth];
            } else {
                ++depth;
                kept[depth] = 0;
            }
            continue;
        }

        // Nothing more to try in the folder at hand: remove it when it is empty.
        bool removed = false;
        if (found != kErrorNoMoreFiles) {
            ReportError(*removal, L"", found);  // it cannot be listed
        } else if (kept[depth] == 0) {
            const unsigned error = RmRemoveDirectory(removal->path);
            if (error == 0) {
                removed = true;
            } else {
                ReportError(*removal, L"", error);
            }
        }
        if (depth == 0) {
            return removed;
        }
        Ascend(removal);
        --depth;
        if (!removed) {
            ++kept[depth];
        }
    }
}

// Removes one operand; `path` is the run's path buffer. Returns true when the operand is gone.
bool RemoveOperand(const wchar_t* operand, bool recursive, wchar_t* path) {
    path[0] = L'\0';
    Removal removal = {operand, path, 0, 0};
    const wchar_t* refusal = RefusalOf(operand);
    if (refusal != nullptr) {
        ReportReason(removal, L"", refusal);
        return false;
    }
    const unsigned converted = ExtendedFullPath(operand, path);
    if (converted != 0) {
        ReportError(removal, L"", converted);
        return false;
    }
    removal.operandLength = TextLength(path, kPathCapacity);
    removal.length = removal.operandLength;
    if (removal.length <= RootLength(path)) {
        ReportReason(removal, L"", kRefusedRoot);
        return false;
    }
    unsigned attributes = 0;
    const unsigned found = RmGetAttributes(path, &attributes);
    if (found != 0) {
        ReportError(removal, L"", found);
        return false;
    }
    if (!IsFolder(attributes) || IsLink(attributes)) {
        return RemoveEntry(removal, attributes);  // a file, or a link even to a folder
    }
    if (!recursive) {
        ReportReason(removal, L"", kIsFolder);
        return false;
    }
    return RemoveTree(&removal, attributes);
}

}  // namespace

bool MakeExtendedPath(const wchar_t* full, wchar_t* extended, size_t capacity) {
    const wchar_t* prefix = L"\\\\?\\";
    const wchar_t* rest = full;
    if (StartsWith(full, L"\\\\?\\") || StartsWith(full, L"\\\\.\\")) {
        rest = full + 4;
    } else if (StartsWith(full, L"\\\\")) {
        prefix = L"\\\\?\\UNC\\";
        rest = full + 2;
    }
    if (!FormatText(extended, capacity, L"%ls%ls", prefix, rest)) {
        return false;
    }
    const size_t root = RootLength(extended);
    size_t length = TextLength(extended, capacity);
    while (length > root && extended[length - 1] == L'\\') {
        --length;
        extended[length] = L'\0';
    }
    return true;
}

int RunRm(int argc, const wchar_t* const* argv) {
    // Options come first, as in POSIX: the first operand, or "--", ends them, so a later "-r"
    // is an operand. "-" alone is an operand too.
    bool recursive = false;
    int first = 1;
    for (; first < argc; ++first) {
        const wchar_t* argument = argv[first];
        if (argument[0] != L'-' || argument[1] == L'\0') {
            break;
        }
        if (argument[1] == L'-' && argument[2] == L'\0') {
            ++first;
            break;
        }
        if (!ApplyOptionLetters(argument + 1, &recursive)) {
            return RefuseCommandLine(argument);
        }
    }
    if (first >= argc) {
        return RefuseCommandLine(nullptr);
    }

    wchar_t path[kPathCapacity];
    bool removedAll = true;
    for (int i = first; i < argc; ++i) {
        removedAll = RemoveOperand(argv[i], recursive, path) && removedAll;
    }
    return removedAll ? kRmRemoved : kRmFailed;
}
