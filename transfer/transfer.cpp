#include "transfer/transfer.h"

#include "common/bounded_format.h"
#include "platform/platform.h"
#include "profile/profile.h"

namespace {

// What tells a save from a restore: its folders and the captions of its message boxes.
struct PackageTransfer {
    bool (*fillSource)(wchar_t*, size_t, const wchar_t*);
    bool (*fillDestination)(wchar_t*, size_t, const wchar_t*);
    const wchar_t* removalCaption;
    const wchar_t* mirrorCaption;
};

const PackageTransfer kSave = {PackageLocalFolder, PackageSavedFolder,
                               L"Error Removing existing saved folder", L"Error Saving folder"};
const PackageTransfer kRestore = {PackageSavedFolder, PackageLocalFolder,
                                  L"Error Removing existing restored folder",
                                  L"Error Restoring folder"};

bool FillMirrorCommand(wchar_t* command, const wchar_t* source, const wchar_t* destination) {
    return FormatText(command, kMirrorCommandCapacity,
                      L"robocopy \"%ls\" \"%ls\" /MIR /NS /NC /NFL /NDL /NP > nul", source,
                      destination);
}

int ReportTooLong() {
    PlatformWriteError("Brenthaul: a folder path or command is too long; nothing was copied\n");
    return kTextTooLong;
}

// Shows a failed command's status, as "0x" and 32-bit lower-case hexadecimal.
void ReportStatus(const wchar_t* format, int status, const wchar_t* caption, unsigned type) {
    wchar_t text[kStatusTextCapacity];
    if (FormatText(text, kStatusTextCapacity, format, static_cast<unsigned>(status))) {
        PlatformShowMessage(text, caption, type);
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

    // Without a source the mirror has nothing to bring, and the destination may hold the only
    // copy of the user's data: keep it.
    if (clean && PlatformFolderExists(source)) {
        const int status = RunCommand(removal);
        if (debug && status != 0) {
            ReportStatus(L"'rm -r' returned value 0x%x", status, transfer.removalCaption,
                         kBoxWarning);
        }
    }
    const int status = RunCommand(mirror);
    if (debug && status != 0) {
        ReportStatus(L"'robocopy' returned value 0x%x", status, transfer.mirrorCaption, kBoxError);
    }
    return kTransferDone;
}

int TransferAll(bool (*fillSource)(wchar_t*, size_t), bool (*fillDestination)(wchar_t*, size_t)) {
    wchar_t source[kFolderCapacity];
    wchar_t destination[kFolderCapacity];
    wchar_t mirror[kMirrorCommandCapacity];
    if (!fillSource(source, kFolderCapacity) || !fillDestination(destination, kFolderCapacity) ||
        !FillMirrorCommand(mirror, source, destination)) {
        return ReportTooLong();
    }
    RunCommand(mirror);
    return kTransferDone;
}

}  // namespace

int SavePackage(const wchar_t* packageId, bool clean, bool debug) {
    return TransferPackage(kSave, packageId, clean, debug);
}

int RestorePackage(const wchar_t* packageId, bool clean, bool debug) {
    return TransferPackage(kRestore, packageId, clean, debug);
}

int SaveAllPackages() { return TransferAll(VfsFolder, SavedArea); }

int RestoreAllPackages() { return TransferAll(SavedArea, VfsFolder); }
