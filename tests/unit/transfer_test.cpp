#include "transfer/transfer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/events.h"
#include "platform/platform.h"
#include "profile/profile.h"
#include "tests/unit/fake_platform.h"
#include "tests/unit/test_paths.h"

namespace {

// One expected step: a command ("run"), a message box ("box" with caption and type) or an event
// ("event" with type and id; its text is checked by the tests of event texts).
struct Step {
    std::string kind;
    std::wstring text;
    std::wstring caption;
    unsigned type;
    unsigned id;
};

Step RunStep(const std::wstring& command) { return {"run", command, L"", 0, 0}; }
Step Box(const std::wstring& text, const std::wstring& caption, unsigned type) {
    return {"box", text, caption, type, 0};
}
const Step kMirrorError = {"event", L"", L"", kEventError, kEventMirrorFailed};
const Step kRemovalWarning = {"event", L"", L"", kEventWarning, kEventRemovalFailed};
const Step kRootsWarning = {"event", L"", L"", kEventWarning, kEventRootsNotOwn};

std::vector<Step> RecordedSteps() {
    std::vector<Step> steps;
    for (const FakeCall& call : Fake().calls) {
        if (call.kind == "run" || call.kind == "box") {
            steps.push_back({call.kind, call.text, call.caption, call.type, 0});
        } else if (call.kind == "event") {
            steps.push_back({call.kind, L"", L"", call.type, call.id});
        }
    }
    return steps;
}

void ExpectSteps(const std::vector<Step>& expected) {
    const std::vector<Step> actual = RecordedSteps();
    ASSERT_EQ(actual.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(actual[i].kind, expected[i].kind) << "step " << i;
        EXPECT_EQ(actual[i].text, expected[i].text) << "step " << i;
        EXPECT_EQ(actual[i].caption, expected[i].caption) << "step " << i;
        EXPECT_EQ(actual[i].type, expected[i].type) << "step " << i;
        EXPECT_EQ(actual[i].id, expected[i].id) << "step " << i;
    }
}

// A fresh fake system with user1's roots worked out, and nothing recorded yet.
template <typename Base>
class WithRoots : public Base {
protected:
    void SetUp() override {
        ResetFakeSystem();
        ASSERT_EQ(InitProfileRoots(), kRootsUsable);
        Fake().calls.clear();
    }
};

const std::wstring kSaveMirror = Mirror(kLocalPackage, kSavedPackage);
const std::wstring kRestoreMirror = Mirror(kSavedPackage, kLocalPackage);
const std::wstring kRemoveSaved = Removal(kSavedPackage);
const std::wstring kRemoveLocal = Removal(kLocalPackage);
const std::wstring kSavedCaption = L"Error Removing existing saved folder";
const std::wstring kRestoredCaption = L"Error Removing existing restored folder";

struct PackageCase {
    const char* name;
    bool save;
    bool clean;
    bool debug;
    std::vector<int> statuses;  // what the commands return, in turn
    bool sourceMissing;
    std::vector<Step> steps;
};

const PackageCase kPackageCases[] = {
    {"save_clean_off_runs_only_the_mirror", true, false, false, {}, false, {RunStep(kSaveMirror)}},
    {"restore_clean_off_runs_only_the_mirror",
     false,
     false,
     false,
     {},
     false,
     {RunStep(kRestoreMirror)}},
    {"save_clean_removes_the_saved_folder_first",
     true,
     true,
     false,
     {},
     false,
     {RunStep(kRemoveSaved), RunStep(kSaveMirror)}},
    {"restore_clean_removes_the_local_folder_first",
     false,
     true,
     false,
     {},
     false,
     {RunStep(kRemoveLocal), RunStep(kRestoreMirror)}},
    {"mirror_runs_after_a_failed_removal",
     true,
     true,
     false,
     {1, 0},
     false,
     {RunStep(kRemoveSaved), kRemovalWarning, RunStep(kSaveMirror)}},
    {"debug_off_shows_no_box_whatever_fails",
     true,
     true,
     false,
     {16, 16},
     false,
     {RunStep(kRemoveSaved), kRemovalWarning, RunStep(kSaveMirror), kMirrorError}},
    {"debug_on_and_success_shows_no_box",
     false,
     true,
     true,
     {0, 0},
     false,
     {RunStep(kRemoveLocal), RunStep(kRestoreMirror)}},
    {"save_debug_both_fail_warning_then_error",
     true,
     true,
     true,
     {2, 16},
     false,
     {RunStep(kRemoveSaved), kRemovalWarning,
      Box(L"'rm -r' returned value 0x2", kSavedCaption, 0x30), RunStep(kSaveMirror), kMirrorError,
      Box(L"'robocopy' returned value 0x10", L"Error Saving folder", 0x10)}},
    {"restore_debug_both_fail_warning_then_error",
     false,
     true,
     true,
     {-1, 8},
     false,
     {RunStep(kRemoveLocal), kRemovalWarning,
      Box(L"'rm -r' returned value 0xffffffff", kRestoredCaption, 0x30), RunStep(kRestoreMirror),
      kMirrorError, Box(L"'robocopy' returned value 0x8", L"Error Restoring folder", 0x10)}},
    {"debug_reports_robocopy_success_codes_too",
     true,
     false,
     true,
     {1},
     false,
     {RunStep(kSaveMirror), Box(L"'robocopy' returned value 0x1", L"Error Saving folder", 0x10)}},
    {"status_shown_in_lower_case_without_leading_zeros",
     true,
     false,
     true,
     {0x7ffffffa},
     false,
     {RunStep(kSaveMirror), kMirrorError,
      Box(L"'robocopy' returned value 0x7ffffffa", L"Error Saving folder", 0x10)}},
    {"save_clean_without_local_folder_keeps_the_saved_copy",
     true,
     true,
     true,
     {16},
     true,
     {RunStep(kSaveMirror), kMirrorError,
      Box(L"'robocopy' returned value 0x10", L"Error Saving folder", 0x10)}},
    {"restore_clean_without_saved_folder_keeps_the_local_copy",
     false,
     true,
     false,
     {},
     true,
     {RunStep(kRestoreMirror)}},
    // robocopy's statuses below 8 are successes and record nothing; from 8 on, and negative
    // ones, they record an error. Any non-zero removal records a warning.
    {"robocopy_7_records_nothing", true, false, false, {7}, false, {RunStep(kSaveMirror)}},
    {"robocopy_8_records_an_error",
     true,
     false,
     false,
     {8},
     false,
     {RunStep(kSaveMirror), kMirrorError}},
    {"robocopy_not_found_records_an_error",
     false,
     false,
     false,
     {9009},
     false,
     {RunStep(kRestoreMirror), kMirrorError}},
    {"robocopy_crash_records_an_error",
     false,
     false,
     false,
     {static_cast<int>(0xc0000005u)},
     false,
     {RunStep(kRestoreMirror), kMirrorError}},
    {"removal_and_mirror_succeed_records_nothing",
     false,
     true,
     true,
     {0, 3},
     false,
     {RunStep(kRemoveLocal), RunStep(kRestoreMirror),
      Box(L"'robocopy' returned value 0x3", L"Error Restoring folder", 0x10)}},
    {"removal_not_found_warns_and_the_mirror_runs",
     true,
     true,
     false,
     {9009, 1},
     false,
     {RunStep(kRemoveSaved), kRemovalWarning, RunStep(kSaveMirror)}},
};

void PrintTo(const PackageCase& c, std::ostream* os) { *os << c.name; }

class PackageTable : public WithRoots<::testing::TestWithParam<PackageCase>> {};

TEST_P(PackageTable, RunsTheExactCommandsAndBoxesInOrder) {
    const PackageCase& c = GetParam();
    Fake().commandStatuses.assign(c.statuses.begin(), c.statuses.end());
    if (c.sourceMissing) {
        Fake().missingFolders.insert(c.save ? kLocalPackage : kSavedPackage);
    }
    const int result = c.save ? SavePackage(kId.c_str(), c.clean, c.debug)
                              : RestorePackage(kId.c_str(), c.clean, c.debug);
    EXPECT_EQ(result, kTransferDone);
    ExpectSteps(c.steps);
    EXPECT_EQ(Fake().error, "");
}

INSTANTIATE_TEST_SUITE_P(Cases, PackageTable, ::testing::ValuesIn(kPackageCases),
                         [](const ::testing::TestParamInfo<PackageCase>& info) {
                             return std::string(info.param.name);
                         });

class Transfers : public WithRoots<::testing::Test> {};

TEST_F(Transfers, CleanChecksTheSourceFolderOnly) {
    SavePackage(kId.c_str(), true, false);
    std::vector<std::wstring> checked;
    for (const FakeCall& call : Fake().calls) {
        if (call.kind == "exists") checked.push_back(call.text);
    }
    EXPECT_EQ(checked, std::vector<std::wstring>{kLocalPackage});
}

TEST_F(Transfers, WithoutCleanNoFolderIsChecked) {
    RestorePackage(kId.c_str(), false, true);
    for (const FakeCall& call : Fake().calls) EXPECT_NE(call.kind, "exists");
}

TEST_F(Transfers, SaveAllMirrorsTheVfsFolderWithoutTrailingBackslash) {
    Fake().commandStatuses = {16};
    EXPECT_EQ(SaveAllPackages(), kTransferDone);
    ExpectSteps({RunStep(Mirror(kLocalVfs, kSavedArea)), kMirrorError});
    // A backslash before the closing quote would escape it for robocopy's argument splitting.
    EXPECT_EQ(Fake().Commands()[0].find(L"\\\""), std::wstring::npos);
}

TEST_F(Transfers, RestoreAllMirrorsTheSavedAreaBack) {
    Fake().commandStatuses = {-1};
    EXPECT_EQ(RestoreAllPackages(), kTransferDone);
    ExpectSteps({RunStep(Mirror(kSavedArea, kLocalVfs)), kMirrorError});
}

// Ids longer than a GUID never come from the command line; they stand in here for any text that
// outgrows its bound.
size_t LongestIdThatFitsTheMirrorCommand() {
    const size_t fixed =
        std::wstring(L"robocopy \"\\\" \"\\\" /MIR /NS /NC /NFL /NDL /NP > nul").size();
    return (kMirrorCommandCapacity - 1 - fixed - kLocalVfs.size() - kSavedArea.size()) / 2;
}

TEST_F(Transfers, LongestMirrorCommandThatFitsRuns) {
    const std::wstring id(LongestIdThatFitsTheMirrorCommand(), L'a');
    EXPECT_EQ(SavePackage(id.c_str(), true, true), kTransferDone);
    ASSERT_EQ(Fake().Commands().size(), 2u);
    EXPECT_EQ(Fake().Commands()[1], Mirror(kLocalVfs + L"\\" + id, kSavedArea + L"\\" + id));
    EXPECT_GE(Fake().Commands()[1].size(), kMirrorCommandCapacity - 2);  // two ids: even length
}

class TooLong : public WithRoots<::testing::TestWithParam<size_t>> {};

TEST_P(TooLong, NothingRunsAndTheCauseIsNamed) {
    const std::wstring id(GetParam(), L'a');
    for (bool save : {true, false}) {
        Fake().calls.clear();
        Fake().error.clear();
        Fake().commandStatuses = {1, 1};
        const int result =
            save ? SavePackage(id.c_str(), true, true) : RestorePackage(id.c_str(), true, true);
        EXPECT_EQ(result, kTextTooLong);
        EXPECT_TRUE(RecordedSteps().empty());
        EXPECT_EQ(Fake().error.rfind("Brenthaul: ", 0), 0u) << Fake().error;
    }
}

// One past the mirror's bound; the removal's bound (2054) is passed at 1974; the saved
// folder's (2048) at 1976; both folders' at 1993.
INSTANTIATE_TEST_SUITE_P(Lengths, TooLong,
                         ::testing::Values(LongestIdThatFitsTheMirrorCommand() + 1, 1974, 1976,
                                           1993, 5000));

// --- events: which transfers record which event, and their texts ----------------------------

TEST_F(Transfers, AllPackageMirrorsRecordFailuresToo) {
    for (const int status : {0, 1, 7}) {
        Fake().calls.clear();
        Fake().commandStatuses = {status};
        EXPECT_EQ(SaveAllPackages(), kTransferDone);
        EXPECT_TRUE(Fake().Events().empty()) << status;
    }
    for (const int status : {8, 16, 9009, -1}) {
        Fake().calls.clear();
        Fake().commandStatuses = {status};
        EXPECT_EQ(RestoreAllPackages(), kTransferDone);
        ExpectSteps({RunStep(Mirror(kSavedArea, kLocalVfs)), kMirrorError});
    }
}

struct EventTextCase {
    const char* name;
    int (*transfer)();
    std::vector<int> statuses;
    std::vector<std::wstring> texts;  // the texts of the events recorded, in order
};

void PrintTo(const EventTextCase& c, std::ostream* os) { *os << c.name; }

int CleanSave() { return SavePackage(kId.c_str(), true, false); }
int CleanRestoreWithDebug() { return RestorePackage(kId.c_str(), true, true); }
int Save() { return SavePackage(kId.c_str(), false, false); }

const std::wstring kFatalCheck =
    L"What to check: that the source folder exists, that the user may read it and write to the "
    L"destination folder, and that a share in either path can be reached. To see robocopy's own "
    L"report, run the command above by hand without \"> nul\".";

const EventTextCase kEventTexts[] = {
    {"save_fatal",
     Save,
     {16},
     {L"The save of package " + kId +
      L" for user user1 failed: robocopy returned 0x10 (16), a fatal error: robocopy copied "
      L"nothing (for example, the source folder does not exist, or access is denied).\r\n"
      L"Command: " +
      kSaveMirror + L"\r\n" + kFatalCheck}},
    {"clean_restore_some_files_not_copied",
     CleanRestoreWithDebug,
     {0, 9},
     {L"The clean restore of package " + kId +
      L" for user user1 failed: robocopy returned 0x9 (9), some files or folders could not be "
      L"copied.\r\nCommand: " +
      kRestoreMirror + L"\r\n" + kFatalCheck}},
    {"saveall_without_interpreter",
     SaveAllPackages,
     {-1},
     {L"The save of all packages for user user1 failed: robocopy returned 0xffffffff (-1), no "
      L"command interpreter could be started.\r\nCommand: " +
      Mirror(kLocalVfs, kSavedArea) +
      L"\r\nWhat to check: the variable COMSPEC, and that cmd.exe can be started."}},
    {"restoreall_robocopy_not_found",
     RestoreAllPackages,
     {9009},
     {L"The restore of all packages for user user1 failed: robocopy returned 0x2331 (9009), the "
      L"command interpreter's \"not recognized\": no robocopy was found on the search path.\r\n"
      L"Command: " +
      Mirror(kSavedArea, kLocalVfs) +
      L"\r\nWhat to check: that robocopy.exe, part of Windows (in System32), is found on the "
      L"search path."}},
    {"save_crashed",
     Save,
     {static_cast<int>(0xc0000005u)},
     {L"The save of package " + kId +
      L" for user user1 failed: robocopy returned 0xc0000005 (-1073741819), a value robocopy "
      L"itself never returns (its own are 0 to 31): the program that ran under that name failed "
      L"otherwise, or ended abnormally.\r\nCommand: " +
      kSaveMirror +
      L"\r\nWhat to check: which program answers to the name robocopy on the search path."}},
    {"clean_save_removal_not_found",
     CleanSave,
     {9009, 1},
     {L"The clean save of package " + kId +
      L" for user user1 could not remove the existing saved folder first: 'rm -r' returned "
      L"0x2331 (9009), the command interpreter's \"not recognized\": no rm was found on the "
      L"search path. The mirror ran afterwards all the same, so files robocopy found unchanged "
      L"may have been left in place rather than copied afresh.\r\nCommand: " +
      kRemoveSaved +
      L"\r\nWhat to check: that a command named rm that accepts -r is on the search path. "
      L"Windows has none: install Brenthaul's rm.exe (the MSI puts it on the search path)."}},
    {"clean_restore_both_fail",
     CleanRestoreWithDebug,
     {1, 16},
     {L"The clean restore of package " + kId +
          L" for user user1 could not remove the existing local folder first: 'rm -r' returned "
          L"0x1 (1). The mirror ran afterwards all the same, so files robocopy found unchanged "
          L"may have been left in place rather than copied afresh.\r\nCommand: " +
          kRemoveLocal +
          L"\r\nWhat to check: that the user may remove every file in the folder (a file in use "
          L"or a read-only file can stop a removal), and what the rm on the search path does "
          L"with -r.",
      L"The clean restore of package " + kId +
          L" for user user1 failed: robocopy returned 0x10 (16), a fatal error: robocopy copied "
          L"nothing (for example, the source folder does not exist, or access is denied).\r\n"
          L"Command: " +
          kRestoreMirror + L"\r\n" + kFatalCheck}},
    {"clean_save_no_interpreter_for_removal",
     CleanSave,
     {-1, 0},
     {L"The clean save of package " + kId +
      L" for user user1 could not remove the existing saved folder first: 'rm -r' returned "
      L"0xffffffff (-1), no command interpreter could be started. The mirror ran afterwards all "
      L"the same, so files robocopy found unchanged may have been left in place rather than "
      L"copied afresh.\r\nCommand: " +
      kRemoveSaved + L"\r\nWhat to check: the variable COMSPEC, and that cmd.exe can be started."}},
};

class EventTexts : public WithRoots<::testing::TestWithParam<EventTextCase>> {};

TEST_P(EventTexts, SayWhatFailedAndWhatToCheck) {
    const EventTextCase& c = GetParam();
    Fake().commandStatuses.assign(c.statuses.begin(), c.statuses.end());
    EXPECT_EQ(c.transfer(), kTransferDone);
    const std::vector<FakeCall> events = Fake().Events();
    ASSERT_EQ(events.size(), c.texts.size());
    for (size_t i = 0; i < events.size(); ++i) {
        EXPECT_EQ(events[i].text, c.texts[i]) << "event " << i;
        EXPECT_LT(events[i].text.size(), kEventTextCapacity);
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, EventTexts, ::testing::ValuesIn(kEventTexts),
                         [](const ::testing::TestParamInfo<EventTextCase>& info) {
                             return std::string(info.param.name);
                         });

TEST_F(Transfers, TheLongestMirrorCommandFitsItsEventWhole) {
    // The longest user name whose roots fit, and the longest command that fits its bound.
    ResetFakeSystem();
    Fake().userName = std::wstring(231, L'u');
    ASSERT_EQ(InitProfileRoots(), kRootsUsable);
    const std::wstring user = Fake().userName;
    const std::wstring local =
        L"C:\\Users\\" + user + L"\\AppData\\Local\\Microsoft\\AppV\\Client\\VFS";
    const std::wstring saved =
        L"C:\\Users\\" + user + L"\\AppData\\Roaming\\Microsoft\\AppV\\Client\\VFS\\SavedFromLocal";
    const size_t fixed =
        std::wstring(L"robocopy \"\\\" \"\\\" /MIR /NS /NC /NFL /NDL /NP > nul").size();
    const std::wstring id((kMirrorCommandCapacity - 1 - fixed - local.size() - saved.size()) / 2,
                          L'a');
    Fake().calls.clear();
    Fake().commandStatuses = {1, 0x7fffffff};
    EXPECT_EQ(SavePackage(id.c_str(), true, false), kTransferDone);
    const std::vector<std::wstring> commands = Fake().Commands();
    ASSERT_EQ(commands.size(), 2u);
    EXPECT_GE(commands[1].size(), kMirrorCommandCapacity - 2);
    const std::vector<FakeCall> events = Fake().Events();
    ASSERT_EQ(events.size(), 2u);
    EXPECT_NE(events[0].text.find(L"Command: " + commands[0] + L"\r\n"), std::wstring::npos);
    EXPECT_NE(events[1].text.find(L"Command: " + commands[1] + L"\r\n"), std::wstring::npos);
    // An id longer than a GUID (never from the command line) is not named in the first line.
    EXPECT_EQ(events[1].text.rfind(L"The clean save of a package for user " + user + L" failed", 0),
              0u);
}

// --- events: profile roots that are not the user's own -------------------------------------

TEST_F(Transfers, RootsNotTheUsersOwnWarnBeforeTheFirstCommandAndChangeNothingElse) {
    Fake().environment[L"LOCALAPPDATA"] = L"C:\\Users\\user1.CONTOSO\\AppData\\Local";
    Fake().environment[L"APPDATA"] = L"C:\\Users\\user1\\AppData\\Roaming";
    Fake().commandStatuses = {0, 16};
    EXPECT_EQ(RestorePackage(kId.c_str(), true, true), kTransferDone);
    ExpectSteps({kRootsWarning, RunStep(kRemoveLocal), RunStep(kRestoreMirror), kMirrorError,
                 Box(L"'robocopy' returned value 0x10", L"Error Restoring folder", 0x10)});
    EXPECT_EQ(
        Fake().Events()[0].text.rfind(
            L"The clean restore of package " + kId + L" for user user1 used profile folders", 0),
        0u);

    Fake().calls.clear();
    EXPECT_EQ(SaveAllPackages(), kTransferDone);
    ExpectSteps({kRootsWarning, RunStep(Mirror(kLocalVfs, kSavedArea))});
    EXPECT_EQ(Fake().Events()[0].text.rfind(L"The save of all packages for user user1 used", 0),
              0u);
}

TEST_F(Transfers, RootsTheUsersOwnRecordNothing) {
    Fake().environment[L"LOCALAPPDATA"] = L"c:\\users\\USER1\\AppData\\Local\\";
    Fake().environment[L"APPDATA"] = L"C:\\\\Users\\user1\\\\AppData\\Roaming";
    EXPECT_EQ(SavePackage(kId.c_str(), true, true), kTransferDone);
    EXPECT_EQ(RestoreAllPackages(), kTransferDone);
    EXPECT_TRUE(Fake().Events().empty());
}

TEST_P(TooLong, RecordsNoEventOfItsOwn) {
    // The refusal's event belongs to the command line (cli), which knows the arguments.
    const std::wstring id(GetParam(), L'a');
    Fake().environment[L"LOCALAPPDATA"] = L"D:\\elsewhere";
    Fake().commandStatuses = {16, 16};
    EXPECT_EQ(SavePackage(id.c_str(), true, true), kTextTooLong);
    EXPECT_TRUE(Fake().Events().empty());
}

}  // namespace
