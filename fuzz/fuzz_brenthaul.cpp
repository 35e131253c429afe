// libFuzzer target: one whole run of the tool (RunBrenthaul) per input, against a recording
// stand-in for platform.h. The input chooses the argument vector, the user name (and whether it
// could be obtained), SystemDrive (and whether it is set), whether folders exist and what the
// commands return. After each run the recorded calls are checked against what the tool promises;
// a broken promise aborts, which libFuzzer reports as a crash with the input that caused it.
//
// Input layout (fuzz/make_seeds.py writes one seed for every command-line form):
//   byte 0   flags: bits 0-2 argument count (value mod 5, so 0 to 4 arguments after the
//            program's path), bit 3 user name obtained, bit 4 SystemDrive set, bit 5 folders
//            exist, bit 6 a failed user-name lookup scribbles over the buffer anyway
//   byte 1   bits 0-2 index into kCommandStatuses: what every command returns; bits 3-4 what
//            LOCALAPPDATA and APPDATA hold (kLogonFolders)
//   then     fields separated by a 0x00 byte: user name, SystemDrive, argument 1, ..., argument 4
// Each field is decoded into wide characters: a byte other than 0x00 and 0xFF is the character of
// that code (so Latin-1 and control characters come straight through); 0xFF followed by two bytes
// is the 16-bit code unit they give, high byte first, so any UTF-16 code unit but NUL can appear.
#include <locale.h>
#include <stddef.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <wchar.h>

#include <string>
#include <vector>

#include "cli/brenthaul.h"
#include "common/events.h"
#include "platform/platform.h"
#include "profile/profile.h"
#include "transfer/transfer.h"

namespace {

const int kCommandStatuses[] = {0, 1, -1, 2, 8, 16, 0x7fffffff, static_cast<int>(0x80000000u)};

// What LOCALAPPDATA and APPDATA hold: nothing, the roots themselves as Windows might write them
// (other letter case, doubled and trailing backslashes), another local folder, or a share.
enum LogonFolders { kFoldersUnset, kFoldersOwn, kLocalElsewhere, kRoamingOnAShare };

struct Recorded {
    std::string kind;  // "run", "box", "exists", "event"
    std::wstring text;
    std::wstring caption;
    unsigned type = 0;  // event type
    unsigned id = 0;    // event id
};

// What the stand-in platform answers in this run, and what the tool asked of it.
struct FuzzSystem {
    bool userNameObtained;
    bool scribbleOnFailure;
    std::wstring userName;
    bool systemDriveSet;
    std::wstring systemDrive;
    bool foldersExist;
    int commandStatus;
    LogonFolders logonFolders;
    std::wstring localAppData;
    std::wstring appData;
    std::vector<Recorded> calls;
    bool wroteUsage;
    bool wroteError;
    std::string errorLine;
};

FuzzSystem g_system;

[[noreturn]] void Fail(const char* what) {
    fprintf(stderr, "brenthaul_fuzz: promise broken: %s\n", what);
    abort();
}

void Check(bool condition, const char* what) {
    if (!condition) {
        Fail(what);
    }
}

// Reads everything after the two header bytes as `count` fields, one pass: 0x00 ends a field,
// 0xFF takes the next two bytes (whatever they are, 0x00 included) as one 16-bit code unit, any
// other byte is the character of that code. Missing fields are empty.
std::vector<std::wstring> Fields(const uint8_t* data, size_t size, size_t count) {
    std::vector<std::wstring> fields(1);
    for (size_t i = 0; i < size && fields.size() <= count; ++i) {
        if (data[i] == 0x00) {
            fields.emplace_back();
        } else if (data[i] == 0xFF && i + 2 < size) {
            const wchar_t unit = static_cast<wchar_t>((data[i + 1] << 8) | data[i + 2]);
            i += 2;
            if (unit != L'\0') {
                fields.back().push_back(unit);  // a C string holds no NUL; the OS passes none
            }
        } else {
            fields.back().push_back(static_cast<wchar_t>(data[i]));
        }
    }
    fields.resize(count);
    return fields;
}

bool IsHex(wchar_t c) {
    return (c >= L'0' && c <= L'9') || (c >= L'a' && c <= L'f') || (c >= L'A' && c <= L'F');
}

// The id check written again from its definition, independent of the tool's own.
bool GuidShaped(const std::wstring& text) {
    if (text.size() != 36) {
        return false;
    }
    for (size_t i = 0; i < 36; ++i) {
        const bool dash = i == 8 || i == 13 || i == 18 || i == 23;
        if (dash ? text[i] != L'-' : !IsHex(text[i])) {
            return false;
        }
    }
    return true;
}

bool StartsWith(const std::wstring& text, const std::wstring& prefix) {
    return text.compare(0, prefix.size(), prefix) == 0;
}

bool Holds(const std::wstring& text, const std::wstring& part) {
    return text.find(part) != std::wstring::npos;
}

// A root as Windows might have written it in its variable: ASCII letters in the other case,
// every backslash doubled, and a trailing one.
std::wstring AsWindowsMightWriteIt(const std::wstring& root) {
    std::wstring folder;
    for (const wchar_t c : root) {
        if (c >= L'a' && c <= L'z') {
            folder.push_back(static_cast<wchar_t>(c - L'a' + L'A'));
        } else if (c >= L'A' && c <= L'Z') {
            folder.push_back(static_cast<wchar_t>(c - L'A' + L'a'));
        } else {
            folder.push_back(c);
        }
        if (c == L'\\') {
            folder.push_back(L'\\');
        }
    }
    return folder + L"\\";
}

// Every event text: within its bound, and every line break is the tool's own CR LF; nothing from
// outside (arguments, user name, variables) brings a control character of its own.
void CheckEventText(const std::wstring& text) {
    Check(!text.empty() && text.size() + 1 <= kEventTextCapacity,
          "an event text exceeds its bound");
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == L'\r') {
            Check(i + 1 < text.size() && text[i + 1] == L'\n', "a CR without its LF in an event");
        } else if (text[i] == L'\n') {
            Check(i > 0 && text[i - 1] == L'\r', "an LF without its CR in an event");
        } else {
            Check(text[i] >= L' ', "a control character in an event text");
        }
    }
}

