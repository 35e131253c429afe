#include "rm/rm.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "rm/rm_platform.h"
#include "tests/rm/fake_file_system.h"

namespace {

// The saved package folder of the clean step, as rm gets it and as the file system names it.
const std::wstring kSavedArea =
    L"C:\\Users\\user1\\AppData\\Roaming\\Microsoft\\AppV\\Client\\VFS\\SavedFromLocal";
const std::wstring kPackage = kSavedArea + L"\\6f2b8a2e-3d41-4c5e-9a7b-0c1d2e3f4a5b";
const std::wstring kExtended = L"\\\\?\\";
const std::wstring kPackageFs = kExtended + kPackage;
// Data outside the package folder that links inside it point to.
const std::wstring kElsewhereFs = kExtended + L"D:\\Data";

const std::wstring kUsage = L"usage: rm [-r | -R] [--] PATH...";
const std::wstring kIsFolder = L"Is a directory (use -r to remove a folder and everything in it)";
const std::wstring kNotFound = L"The system cannot find the file specified.";

int Rm(const std::vector<std::wstring>& arguments) {
    std::vector<const wchar_t*> argv = {L"rm"};
    for (const std::wstring& argument : arguments) argv.push_back(argument.c_str());
    return RunRm(static_cast<int>(argv.size()), argv.data());
}

std::wstring CannotRemove(const std::wstring& path, const std::wstring& reason) {
    return L"rm: cannot remove '" + path + L"': " + reason;
}

bool IsAtOrUnder(const std::wstring& path, const std::wstring& folder) {
    return path == folder || path.compare(0, folder.size() + 1, folder + L"\\") == 0;
}

// Every call after the path conversion names `folder` or something in it.
void ExpectCallsOnlyUnder(const std::wstring& folder) {
    for (const FakeCall& call : Fs().calls) {
        if (call.kind != "fullpath") {
            EXPECT_TRUE(IsAtOrUnder(call.path, folder)) << call.kind << " " << call.path;
        }
    }
}

// No call names `path` or anything under it.
void ExpectUntouched(const std::wstring& path) {
    for (const FakeCall& call : Fs().calls) {
        EXPECT_FALSE(IsAtOrUnder(call.path, path)) << call.kind << " " << call.path;
    }
}

// No call names anything under `path`.
void ExpectNothingBelow(const std::wstring& path) {
    for (const FakeCall& call : Fs().calls) {
        EXPECT_NE(call.path.compare(0, path.size() + 1, path + L"\\"), 0)
            << call.kind << " " << call.path;
    }
}

// No entry is removed before everything under it.
void ExpectDeepestFirst() {
    const std::vector<FakeCall>& calls = Fs().calls;
    for (size_t i = 0; i < calls.size(); ++i) {
        if (calls[i].kind != "rmdir") continue;
        for (size_t j = i + 1; j < calls.size(); ++j) {
            EXPECT_FALSE(calls[j].path != calls[i].path &&
                         IsAtOrUnder(calls[j].path, calls[i].path))
                << calls[j].kind << " " << calls[j].path << " after rmdir " << calls[i].path;
        }
    }
}

// The index of the first call of `kind` on `path`, or the number of calls when there is none.
size_t CallIndex(const std::string& kind, const std::wstring& path) {
    const std::vector<FakeCall>& calls = Fs().calls;
    for (size_t i = 0; i < calls.size(); ++i) {
        if (calls[i].kind == kind && calls[i].path == path) return i;
    }
    return calls.size();
}

// The index of the call that removed `path`, or the number of calls when there is none.
size_t RemovalIndex(const std::wstring& path) {
    return std::min(CallIndex("delete", path), CallIndex("rmdir", path));
}

class RmTest : public ::testing::Test {
protected:
    void SetUp() override { ResetFakeFileSystem(); }
};

// --- the `\\?\` form ------------------------------------------------------------------------

struct ExtendedCase {
    const char* name;
    const wchar_t* full;
    const wchar_t* extended;
};

const ExtendedCase kExtendedCases[] = {
    {"drive_path", L"C:\\a\\b", L"\\\\?\\C:\\a\\b"},
    {"separators_at_the_end_dropped", L"C:\\a\\b\\\\", L"\\\\?\\C:\\a\\b"},
    {"drive_root_keeps_its_separator", L"C:\\", L"\\\\?\\C:\\"},
    {"unc_path", L"\\\\server\\share\\x y", L"\\\\?\\UNC\\server\\share\\x y"},
    {"unc_share_root_keeps_its_separator", L"\\\\server\\share\\", L"\\\\?\\UNC\\server\\share\\"},
    {"extended_path_stays", L"\\\\?\\C:\\x", L"\\\\?\\C:\\x"},
    {"extended_unc_path", L"\\\\?\\UNC\\s\\h\\x\\", L"\\\\?\\UNC\\s\\h\\x"},
    {"device_form_becomes_extended", L"\\\\.\\C:\\x", L"\\\\?\\C:\\x"},
    {"volume_path", L"\\\\?\\Volume{0a1b}\\x\\", L"\\\\?\\Volume{0a1b}\\x"},
    {"non_ascii_names_kept", L"C:\\Zo\u00eb\\\u65e5\u672c", L"\\\\?\\C:\\Zo\u00eb\\\u65e5\u672c"},
};

void PrintTo(const ExtendedCase& c, std::ostream* os) { *os << c.name; }

class ExtendedTable : public ::testing::TestWithParam<ExtendedCase> {};

TEST_P(ExtendedTable, GivesTheExtendedForm) {
    wchar_t extended[64];
    ASSERT_TRUE(MakeExtendedPath(GetParam().full, extended, 64));
    EXPECT_EQ(std::wstring(extended), GetParam().extended);
}

INSTANTIATE_TEST_SUITE_P(Cases, ExtendedTable, ::testing::ValuesIn(kExtendedCases),
                         [](const ::testing::TestParamInfo<ExtendedCase>& info) {
                             return std::string(info.param.name);
                         });

TEST(MakeExtendedPath, ResultThatDoesNotFitIsRefusedAndLeftEmpty) {
    wchar_t extended[17] = {L'x'};
    ASSERT_TRUE(MakeExtendedPath(L"\\\\srv\\sh\\a", extended, 17));  // 16 characters
    EXPECT_EQ(std::wstring(extended), L"\\\\?\\UNC\\srv\\sh\\a");
    EXPECT_FALSE(MakeExtendedPath(L"\\\\srv\\sh\\ab", extended, 17));
    EXPECT_EQ(extended[0], L'\0');
}

// --- the command line -----------------------------------------------------------------------

struct UsageCase {
    const char* name;
    std::vector<std::wstring> arguments;
    std::wstring firstLine;
};

const std::wstring kMissing = L"rm: missing operand";

const UsageCase kUsageCases[] = {
    {"no_arguments", {}, kMissing},
    {"options_only", {L"-r"}, kMissing},
    {"options_and_double_dash_only", {L"-r", L"--"}, kMissing},
    {"unknown_letter", {L"-x", kPackage}, L"rm: unknown option '-x'"},
    {"force_is_not_an_option", {L"-rf", kPackage}, L"rm: unknown option '-rf'"},
    {"long_options_are_not_taken", {L"--recursive", kPackage}, L"rm: unknown option '--recursive'"},
    {"unknown_after_a_known_one", {L"-r", L"-i", kPackage}, L"rm: unknown option '-i'"},
    {"only_ascii_r_counts", {L"-\uff32", kPackage}, L"rm: unknown option '-\uff32'"},
};

void PrintTo(const UsageCase& c, std::ostream* os) { *os << c.name; }

class UsageTable : public RmTest, public ::testing::WithParamInterface<UsageCase> {};

TEST_P(UsageTable, StatusOneUsageLineAndNothingTouched) {
    AddFile(kPackageFs + L"\\f.txt");
    EXPECT_EQ(Rm(GetParam().arguments), kRmFailed);
    EXPECT_EQ(Fs().errorLines, (std::vector<std::wstring>{GetParam().firstLine, kUsage}));
    EXPECT_TRUE(Fs().calls.empty());
    EXPECT_TRUE(Exists(kPackageFs + L"\\f.txt"));
}

INSTANTIATE_TEST_SUITE_P(Cases, UsageTable, ::testing::ValuesIn(kUsageCases),
                         [](const ::testing::TestParamInfo<UsageCase>& info) {
                             return std::string(info.param.name);
                         });

struct OptionsCase {
    const char* name;
    std::vector<std::wstring> options;
};

const OptionsCase kRecursiveCases[] = {
    {"r", {L"-r"}},
    {"upper_case_r", {L"-R"}},
    {"combined", {L"-rR"}},
    {"combined_upper_first", {L"-Rr"}},
    {"repeated", {L"-r", L"-R", L"-rrr"}},
    {"double_dash_after", {L"-r", L"--"}},
};

void PrintTo(const OptionsCase& c, std::ostream* os) { *os << c.name; }

class RecursiveTable : public RmTest, public ::testing::WithParamInterface<OptionsCase> {};

TEST_P(RecursiveTable, RemovesTheFolderTree) {
    AddFile(kPackageFs + L"\\sub\\f.txt");
    std::vector<std::wstring> arguments = GetParam().options;
    arguments.push_back(kPackage);
    EXPECT_EQ(Rm(arguments), kRmRemoved);
    EXPECT_TRUE(Fs().errorLines.empty());
    EXPECT_TRUE(EntriesUnder(kPackageFs).empty());
}

INSTANTIATE_TEST_SUITE_P(Cases, RecursiveTable, ::testing::ValuesIn(kRecursiveCases),
                         [](const ::testing::TestParamInfo<OptionsCase>& info) {
                             return std::string(info.param.name);
                         });

TEST_F(RmTest, OptionsEndAtTheFirstOperand) {
    AddFile(kExtended + L"C:\\work\\a.txt");
    EXPECT_EQ(Rm({L"a.txt", L"-r"}), kRmFailed);
    EXPECT_FALSE(Exists(kExtended + L"C:\\work\\a.txt"));
    // "-r" after an operand is one more operand, a file that is not there.
    EXPECT_EQ(Fs().errorLines, std::vector<std::wstring>{CannotRemove(L"-r", kNotFound)});
    EXPECT_EQ(CallsOf("attributes").back(), kExtended + L"C:\\work\\-r");
}

TEST_F(RmTest, DoubleDashAndDashAloneMakeOperandsOfWhatFollows) {
    AddFile(kExtended + L"C:\\work\\-r");
    AddFile(kExtended + L"C:\\work\\-");
    EXPECT_EQ(Rm({L"--", L"-r", L"-"}), kRmRemoved);
    EXPECT_TRUE(Fs().errorLines.empty());
    EXPECT_FALSE(Exists(kExtended + L"C:\\work\\-r"));
    EXPECT_FALSE(Exists(kExtended + L"C:\\work\\-"));
}

// --- removing trees -------------------------------------------------------------------------

TEST_F(RmTest, RemovesANestedTreeDeepestFirstAndNothingBeside) {
    AddFile(kPackageFs + L"\\Settings.ini");
    AddFolder(kPackageFs + L"\\empty folder");
    AddFile(kPackageFs + L"\\Program Files\\Vendor App\\\u00fcn\u00efc\u00f6d\u00e9 name.txt");
    AddFile(kPackageFs + L"\\AppData\\\u00c4rger mit Leerzeichen\\\u00df.cfg");
    AddFile(kPackageFs + L"\\a\\b\\c\\d\\e\\leaf.bin");
    AddFile(kPackageFs + L"\\..data");
    AddFile(kPackageFs + L"-other\\keep.txt");  // a sibling whose name begins the same way
    AddFile(kExtended + kSavedArea + L"\\keep.txt");

    EXPECT_EQ(Rm({L"-r", kPackage}), kRmRemoved);
    EXPECT_TRUE(Fs().errorLines.empty());
    EXPECT_TRUE(EntriesUnder(kPackageFs).empty());
    EXPECT_TRUE(Exists(kPackageFs + L"-other\\keep.txt"));
    EXPECT_TRUE(Exists(kExtended + kSavedArea + L"\\keep.txt"));
    ExpectCallsOnlyUnder(kPackageFs);
    ExpectDeepestFirst();
    EXPECT_EQ(CallsOf("rmdir").back(), kPackageFs);
    EXPECT_TRUE(CallsOf("clear").empty());  // nothing was read-only
}

TEST_F(RmTest, SeveralOperandsAreRemovedInTurn) {
    AddFile(kPackageFs + L"\\sub\\f.txt");
    AddFile(kExtended + L"C:\\work\\one file.txt");
    AddFolder(kExtended + L"C:\\work\\empty");
    EXPECT_EQ(Rm({L"-r", kPackage, L"one file.txt", L"C:\\work\\empty\\"}), kRmRemoved);
    EXPECT_TRUE(Fs().errorLines.empty());
    EXPECT_FALSE(Exists(kPackageFs));
    EXPECT_FALSE(Exists(kExtended + L"C:\\work\\one file.txt"));
    EXPECT_FALSE(Exists(kExtended + L"C:\\work\\empty"));
    EXPECT_EQ(CallsOf("delete").back(), kExtended + L"C:\\work\\one file.txt");
}

TEST_F(RmTest, FolderWithoutRecursiveIsRefusedAndLeftAlone) {
    AddFile(kPackageFs + L"\\f.txt");
    EXPECT_EQ(Rm({kPackage}), kRmFailed);
    EXPECT_EQ(Fs().errorLines, std::vector<std::wstring>{CannotRemove(kPackage, kIsFolder)});
    EXPECT_TRUE(Exists(kPackageFs + L"\\f.txt"));
    EXPECT_TRUE(CallsOf("list").empty());
    EXPECT_TRUE(CallsOf("delete").empty());
    EXPECT_TRUE(CallsOf("rmdir").empty());
}

TEST_F(RmTest, FileWithoutRecursiveIsRemoved) {
    AddFile(kPackageFs + L"\\f.txt");
    EXPECT_EQ(Rm({kPackage + L"\\f.txt"}), kRmRemoved);
    EXPECT_FALSE(Exists(kPackageFs + L"\\f.txt"));
    EXPECT_TRUE(Exists(kPackageFs));
}

// --- read-only entries ----------------------------------------------------------------------

TEST_F(RmTest, ReadOnlyFilesAndFoldersAreClearedThenRemoved) {
    AddFolder(kPackageFs, kAttributeReadOnly);
    AddFolder(kPackageFs + L"\\VFS folder", kAttributeReadOnly);
    AddFile(kPackageFs + L"\\VFS folder\\read-only.dll", kAttributeReadOnly | 0x20);
    AddFile(kPackageFs + L"\\VFS folder\\writable.txt");
    AddFile(kPackageFs + L"\\hidden read-only.ini", kAttributeReadOnly | 0x2);

    EXPECT_EQ(Rm({L"-r", kPackage}), kRmRemoved);
    EXPECT_TRUE(Fs().errorLines.empty());
    EXPECT_TRUE(EntriesUnder(kPackageFs).empty());
    const std::vector<std::wstring> cleared = {kPackageFs, kPackageFs + L"\\VFS folder",
                                               kPackageFs + L"\\VFS folder\\read-only.dll",
                                               kPackageFs + L"\\hidden read-only.ini"};
    std::vector<std::wstring> actual = CallsOf("clear");
    std::sort(actual.begin(), actual.end());
    std::vector<std::wstring> expected = cleared;
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(actual, expected);
    // A folder is cleared before it is listed, and every entry before it is removed.
    for (const std::wstring& path : cleared) {
        EXPECT_LT(CallIndex("clear", path), RemovalIndex(path)) << path;
        EXPECT_LT(RemovalIndex(path), Fs().calls.size()) << path;
    }
    EXPECT_LT(CallIndex("clear", kPackageFs + L"\\VFS folder"),
              CallIndex("list", kPackageFs + L"\\VFS folder"));
    EXPECT_LT(CallIndex("clear", kPackageFs), CallIndex("list", kPackageFs));
}

TEST_F(RmTest, ReadOnlyFileOperandIsClearedThenRemoved) {
    AddFile(kPackageFs + L"\\f.txt", kAttributeReadOnly);
    EXPECT_EQ(Rm({kPackage + L"\\f.txt"}), kRmRemoved);
    EXPECT_EQ(CallsOf("clear"), std::vector<std::wstring>{kPackageFs + L"\\f.txt"});
    EXPECT_FALSE(Exists(kPackageFs + L"\\f.txt"));
}

TEST_F(RmTest, ReadOnlyThatCannotBeClearedIsReportedAndKept) {
    AddFile(kPackageFs + L"\\locked.txt", kAttributeReadOnly);
    Fs().entries[kPackageFs + L"\\locked.txt"].clearError = kErrorAccessDenied;
    AddFile(kPackageFs + L"\\other.txt");
    AddFolder(kPackageFs + L"\\locked folder", kAttributeReadOnly);
    Fs().entries[kPackageFs + L"\\locked folder"].clearError = kErrorAccessDenied;
    AddFile(kPackageFs + L"\\locked folder\\inside.txt");

    EXPECT_EQ(Rm({L"-r", kPackage}), kRmFailed);
    EXPECT_EQ(Fs().errorLines,
              (std::vector<std::wstring>{
                  CannotRemove(kPackage + L"\\locked folder", L"Access is denied."),
                  CannotRemove(kPackage + L"\\locked.txt", L"Access is denied.")}));
    EXPECT_FALSE(Exists(kPackageFs + L"\\other.txt"));
    EXPECT_TRUE(Exists(kPackageFs + L"\\locked.txt"));
    EXPECT_TRUE(Exists(kPackageFs + L"\\locked folder\\inside.txt"));
    EXPECT_EQ(CallIndex("list", kPackageFs + L"\\locked folder"), Fs().calls.size());
    EXPECT_TRUE(CallsOf("rmdir").empty());  // the package folder keeps entries
}

// --- links ----------------------------------------------------------------------------------

TEST_F(RmTest, LinksInsideAreRemovedAsLinksAndNeverEntered) {
    AddFile(kElsewhereFs + L"\\precious.db");
    AddFile(kElsewhereFs + L"\\folder\\more.db");
    const std::vector<std::wstring> elsewhere = EntriesUnder(kElsewhereFs);
    const std::wstring junction = kPackageFs + L"\\AppData\\junction";
    const std::wstring fileLink = kPackageFs + L"\\AppData\\file link.db";
    const std::wstring readOnlyLink = kPackageFs + L"\\read-only link";
    AddFolderLink(junction);
    AddFileLink(fileLink);
    AddFolderLink(readOnlyLink, kAttributeReadOnly);
    AddFile(kPackageFs + L"\\AppData\\f.txt");

    EXPECT_EQ(Rm({L"-r", kPackage}), kRmRemoved);
    EXPECT_TRUE(Fs().errorLines.empty());
    EXPECT_TRUE(EntriesUnder(kPackageFs).empty());
    EXPECT_EQ(EntriesUnder(kElsewhereFs), elsewhere);
    ExpectUntouched(kElsewhereFs);
    for (const std::wstring& link : {junction, fileLink, readOnlyLink}) {
        EXPECT_EQ(CallIndex("list", link), Fs().calls.size()) << link;
        ExpectNothingBelow(link);
    }
    EXPECT_LT(CallIndex("rmdir", junction), Fs().calls.size());
    EXPECT_LT(CallIndex("delete", fileLink), Fs().calls.size());
    EXPECT_LT(CallIndex("clear", readOnlyLink), CallIndex("rmdir", readOnlyLink));
    EXPECT_EQ(CallIndex("delete", junction), Fs().calls.size());
}

struct LinkOperandCase {
    const char* name;
    std::vector<std::wstring> arguments;
    bool folderLink;
};

const std::wstring kLink = kPackage + L"\\link";
const std::wstring kLinkFs = kPackageFs + L"\\link";

const LinkOperandCase kLinkOperandCases[] = {
    {"folder_link_with_r", {L"-r", kLink}, true},
    {"folder_link_without_r", {kLink}, true},
    {"folder_link_with_separator_at_the_end", {L"-r", kLink + L"\\"}, true},
    {"file_link_with_r", {L"-r", kLink}, false},
    {"file_link_without_r", {kLink}, false},
};

void PrintTo(const LinkOperandCase& c, std::ostream* os) { *os << c.name; }

class LinkOperandTable : public RmTest, public ::testing::WithParamInterface<LinkOperandCase> {};

TEST_P(LinkOperandTable, RemovedAsALinkAndNeverEntered) {
    if (GetParam().folderLink) {
        AddFolderLink(kLinkFs);
    } else {
        AddFileLink(kLinkFs);
    }
    EXPECT_EQ(Rm(GetParam().arguments), kRmRemoved);
    EXPECT_TRUE(Fs().errorLines.empty());
    EXPECT_FALSE(Exists(kLinkFs));
    EXPECT_TRUE(CallsOf("list").empty());
    const std::vector<std::wstring> expected = {kLinkFs};
    EXPECT_EQ(CallsOf(GetParam().folderLink ? "rmdir" : "delete"), expected);
    EXPECT_TRUE(CallsOf(GetParam().folderLink ? "delete" : "rmdir").empty());
}

INSTANTIATE_TEST_SUITE_P(Cases, LinkOperandTable, ::testing::ValuesIn(kLinkOperandCases),
                         [](const ::testing::TestParamInfo<LinkOperandCase>& info) {
                             return std::string(info.param.name);
                         });

TEST_F(RmTest, LinkThatCannotBeRemovedIsReportedNotEntered) {
    const std::wstring junction = kPackageFs + L"\\junction";
    AddFolderLink(junction);
    Fs().entries[junction].removeError = kErrorAccessDenied;
    EXPECT_EQ(Rm({L"-r", kPackage}), kRmFailed);
    EXPECT_EQ(Fs().errorLines, std::vector<std::wstring>{
                                   CannotRemove(kPackage + L"\\junction", L"Access is denied.")});
    EXPECT_EQ(CallIndex("list", junction), Fs().calls.size());
    EXPECT_TRUE(Exists(kPackageFs));
}

// --- failures -------------------------------------------------------------------------------

TEST_F(RmTest, MissingOperandIsAFailureAndTheOthersAreStillRemoved) {
    AddFolder(kExtended + kSavedArea);  // the first save of a package: no saved copy yet
    AddFile(kExtended + L"C:\\work\\first.txt");
    AddFile(kExtended + L"C:\\work\\last\\f.txt");
    EXPECT_EQ(Rm({L"-r", L"first.txt", kPackage, L"C:\\no folder\\x", L"last"}), kRmFailed);
    EXPECT_EQ(
        Fs().errorLines,
        (std::vector<std::wstring>{
            CannotRemove(kPackage, kNotFound),
            CannotRemove(L"C:\\no folder\\x", L"The system cannot find the path specified.")}));
    EXPECT_FALSE(Exists(kExtended + L"C:\\work\\first.txt"));
    EXPECT_FALSE(Exists(kExtended + L"C:\\work\\last"));
}

TEST_F(RmTest, EmptyOperandNamesNothing) {
    EXPECT_EQ(Rm({L"-r", L""}), kRmFailed);
    EXPECT_EQ(Fs().errorLines, std::vector<std::wstring>{CannotRemove(L"", kNotFound)});
    EXPECT_TRUE(Fs().calls.empty());
}

TEST_F(RmTest, EntryThatCannotBeRemovedKeepsItsFoldersWithOneLine) {
    const std::wstring locked = kPackageFs + L"\\sub\\deeper\\locked.txt";
    AddFile(locked);
    Fs().entries[locked].removeError = kErrorSharingViolation;
    AddFile(kPackageFs + L"\\sub\\deeper\\after.txt");
    AddFile(kPackageFs + L"\\sub\\z.txt");
    AddFile(kPackageFs + L"\\z.txt");
    AddFile(kExtended + L"C:\\work\\next.txt");

    EXPECT_EQ(Rm({L"-r", kPackage, L"next.txt"}), kRmFailed);
    EXPECT_EQ(Fs().errorLines,
              std::vector<std::wstring>{CannotRemove(
                  kPackage + L"\\sub\\deeper\\locked.txt",
                  L"The process cannot access the file because it is being used by another "
                  L"process.")});
    EXPECT_EQ(EntriesUnder(kPackageFs),
              (std::vector<std::wstring>{kPackageFs, kPackageFs + L"\\sub",
                                         kPackageFs + L"\\sub\\deeper", locked}));
    EXPECT_TRUE(CallsOf("rmdir").empty());
    EXPECT_EQ(CallsOf("delete").size(), 5u);  // each file tried once, the next operand too
    EXPECT_FALSE(Exists(kExtended + L"C:\\work\\next.txt"));
}

TEST_F(RmTest, FolderThatCannotBeListedIsReportedAndKept) {
    AddFile(kPackageFs + L"\\secret\\f.txt");
    Fs().entries[kPackageFs + L"\\secret"].listError = kErrorAccessDenied;
    AddFile(kPackageFs + L"\\z.txt");
    EXPECT_EQ(Rm({L"-r", kPackage}), kRmFailed);
    EXPECT_EQ(Fs().errorLines, std::vector<std::wstring>{
                                   CannotRemove(kPackage + L"\\secret", L"Access is denied.")});
    EXPECT_TRUE(Exists(kPackageFs + L"\\secret\\f.txt"));
    EXPECT_FALSE(Exists(kPackageFs + L"\\z.txt"));
}

TEST_F(RmTest, EmptyFolderThatCannotBeRemovedIsReportedOnce) {
    AddFolder(kPackageFs + L"\\in use");
    Fs().entries[kPackageFs + L"\\in use"].removeError = kErrorSharingViolation;
    EXPECT_EQ(Rm({L"-r", kPackage}), kRmFailed);
    ASSERT_EQ(Fs().errorLines.size(), 1u);
    EXPECT_EQ(Fs().errorLines[0].rfind(CannotRemove(kPackage + L"\\in use", L""), 0), 0u);
    EXPECT_EQ(CallsOf("rmdir"), std::vector<std::wstring>{kPackageFs + L"\\in use"});
}

struct MessageCase {
    const char* name;
    unsigned error;
    std::wstring reason;
};

const MessageCase kMessageCases[] = {
    {"line_break_at_the_end_dropped", kErrorAccessDenied, L"Access is denied."},
    {"line_breaks_inside_become_blanks", 1392,
     L"The file or directory is corrupted  and unreadable."},
    {"no_system_message", 1234, L"Windows error 1234"},
};

void PrintTo(const MessageCase& c, std::ostream* os) { *os << c.name; }

class MessageTable : public RmTest, public ::testing::WithParamInterface<MessageCase> {};

TEST_P(MessageTable, OneLineWithTheSystemMessage) {
    AddFile(kPackageFs + L"\\f.txt");
    Fs().entries[kPackageFs + L"\\f.txt"].removeError = GetParam().error;
    EXPECT_EQ(Rm({kPackage + L"\\f.txt"}), kRmFailed);
    EXPECT_EQ(Fs().errorLines,
              std::vector<std::wstring>{CannotRemove(kPackage + L"\\f.txt", GetParam().reason)});
}

INSTANTIATE_TEST_SUITE_P(Cases, MessageTable, ::testing::ValuesIn(kMessageCases),
                         [](const ::testing::TestParamInfo<MessageCase>& info) {
                             return std::string(info.param.name);
                         });

// --- how paths are named --------------------------------------------------------------------

struct NamingCase {
    const char* name;
    std::wstring operand;
    std::wstring folderFs;  // what the operand names in the file system
    std::wstring shown;     // how the line names the locked file below it
};

const NamingCase kNamingCases[] = {
    {"relative", L"pkg", L"\\\\?\\C:\\work\\pkg", L"pkg\\sub\\locked.txt"},
    {"separator_at_the_end", L"C:\\work\\pkg\\", L"\\\\?\\C:\\work\\pkg",
     L"C:\\work\\pkg\\sub\\locked.txt"},
    {"forward_slashes", L"C:/work/pkg", L"\\\\?\\C:\\work\\pkg", L"C:/work/pkg\\sub\\locked.txt"},
    {"dot_dot_inside", L"C:\\work\\x\\..\\pkg", L"\\\\?\\C:\\work\\pkg",
     L"C:\\work\\x\\..\\pkg\\sub\\locked.txt"},
    {"unc", L"\\\\server\\share\\pkg", L"\\\\?\\UNC\\server\\share\\pkg",
     L"\\\\server\\share\\pkg\\sub\\locked.txt"},
    {"extended", L"\\\\?\\C:\\work\\pkg", L"\\\\?\\C:\\work\\pkg",
     L"\\\\?\\C:\\work\\pkg\\sub\\locked.txt"},
    {"non_ascii", L"C:\\Zo\u00eb\\\u65e5\u672c", L"\\\\?\\C:\\Zo\u00eb\\\u65e5\u672c",
     L"C:\\Zo\u00eb\\\u65e5\u672c\\sub\\locked.txt"},
};

void PrintTo(const NamingCase& c, std::ostream* os) { *os << c.name; }

class NamingTable : public RmTest, public ::testing::WithParamInterface<NamingCase> {};

TEST_P(NamingTable, CallsUseTheFullPathAndLinesTheOperandAsGiven) {
    const std::wstring locked = GetParam().folderFs + L"\\sub\\locked.txt";
    AddFile(locked);
    Fs().entries[locked].removeError = kErrorAccessDenied;
    AddFile(GetParam().folderFs + L"\\sub\\other.txt");
    EXPECT_EQ(Rm({L"-r", GetParam().operand}), kRmFailed);
    EXPECT_EQ(Fs().errorLines,
              std::vector<std::wstring>{CannotRemove(GetParam().shown, L"Access is denied.")});
    EXPECT_FALSE(Exists(GetParam().folderFs + L"\\sub\\other.txt"));
    ExpectCallsOnlyUnder(GetParam().folderFs);
}

INSTANTIATE_TEST_SUITE_P(Cases, NamingTable, ::testing::ValuesIn(kNamingCases),
                         [](const ::testing::TestParamInfo<NamingCase>& info) {
                             return std::string(info.param.name);
                         });

// --- long paths -----------------------------------------------------------------------------

// "C:\" and folder names of 200 characters until the path is `length` characters long.
std::wstring LongPath(size_t length) {
    std::wstring path = L"C:";
    while (path.size() + 1 < length) {
        const size_t part = std::min<size_t>(200, length - path.size() - 1);
        path += L"\\" + std::wstring(part, L'd');
    }
    return path;
}

TEST_F(RmTest, PathsLongerThanMaxPathAreRemoved) {
    const std::wstring operand = LongPath(300);
    AddFile(kExtended + operand + L"\\" + std::wstring(150, L'n') + L"\\leaf.txt");
    EXPECT_EQ(Rm({L"-r", operand}), kRmRemoved);
    EXPECT_TRUE(Fs().errorLines.empty());
    EXPECT_FALSE(Exists(kExtended + operand));
    EXPECT_GT(CallsOf("delete").at(0).size(), 450u);
}

TEST_F(RmTest, EntryBeyondThePathBoundIsReportedAndItsFolderKept) {
    // The operand's full path leaves room for "\ab" and no more.
    const std::wstring operand = LongPath(kPathCapacity - 1 - kExtended.size() - 3);
    AddFile(kExtended + operand + L"\\ab");
    AddFile(kExtended + operand + L"\\abc");
    EXPECT_EQ(Rm({L"-r", operand}), kRmFailed);
    EXPECT_EQ(Fs().errorLines, std::vector<std::wstring>{CannotRemove(
                                   operand + L"\\abc", L"The filename or extension is too long.")});
    EXPECT_FALSE(Exists(kExtended + operand + L"\\ab"));
    EXPECT_TRUE(Exists(kExtended + operand + L"\\abc"));
}

TEST_F(RmTest, OperandWhoseExtendedFormDoesNotFitIsReported) {
    const std::wstring operand = LongPath(kPathCapacity - 2);  // fits as it is, not with "\\?\"
    AddFile(kExtended + operand);
    EXPECT_EQ(Rm({L"-r", operand}), kRmFailed);
    EXPECT_EQ(Fs().errorLines, std::vector<std::wstring>{CannotRemove(
                                   operand, L"The filename or extension is too long.")});
    EXPECT_TRUE(CallsOf("attributes").empty());
}

// --- refused operands -----------------------------------------------------------------------

struct RefusalCase {
    const char* name;
    std::wstring operand;
    std::wstring reason;
};

const std::wstring kDots =
    L"Refused: a path whose last part is '.' or '..' (or only dots and blanks) is never removed";
const std::wstring kDrive = L"Refused: a drive name alone stands for that drive's current folder";
const std::wstring kRoot = L"Refused: the root of a drive or share is never removed";

const RefusalCase kRefusalCases[] = {
    {"dot", L".", kDots},
    {"dot_dot", L"..", kDots},
    {"dot_dot_at_the_end", L"pkg\\..", kDots},
    {"dot_with_separators", L"pkg/./", kDots},
    {"three_dots", L"...", kDots},
    {"dots_and_blanks", L"pkg\\. .", kDots},
    {"drive_dot", L"C:.", kDots},
    {"drive_alone", L"C:", kDrive},
    {"drive_root", L"C:\\", kRoot},
    {"root_of_the_current_drive", L"\\", kRoot},
    {"root_with_slash", L"/", kRoot},
    {"share", L"\\\\server\\share", kRoot},
    {"share_with_separator", L"\\\\server\\share\\", kRoot},
    {"extended_root", L"\\\\?\\C:\\", kRoot},
    {"extended_drive", L"\\\\?\\C:", kRoot},
};

void PrintTo(const RefusalCase& c, std::ostream* os) { *os << c.name; }

class RefusalTable : public RmTest, public ::testing::WithParamInterface<RefusalCase> {};

TEST_P(RefusalTable, NothingIsListedOrRemoved) {
    AddFile(kExtended + L"C:\\work\\keep.txt");
    AddFile(kExtended + L"UNC\\server\\share\\keep.txt");
    EXPECT_EQ(Rm({L"-r", GetParam().operand}), kRmFailed);
    EXPECT_EQ(Fs().errorLines,
              std::vector<std::wstring>{CannotRemove(GetParam().operand, GetParam().reason)});
    EXPECT_TRUE(CallsOf("list").empty());
    EXPECT_TRUE(CallsOf("delete").empty());
    EXPECT_TRUE(CallsOf("rmdir").empty());
    EXPECT_TRUE(CallsOf("attributes").empty());
}

INSTANTIATE_TEST_SUITE_P(Cases, RefusalTable, ::testing::ValuesIn(kRefusalCases),
                         [](const ::testing::TestParamInfo<RefusalCase>& info) {
                             return std::string(info.param.name);
                         });

TEST_F(RmTest, NamesThatOnlyBeginWithDotsAreRemoved) {
    AddFile(kExtended + L"C:\\work\\..data");
    AddFile(kExtended + L"C:\\work\\.config\\f");
    EXPECT_EQ(Rm({L"-r", L"..data", L".config"}), kRmRemoved);
    EXPECT_TRUE(Fs().errorLines.empty());
}

}  // namespace
