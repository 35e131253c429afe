#include "transfer/transfer.h"

#include "common/bounded_format.h"
#include "common/events.h"
#include "platform/platform.h"
#include "profile/profile.h"

namespace {

// What tells a save from a restore: its folders, the captions of its message boxes, and the words
// its events use.
struct PackageTransfer {
    bool (*fillSource)(wchar_t*, size_t, const wchar_t*);
    bool (*fillDestination)(wchar_t*, size_t, const wchar_t*);
    const wchar_t* removalCaption;
    const wchar_t* mirrorCaption;
    const wchar_t* operation;    // "save" or "restore"
    const wchar_t* destination;  // which folder the clean step removes: "saved" or "local"
};

const PackageTransfer kSave = {PackageLocalFolder,
                               PackageSavedFolder,
                               L"Error Removing existing saved folder",
                               L"Error Saving folder",
                               L"save",
                               L"saved"};
const PackageTransfer kRestore = {
    PackageSavedFolder,        PackageLocalFolder, L"Error Removing existing restored folder",
    L"Error Restoring folder", L"restore",         L"local"};

// Bound of a transfer's name in event texts, terminator included: "clean restore of package "
// and a GUID take 61 characters.
const size_t kTransferNameCapacity = 96;

// The command interpreter's status for a command it did not find ("is not recognized").
const int kNotRecognized = 9009;
// RunCommand's status when no command interpreter could be started.
const int kNoInterpreter = -1;

bool FillMirrorCommand(wchar_t* command, const wchar_t* source, const wchar_t* destination) {
    return FormatText(command, kMirrorCommandCapacity,
                      L"robocopy \"%ls\" \"%ls\" /MIR /NS /NC /NFL /NDL /NP > nul", source,
                      destination);
}

int ReportTooLong() {
    PlatformWriteError(DescribeTextTooLong());
    return kTextTooLong;
}

// Shows a failed command's status, as "0x" and 32-bit lower-case hexadecimal.
void ReportStatus(const wchar_t* format, int status, const wchar_t* caption, unsigned type) {
    wchar_t text[kStatusTextCapacity];
    if (FormatText(text, kStatusTextCapacity, format, static_cast<unsigned>(status))) {
        PlatformShowMessage(text, caption, type);
    }
}

// Names a transfer for its events: "save of package <id>", "clean restore of package <id>", or
// with no id "save of all packages". Built only when an event is recorded.
void NameTransfer(wchar_t* name, const wchar_t* operation, bool clean, const wchar_t* packageId) {
    if (packageId == nullptr) {
        FormatText(name, kTransferNameCapacity, L"%ls of all packages", operation);
    } else if (!FormatText(name, kTransferNameCapacity, L"%ls%ls of package %ls",
                           clean ? L"clean " : L"", operation, packageId)) {
        // Only an id longer than a GUID gets here, and the command line never passes one.
        FormatText(name, kTransferNameCapacity, L"%ls%ls of a package", clean ? L"clean " : L"",
                   operation);
    }
}

// robocopy's status is a sum of flags, and every value below 8 is a success.
bool MirrorFailed(int status) { return status < 0 || status >= 8; }

// What a mirror status of 8 or more, or a negative one, means, and what to check.
const wchar_t* DescribeMirrorFailure(int status) {
    if (status == kNoInterpreter) {
        return L"no command interpreter could be started";
    }
    if (status == kNotRecognized) {
        return L"the command interpreter's \"not recognized\": no robocopy was found on the "
               L"search path";
    }
    if (status >= 16 && status < 32) {
        return L"a fatal error: robocopy copied nothing (for example, the source folder does not "
               L"exist, or access is denied)";
    }
    if (status >= 8 && status < 16) {
        return L"some files or folders could not be copied";
    }
    return L"a value robocopy itself never returns (its own are 0 to 31): the program that ran "
           L"under that name failed otherwise, or ended abnormally";
}

const wchar_t* MirrorCheck(int status) {
    if (status == kNoInterpreter) {
        return L"the variable COMSPEC, and that cmd.exe can be started.";
    }
    if (status == kNotRecognized) {
        return L"that robocopy.exe, part of Windows (in System32), is found on the search path.";
    }
    if (status >= 8 && status < 32) {
        return L"that the source folder exists, that the user may read it and write to the "
               L"destination folder, and that a share in either path can be reached. To see "
               L"robocopy's own report, run the command above by hand without \"> nul\".";
    }
    return L"which program answers to the name robocopy on the search path.";
}

// Records a mirror that failed: an error event with the whole command line. `packageId` is
// nullptr for all packages.
void RecordMirrorFailure(const wchar_t* command, int status, const wchar_t* operation, bool clean,
                         const wchar_t* packageId) {
    wchar_t name[kTransferNameCapacity];
    NameTransfer(name, operation, clean, packageId);
    wchar_t text[kEventTextCapacity];
    // The name, the user name and the command are bounded well within the text's bound.
    if (FormatText(text, kEventTextCapacity,
                   L"The %ls for user %ls failed: robocopy returned 0x%x (%d), %ls.\r\n"
                   L"Command: %ls\r\n"
                   L"What to check: %ls",
                   name, g_userName, static_cast<unsigned>(status), status,
                   DescribeMirrorFailure(status), command, MirrorCheck(status))) {
        PlatformReportEvent(kEventError, kEventMirrorFailed, text);
    }
}

// Records a removal (the clean step) that returned non-zero: a warning, since the mirror runs.
void RecordRemovalFailure(const wchar_t* command, int status, const PackageTransfer& transfer,
                          const wchar_t* packageId) {
    const wchar_t* meaning = L"";
    const wchar_t* check =
        L"that the user may remove every file in the folder (a file in use or a read-only file "
        L"can stop a removal), and what the rm on the search path does with -r.";
    if (status == kNotRecognized) {
        meaning =
            L", the command interpreter's \"not recognized\": no rm was found on the search "
            L"path";
        check =
            L"that a command named rm that accepts -r is on the search path. Windows has none: "
            L"install Brenthaul's rm.exe (the MSI puts it on the search path).";
    } else if (status == kNoInterpreter) {
        meaning = L", no command interpreter could be started";
        check = L"the variable COMSPEC, and that cmd.exe can be started.";
    }
    wchar_t name[kTransferNameCapacity];
    NameTransfer(name, transfer.operation, true, packageId);
    wchar_t text[kEventTextCapacity];
    if (FormatText(text, kEventTextCapacity,
                   L"The %ls for user %ls could not remove the existing %ls folder first: 'rm -r' "
                   L"returned 0x%x (%d)%ls. The mirror ran afterwards all the same, so files "
                   L"robocopy found unchanged may have been left in place rather than copied "
                   L"afresh.\r\n"
                   L"Command: %ls\r\n"
                   L"What to check: %ls",
                   name, g_userName, transfer.destination, static_cast<unsigned>(status), status,
                   meaning, command, check)) {
        PlatformReportEvent(kEventWarning, kEventRemovalFailed, text);
    }
}

// Records a warning when the profile roots are not the user's own; the transfer goes on as usual.
void CheckRoots(const wchar_t* operation, bool clean, const wchar_t* packageId) {
    if (!RootsAreTheUsersOwn()) {
        wchar_t name[kTransferNameCapacity];
        NameTransfer(name, operation, clean, packageId);
        ReportRootsNotTheUsersOwn(name);
    }
}

int TransferPackage(const PackageTransfer& transfer, const wchar_t* packageId, bool clean,
                    bool debug) {
    // Every text is built before anything runs, so a text that does not fit stops the whole
    // transfer rather than leaving it half done.
    wchar_t source[kFolderCapacity];
    wchar_t destination[kFolderCapacity];
    wchar_t removal[kRemovalCommandCapacity];
    wchar_t mirror[kMirrorCommandCapacity];
    if (!transfer.fillSource(source, kFolderCapacity, packageId) ||
        !transfer.fillDestination(destination, kFolderCapacity, packageId) ||
        !FormatText(removal, kRemovalCommandCapacity, L"rm -r \"%ls\"", destination) ||
        !FillMirrorCommand(mirror, source, destination)) {
        return ReportTooLong();
    }

    CheckRoots(transfer.operation, clean, packageId);

    // Without a source the mirror has nothing to bring, and the destination may hold the only
    // copy of the user's data: keep it.
    if (clean && PlatformFolderExists(source)) {
        const int status = RunCommand(removal);
        if (status != 0) {
            RecordRemovalFailure(removal, status, transfer, packageId);
            if (debug) {
                ReportStatus(L"'rm -r' returned value 0x%x", status, transfer.removalCaption,
                             kBoxWarning);
            }
        }
    }
    const int status = RunCommand(mirror);
    if (MirrorFailed(status)) {
        RecordMirrorFailure(mirror, status, transfer.operation, clean, packageId);
    }
    if (debug && status != 0) {
        ReportStatus(L"'robocopy' returned value 0x%x", status, transfer.mirrorCaption, kBoxError);
    }
    return kTransferDone;
}

int TransferAll(const wchar_t* operation, bool (*fillSource)(wchar_t*, size_t),
                bool (*fillDestination)(wchar_t*, size_t)) {
    wchar_t source[kFolderCapacity];
    wchar_t destination[kFolderCapacity];
    wchar_t mirror[kMirrorCommandCapacity];
    if (!fillSource(source, kFolderCapacity) || !fillDestination(destination, kFolderCapacity) ||
        !FillMirrorCommand(mirror, source, destination)) {
        return ReportTooLong();
    }
    CheckRoots(operation, false, nullptr);
    const int status = RunCommand(mirror);
    if (MirrorFailed(status)) {
        RecordMirrorFailure(mirror, status, operation, false, nullptr);
    }
    return kTransferDone;
}

}  // namespace

int SavePackage(const wchar_t* packageId, bool clean, bool debug) {
    return TransferPackage(kSave, packageId, clean, debug);
}

int RestorePackage(const wchar_t* packageId, bool clean, bool debug) {
    return TransferPackage(kRestore, packageId, clean, debug);
}

int SaveAllPackages() { return TransferAll(L"save", VfsFolder, SavedArea); }

int RestoreAllPackages() { return TransferAll(L"restore", SavedArea, VfsFolder); }

const char* DescribeTextTooLong() {
    return "Brenthaul: a folder path or command is too long; nothing was copied\n";
}