// Checks the events of one run against its status and the commands it ran: refusals record
// exactly one event of their kind; a transfer records the roots' warning first when they differ,
// a warning after a removal that returned non-zero, an error after a mirror that returned 8 or
// more or a negative value, and nothing else. So a run that goes well records nothing.
void CheckEvents(int status, size_t argumentCount) {
    std::vector<unsigned> expected;
    switch (status) {
        case -1:
        case -2:
        case -3:
        case -6:
            expected.push_back(kEventBadCommandLine);
            break;
        case -4:
            expected.push_back(kEventBadPackageId);
            break;
        case -5:
            expected.push_back(kEventNotUsable);
            break;
        default:
            if (g_system.logonFolders == kLocalElsewhere ||
                g_system.logonFolders == kRoamingOnAShare) {
                expected.push_back(kEventRootsNotOwn);
            }
            break;
    }
    const bool failed = g_system.commandStatus != 0;
    const bool mirrorFailed = g_system.commandStatus < 0 || g_system.commandStatus >= 8;
    std::wstring lastCommand;
    std::vector<unsigned> recorded;
    for (const Recorded& call : g_system.calls) {
        if (call.kind == "run") {
            lastCommand = call.text;
            const bool removal = StartsWith(call.text, L"rm ");
            if ((removal && failed) || (!removal && mirrorFailed)) {
                expected.push_back(removal ? kEventRemovalFailed : kEventMirrorFailed);
            }
            continue;
        }
        if (call.kind != "event") {
            continue;
        }
        recorded.push_back(call.id);
        CheckEventText(call.text);
        const bool error = call.id == kEventMirrorFailed || call.id == kEventBadPackageId ||
                           call.id == kEventNotUsable;
        Check(call.type == (error ? kEventError : kEventWarning), "an event of the wrong type");
        if (call.id == kEventMirrorFailed || call.id == kEventRemovalFailed) {
            Check(Holds(call.text, L"\r\nCommand: " + lastCommand + L"\r\n"),
                  "a command's event does not show the command that just ran");
            Check(Holds(call.text, L" for user " + g_system.userName + L" "),
                  "a command's event does not name the user");
        } else if (call.id == kEventRootsNotOwn) {
            Check(lastCommand.empty(), "the roots' warning came after a command");
        } else {
            Check(Holds(call.text, L"\r\nArguments (" + std::to_wstring(argumentCount) + L"): "),
                  "a refusal's event does not show the arguments");
        }
        if (call.id == kEventNotUsable) {
            const std::string& line = g_system.errorLine;
            Check(Holds(call.text, L":\r\n" + std::wstring(line.begin(), line.end() - 1) + L"\r\n"),
                  "a -5 event does not quote the line on standard error");
        }
    }
    Check(recorded == expected, "the events recorded are not those of the run");
}

// Checks one folder of a command: it lies under one of the roots, and is exactly one of the four
// App-V folders the tool may name (the id, when there is one, is the one from the command line).
void CheckFolder(const std::wstring& folder, const std::wstring& id, bool singlePackage) {
    const std::wstring local = g_localRoot;
    const std::wstring roaming = g_roamingRoot;
    Check(!local.empty() && !roaming.empty(), "a command ran without both roots set");
    const std::wstring profile = g_system.systemDrive + L"\\Users\\" + g_system.userName;
    Check(local == profile + L"\\AppData\\Local" && roaming == profile + L"\\AppData\\Roaming",
          "a root is not built from SystemDrive and the user name");
    Check(StartsWith(folder, local) || StartsWith(folder, roaming),
          "a folder lies under neither root");
    const std::wstring vfs = local + L"\\Microsoft\\AppV\\Client\\VFS";
    const std::wstring saved = roaming + L"\\Microsoft\\AppV\\Client\\VFS\\SavedFromLocal";
    if (singlePackage) {
        Check(folder == vfs + L"\\" + id || folder == saved + L"\\" + id,
              "a package folder is not the package's own");
    } else {
        Check(folder == vfs || folder == saved,
              "an all-package folder is not the VFS or save area");
    }
}

// Takes the quoted folders out of a command: `quotes` double quotes in all, each pair around a
// folder, and none elsewhere.
std::vector<std::wstring> QuotedFolders(const std::wstring& command, size_t quotes) {
    std::vector<size_t> at;
    for (size_t i = 0; i < command.size(); ++i) {
        if (command[i] == L'"') {
            at.push_back(i);
        }
    }
    Check(at.size() == quotes, "a command holds a double quote besides its path quotes");
    std::vector<std::wstring> folders;
    for (size_t i = 0; i + 1 < at.size(); i += 2) {
        folders.push_back(command.substr(at[i] + 1, at[i + 1] - at[i] - 1));
    }
    return folders;
}

void CheckCommand(const std::wstring& command, const std::wstring& id, bool singlePackage,
                  bool removal) {
    for (const wchar_t c : command) {
        Check(c != L'%', "a command holds a percent sign");
        // The C0 controls, as the tool defines them (DEL and the C1 range reach cmd as
        // ordinary characters and are allowed in Windows file names).
        Check(c >= L' ', "a command holds a control character");
    }
    const std::wstring tail = L" /MIR /NS /NC /NFL /NDL /NP > nul";
    if (removal) {
        Check(command.size() + 1 <= kRemovalCommandCapacity, "a removal exceeds its bound");
        Check(StartsWith(command, L"rm -r \"") && command.back() == L'"',
              "a removal is not shaped rm -r \"folder\"");
        const std::vector<std::wstring> folders = QuotedFolders(command, 2);
        CheckFolder(folders[0], id, singlePackage);
    } else {
        Check(command.size() + 1 <= kMirrorCommandCapacity, "a mirror exceeds its bound");
        Check(StartsWith(command, L"robocopy \"") && command.size() > tail.size() &&
                  command.compare(command.size() - tail.size(), tail.size(), tail) == 0,
              "a mirror is not shaped robocopy \"from\" \"to\" /MIR ...");
        const std::vector<std::wstring> folders = QuotedFolders(command, 4);
        CheckFolder(folders[0], id, singlePackage);
        CheckFolder(folders[1], id, singlePackage);
        Check(folders[0] != folders[1], "a mirror copies a folder onto itself");
    }
}

void CheckRun(int status, const std::vector<std::wstring>& arguments) {
    const size_t argumentCount = arguments.size();
    Check(status == 0 || status == -1 || status == -2 || status == -3 || status == -4 ||
              status == -5 || status == -6,
          "the status is not one of 0, -1 ... -6");
    Check(status != 0 || !g_system.wroteUsage, "a run that transferred also printed the usage");
    Check(status == 0 || status == -5 || g_system.wroteUsage, "a refused run printed no usage");
    Check(status != -5 || g_system.wroteError, "status -5 came without a line on stderr");

    std::vector<std::wstring> commands;
    size_t removals = 0;
    size_t mirrors = 0;
    for (const Recorded& call : g_system.calls) {
        if (call.kind == "run") {
            commands.push_back(call.text);
        } else if (call.kind == "box") {
            Check(call.text.size() + 1 <= kStatusTextCapacity, "a box text exceeds its bound");
            Check(StartsWith(call.caption, L"Error"), "a box caption does not begin with Error");
        }
    }
    Check(commands.size() <= 2, "more than two commands ran");
    Check(status == 0 || commands.empty(), "a command ran in a refused run");
    Check(status != 0 || !commands.empty(), "status 0 but nothing ran");
    if (commands.empty()) {
        return;
    }
    Check(argumentCount >= 1 && argumentCount <= 3, "a command ran for a wrong argument count");
    const bool singlePackage = argumentCount >= 2;
    std::wstring id;
    if (singlePackage) {
        id = arguments.back();
        Check(GuidShaped(id), "a command ran for an id that is not GUID-shaped");
    }
    for (size_t i = 0; i < commands.size(); ++i) {
        const bool removal = StartsWith(commands[i], L"rm ");
        if (removal) {
            ++removals;
            Check(singlePackage, "a removal ran in the all-package scope");
            Check(i == 0 && commands.size() == 2, "a removal ran other than just before a mirror");
        } else {
            ++mirrors;
        }
        CheckCommand(commands[i], id, singlePackage, removal);
    }
    Check(mirrors == 1 && removals <= 1, "a run did not end in exactly one mirror");
}

}  // namespace

// The stand-in platform.

bool PlatformGetUserName(wchar_t* name, size_t capacity) {
    const std::wstring& user = g_system.userName;
    if (!g_system.userNameObtained || user.size() + 1 > capacity) {
        if (g_system.scribbleOnFailure) {
            // Leaves the buffer as a failing call might: filled, perhaps with no terminator.
            for (size_t i = 0; i < capacity; ++i) {
                name[i] = user.empty() ? L'x' : user[i % user.size()];
            }
        }
        return false;
    }
    wmemcpy(name, user.c_str(), user.size() + 1);
    return true;
}

const wchar_t* PlatformGetEnvironment(const wchar_t* variable) {
    if (wcscmp(variable, L"SystemDrive") == 0 && g_system.systemDriveSet) {
        return g_system.systemDrive.c_str();
    }
    if (wcscmp(variable, L"LOCALAPPDATA") == 0 && g_system.logonFolders != kFoldersUnset) {
        return g_system.localAppData.c_str();
    }
    if (wcscmp(variable, L"APPDATA") == 0 && g_system.logonFolders != kFoldersUnset) {
        return g_system.appData.c_str();
    }
    return nullptr;
}

int RunCommand(const wchar_t* commandLine) {
    g_system.calls.push_back({"run", commandLine, L""});
    return g_system.commandStatus;
}

void PlatformShowMessage(const wchar_t* text, const wchar_t* caption, unsigned type) {
    Check(type == kBoxWarning || type == kBoxError, "a box of an unknown type");
    g_system.calls.push_back({"box", text, caption});
}

void PlatformWriteOutput(const char* text) {
    Check(text != nullptr, "no text for standard output");
    g_system.wroteUsage = true;
}

void PlatformWriteError(const char* text) {
    Check(text != nullptr && StartsWith(std::wstring(text, text + strlen(text)), L"Brenthaul: "),
          "a line on stderr does not begin with \"Brenthaul: \"");
    Check(!g_system.wroteError, "more than one line on stderr");
    g_system.wroteError = true;
    g_system.errorLine = text;
}

bool PlatformFolderExists(const wchar_t* path) {
    g_system.calls.push_back({"exists", path, L""});
    return g_system.foldersExist;
}

void PlatformReportEvent(unsigned type, unsigned id, const wchar_t* text) {
    Check(type == kEventError || type == kEventWarning, "an event of an unknown type");
    g_system.calls.push_back({"event", text, L"", type, id});
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) {
        return 0;
    }
    const uint8_t flags = data[0];
    const size_t argumentCount = static_cast<size_t>(flags & 0x07) % 5;
    const std::vector<std::wstring> fields = Fields(data + 2, size - 2, 2 + argumentCount);

    g_system = FuzzSystem();
    g_system.userNameObtained = (flags & 0x08) != 0;
    g_system.systemDriveSet = (flags & 0x10) != 0;
    g_system.foldersExist = (flags & 0x20) != 0;
    g_system.scribbleOnFailure = (flags & 0x40) != 0;
    g_system.commandStatus = kCommandStatuses[data[1] % (sizeof kCommandStatuses / sizeof(int))];
    g_system.logonFolders = static_cast<LogonFolders>((data[1] >> 3) & 0x03);
    g_system.userName = fields[0];
    g_system.systemDrive = fields[1];
    const std::wstring profile = g_system.systemDrive + L"\\Users\\" + g_system.userName;
    g_system.localAppData = AsWindowsMightWriteIt(profile + L"\\AppData\\Local");
    g_system.appData = AsWindowsMightWriteIt(profile + L"\\AppData\\Roaming");
    // The other folders hold a '%', which no usable root holds: they differ from the roots
    // whatever the user name and SystemDrive are.
    if (g_system.logonFolders == kLocalElsewhere) {
        g_system.localAppData = L"D:\\Profiles\\%USERNAME%\\AppData\\Local";
    } else if (g_system.logonFolders == kRoamingOnAShare) {
        g_system.appData = L"\\\\server\\profiles\\%USERNAME%\\AppData\\Roaming";
    }

    const std::vector<std::wstring> arguments(fields.begin() + 2, fields.end());
    std::vector<const wchar_t*> argv = {L"C:\\Tools\\Brenthaul.exe"};
    for (const std::wstring& argument : arguments) {
        argv.push_back(argument.c_str());
    }
    argv.push_back(nullptr);

    const int status = RunBrenthaul(static_cast<int>(argv.size() - 1), argv.data());
    // BRENTHAUL_FUZZ_TRACE=1 prints each run's status and commands, to see what a seed does.
    static const bool trace = getenv("BRENTHAUL_FUZZ_TRACE") != nullptr;
    if (trace) {
        setlocale(LC_ALL, "C.UTF-8");
        fprintf(stderr, "status %d\n", status);
        for (const Recorded& call : g_system.calls) {
            if (call.kind == "event") {
                fprintf(stderr, "  event %u (type %u): %ls\n", call.id, call.type,
                        call.text.c_str());
            } else {
                fprintf(stderr, "  %s %ls\n", call.kind.c_str(), call.text.c_str());
            }
        }
    }
    CheckRun(status, arguments);
    CheckEvents(status, arguments.size());
    return 0;
}
