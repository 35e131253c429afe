#include "cli/brenthaul.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "common/events.h"
#include "platform/platform.h"
#include "tests/unit/fake_platform.h"
#include "tests/unit/test_paths.h"

namespace {

const char kUsage[] =
    "\n"
    "Brenthaul:  Tool for use in App-V 5 scripting to save application data redirected to the "
    "local profile to a roaming/homedrive location and back.\n"
    "\n"
    "--- Single App use ---\n"
    "Brenthaul [/debug] [/save] [/restore] [/cleansave] [/cleanrestore] PkgGuidWithoutBrackets\n"
    "  Saves or restores application related data from isolated non-roaming locations\n"
    "  to use roaming locations under App - V 5 and above for the identified package.\n"
    "  Used in App - V VE start / stop scripts.\n"
    "\n"
    "--- All App use ---\n"
    "Brenthaul [/saveall] [/restoreall] [/cleansaveall] [/cleanrestoreall] \n"
    "  Saves or restores application related data isolated non-roaming locations to\n"
    "  use roaming locations under App-V 5 and above for all user packages.\n"
    "  Used with App-V for logon / off scripts.\n"
    "\n";

int RunWith(const std::vector<std::wstring>& arguments) {
    std::vector<const wchar_t*> argv = {L"C:\\Tools\\Brenthaul.exe"};
    for (const std::wstring& argument : arguments) argv.push_back(argument.c_str());
    argv.push_back(nullptr);
    return RunBrenthaul(static_cast<int>(argv.size() - 1), argv.data());
}

// What a command line should lead to.
enum Outcome {
    kUsageOnly,
    kSave,
    kRestore,
    kCleanSave,
    kCleanRestore,
    kSaveAll,
    kRestoreAll,
    kRestoreUpperCaseId
};

struct LineCase {
    const char* name;
    std::vector<std::wstring> arguments;
    int status;
    Outcome outcome;
    bool debug;
};

const std::wstring kUpperId = L"6F2B8A2E-3D41-4C5E-9A7B-0C1D2E3F4A5B";

std::vector<std::wstring> ExpectedCommands(Outcome outcome) {
    switch (outcome) {
        case kUsageOnly:
            return {};
        case kSave:
            return {Mirror(kLocalPackage, kSavedPackage)};
        case kRestore:
            return {Mirror(kSavedPackage, kLocalPackage)};
        case kCleanSave:
            return {Removal(kSavedPackage), Mirror(kLocalPackage, kSavedPackage)};
        case kCleanRestore:
            return {Removal(kLocalPackage), Mirror(kSavedPackage, kLocalPackage)};
        case kSaveAll:
            return {Mirror(kLocalVfs, kSavedArea)};
        case kRestoreAll:
            return {Mirror(kSavedArea, kLocalVfs)};
        case kRestoreUpperCaseId:
            return {Mirror(kSavedArea + L"\\" + kUpperId, kLocalVfs + L"\\" + kUpperId)};
    }
    return {};
}

const LineCase kLineCases[] = {
    {"no_arguments", {}, -1, kUsageOnly, false},
    {"four_arguments", {L"/debug", L"/save", kId, L"x"}, -1, kUsageOnly, false},
    {"save", {L"/save", kId}, 0, kSave, false},
    {"restore", {L"/restore", kId}, 0, kRestore, false},
    {"cleansave", {L"/cleansave", kId}, 0, kCleanSave, false},
    {"cleanrestore", {L"/cleanrestore", kId}, 0, kCleanRestore, false},
    {"save_in_capitals", {L"/SAVE", kId}, 0, kSave, false},
    {"save_in_mixed_case", {L"/SaVe", kId}, 0, kSave, false},
    {"debug_then_save", {L"/debug", L"/save", kId}, 0, kSave, true},
    {"save_then_debug", {L"/save", L"/DEBUG", kId}, 0, kSave, true},
    {"save_then_restore_saves", {L"/save", L"/restore", kId}, 0, kSave, false},
    {"restore_then_save_saves", {L"/restore", L"/save", kId}, 0, kSave, false},
    {"save_then_cleanrestore", {L"/save", L"/cleanrestore", kId}, 0, kCleanSave, false},
    {"restore_then_cleansave", {L"/restore", L"/cleansave", kId}, 0, kCleanSave, false},
    {"cleanrestore_then_debug", {L"/cleanrestore", L"/debug", kId}, 0, kCleanRestore, true},
    {"word_then_save", {L"hello", L"/save", kId}, 0, kSave, false},
    {"saveall_in_a_switch_position_is_ignored",
     {L"/saveall", L"/restore", kId},
     0,
     kRestore,
     false},
    {"debug_twice", {L"/debug", L"/debug", kId}, -6, kUsageOnly, false},
    {"debug_then_saveall", {L"/debug", L"/saveall", kId}, -6, kUsageOnly, false},
    {"two_words", {L"save", L"restore", kId}, -6, kUsageOnly, false},
    {"debug_alone_with_id", {L"/debug", kId}, -2, kUsageOnly, false},
    {"saveall_with_a_second_argument", {L"/saveall", kId}, -2, kUsageOnly, false},
    {"prefix_is_no_switch", {L"/sav", kId}, -2, kUsageOnly, false},
    {"longer_word_is_no_switch", {L"/saves", kId}, -2, kUsageOnly, false},
    {"switch_without_slash", {L"save", kId}, -2, kUsageOnly, false},
    {"long_s_is_not_s", {L"/\u017fave", kId}, -2, kUsageOnly, false},
    {"dotted_capital_i_is_not_i", {L"/SAVE", L"/RESTORE", kId}, 0, kSave, false},
    {"dotless_i_in_restore", {L"/REST\u0130RE", kId}, -2, kUsageOnly, false},
    {"kelvin_sign_is_not_k", {L"/\u212a", kId}, -2, kUsageOnly, false},
    {"save_alone", {L"/save"}, -3, kUsageOnly, false},
    {"empty_argument", {L""}, -3, kUsageOnly, false},
    {"saveall", {L"/saveall"}, 0, kSaveAll, false},
    {"restoreall", {L"/restoreall"}, 0, kRestoreAll, false},
    {"cleansaveall_is_saveall", {L"/cleansaveall"}, 0, kSaveAll, false},
    {"cleanrestoreall_is_restoreall", {L"/CleanRestoreAll"}, 0, kRestoreAll, false},
    {"id_before_debug_is_no_id", {L"/save", kId, L"/debug"}, -4, kUsageOnly, false},
    {"short_id", {L"/save", L"6f2b8a2e-3d41-4c5e-9a7b-0c1d2e3f4a5"}, -4, kUsageOnly, false},
    {"long_id", {L"/save", kId + L"0"}, -4, kUsageOnly, false},
    {"empty_id", {L"/cleanrestore", L""}, -4, kUsageOnly, false},
    {"braced_id", {L"/save", L"{6f2b8a2e-3d41-4c5e-9a7b-0c1d2e3f}"}, -4, kUsageOnly, false},
    {"id_leaving_the_folder",
     {L"/cleansave", L"..\\..\\..\\..\\..\\..\\..\\..\\..\\..\\..\\.."},
     -4,
     kUsageOnly,
     false},
    {"id_with_second_command",
     {L"/save", L"6f2b8a2e-3d41-4c5e-9a7b-0c1d2e\"&del *"},
     -4,
     kUsageOnly,
     false},
    {"id_with_dash_out_of_place",
     {L"/save", L"6f2b8a2e3-d41-4c5e-9a7b-0c1d2e3f4a5b"},
     -4,
     kUsageOnly,
     false},
    {"id_with_g", {L"/save", L"6f2b8a2e-3d41-4c5e-9a7b-0c1d2e3f4a5g"}, -4, kUsageOnly, false},
    {"id_with_fullwidth_digit",
     {L"/save", L"6f2b8a2e-3d41-4c5e-9a7b-0c1d2e3f4a5\uff11"},
     -4,
     kUsageOnly,
     false},
    {"id_with_arabic_indic_digit",
     {L"/save", L"6f2b8a2e-3d41-4c5e-9a7b-0c1d2e3f4a5\u0661"},
     -4,
     kUsageOnly,
     false},
    {"id_in_capitals_passes_unchanged", {L"/restore", kUpperId}, 0, kRestoreUpperCaseId, false},
    {"bad_switch_before_bad_id", {L"/debug", L"not-an-id"}, -2, kUsageOnly, false},
    {"no_operation_before_bad_id", {L"/debug", L"x", L"not-an-id"}, -6, kUsageOnly, false},
};

void PrintTo(const LineCase& c, std::ostream* os) { *os << c.name; }

class CommandLines : public ::testing::TestWithParam<LineCase> {
protected:
    void SetUp() override { ResetFakeSystem(); }
};

TEST_P(CommandLines, ClassifyRunAndReturnTheStatus) {
    const LineCase& c = GetParam();
    Fake().commandStatuses = {1, 1};  // every command "fails", so debug shows its boxes
    EXPECT_EQ(RunWith(c.arguments), c.status);

    // The roots are worked out before anything else, in every run.
    ASSERT_FALSE(Fake().calls.empty());
    EXPECT_EQ(Fake().calls[0].kind, "username");

    const std::vector<FakeCall> events = Fake().Events();
    if (c.status < 0) {
        EXPECT_EQ(Fake().output, kUsage);
        EXPECT_TRUE(Fake().Commands().empty());
        EXPECT_TRUE(Fake().Boxes().empty());
        // One event: an error for an id that is not a GUID, a warning for any other refusal.
        ASSERT_EQ(events.size(), 1u);
        EXPECT_EQ(events[0].id, c.status == -4 ? kEventBadPackageId : kEventBadCommandLine);
        EXPECT_EQ(events[0].type, c.status == -4 ? kEventError : kEventWarning);
        return;
    }
    EXPECT_EQ(Fake().output, "");
    EXPECT_EQ(Fake().error, "");
    const std::vector<std::wstring> expected = ExpectedCommands(c.outcome);
    EXPECT_EQ(Fake().Commands(), expected);
    EXPECT_EQ(Fake().Boxes().size(), c.debug ? expected.size() : 0u);
    // rm's 1 is a failure and records a warning; robocopy's 1 is a success and records nothing.
    if (c.outcome == kCleanSave || c.outcome == kCleanRestore) {
        ASSERT_EQ(events.size(), 1u);
        EXPECT_EQ(events[0].id, kEventRemovalFailed);
        EXPECT_EQ(events[0].type, kEventWarning);
    } else {
        EXPECT_TRUE(events.empty());
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, CommandLines, ::testing::ValuesIn(kLineCases),
                         [](const ::testing::TestParamInfo<LineCase>& info) {
                             return std::string(info.param.name);
                         });

class Runs : public ::testing::Test {
protected:
    void SetUp() override { ResetFakeSystem(); }
};

TEST_F(Runs, UsageTextIsFifteenLinesVerbatim) {
    EXPECT_EQ(RunWith({}), -1);
    EXPECT_EQ(Fake().output, kUsage);
    EXPECT_EQ(std::count(Fake().output.begin(), Fake().output.end(), '\n'), 15);
}

TEST_F(Runs, TypicalDebugCleanSave) {
    Fake().commandStatuses = {0x10, -1};
    EXPECT_EQ(RunWith({L"/debug", L"/cleansave", kId}), 0);
    ASSERT_EQ(Fake().Boxes().size(), 2u);
    EXPECT_EQ(Fake().Boxes()[0].caption, L"Error Removing existing saved folder");
    EXPECT_EQ(Fake().Boxes()[0].text, L"'rm -r' returned value 0x10");
    EXPECT_EQ(Fake().Boxes()[0].type, 0x30u);
    EXPECT_EQ(Fake().Boxes()[1].caption, L"Error Saving folder");
    EXPECT_EQ(Fake().Boxes()[1].text, L"'robocopy' returned value 0xffffffff");
    EXPECT_EQ(Fake().Boxes()[1].type, 0x10u);
    // Each failure is recorded before its box is shown.
    std::vector<std::string> kinds;
    for (const FakeCall& call : Fake().calls) {
        if (call.kind == "run" || call.kind == "box" || call.kind == "event") {
            kinds.push_back(call.kind);
        }
    }
    EXPECT_EQ(kinds, (std::vector<std::string>{"run", "event", "box", "run", "event", "box"}));
}

struct RootsRefusal {
    const char* name;
    bool userNameObtained;
    std::wstring userName;
    bool systemDriveSet;
    std::wstring systemDrive;
};

void PrintTo(const RootsRefusal& r, std::ostream* os) { *os << r.name; }

class UnusableRoots : public ::testing::TestWithParam<RootsRefusal> {
protected:
    void SetUp() override { ResetFakeSystem(); }
};

const RootsRefusal kRefusals[] = {
    {"no_user_name", false, L"", true, L"C:"},
    {"empty_user_name", true, L"", true, L"C:"},
    {"no_system_drive", true, L"user1", false, L""},
    {"empty_system_drive", true, L"user1", true, L""},
    {"quote", true, L"a\" & del /q *", true, L"C:"},
    {"percent", true, L"%PATH%", true, L"C:"},
    {"too_long", true, std::wstring(240, L'u'), true, L"C:"},
};

TEST_P(UnusableRoots, RefuseEveryTransferWithMinusFive) {
    const RootsRefusal& r = GetParam();
    const std::vector<std::vector<std::wstring>> lines = {
        {L"/save", kId}, {L"/debug", L"/cleanrestore", kId}, {L"/saveall"}, {L"/restoreall"}};
    for (const std::vector<std::wstring>& line : lines) {
        ResetFakeSystem();
        Fake().userNameObtained = r.userNameObtained;
        Fake().userName = r.userName;
        Fake().systemDriveSet = r.systemDriveSet;
        Fake().systemDrive = r.systemDrive;
        EXPECT_EQ(RunWith(line), -5);
        EXPECT_TRUE(Fake().Commands().empty());
        EXPECT_EQ(Fake().output, "");
        EXPECT_EQ(Fake().error.rfind("Brenthaul: ", 0), 0u);
        EXPECT_EQ(std::count(Fake().error.begin(), Fake().error.end(), '\n'), 1);
        // One error event, whose second line is the line on standard error.
        const std::vector<FakeCall> events = Fake().Events();
        ASSERT_EQ(events.size(), 1u);
        EXPECT_EQ(events[0].type, kEventError);
        EXPECT_EQ(events[0].id, kEventNotUsable);
        const std::string cause = Fake().error.substr(0, Fake().error.size() - 1);
        EXPECT_NE(
            events[0].text.find(L":\r\n" + std::wstring(cause.begin(), cause.end()) + L"\r\n"),
            std::wstring::npos)
            << cause;
    }
    // Command-line errors come first.
    ResetFakeSystem();
    Fake().userNameObtained = false;
    EXPECT_EQ(RunWith({}), -1);
    EXPECT_EQ(RunWith({L"/save", L"nope"}), -4);
    EXPECT_EQ(Fake().error, "");
}

INSTANTIATE_TEST_SUITE_P(Cases, UnusableRoots, ::testing::ValuesIn(kRefusals),
                         [](const ::testing::TestParamInfo<RootsRefusal>& info) {
                             return std::string(info.param.name);
                         });

TEST(SwitchMatches, FoldsOnlyAsciiLetters) {
    EXPECT_TRUE(SwitchMatches(L"/SaVe", L"/save"));
    EXPECT_TRUE(SwitchMatches(L"/CLEANRESTOREALL", L"/cleanrestoreall"));
    EXPECT_FALSE(SwitchMatches(L"/\u017fave", L"/save"));        // long s
    EXPECT_FALSE(SwitchMatches(L"/REST\u0130RE", L"/restore"));  // capital I with dot
    EXPECT_FALSE(SwitchMatches(L"/save ", L"/save"));
    EXPECT_FALSE(SwitchMatches(L"/sav", L"/save"));
    EXPECT_FALSE(SwitchMatches(L"", L"/save"));
    // Characters that differ from ASCII letters by 32 are not letters.
    EXPECT_FALSE(SwitchMatches(L"\u000f", L"/"));
    EXPECT_FALSE(SwitchMatches(L"/sav@", L"/sav`"));
}

TEST(IsPackageGuid, AcceptsOnlyTheGuidShape) {
    EXPECT_TRUE(IsPackageGuid(L"6f2b8a2e-3d41-4c5e-9a7b-0c1d2e3f4a5b"));
    EXPECT_TRUE(IsPackageGuid(L"00000000-0000-0000-0000-000000000000"));
    EXPECT_TRUE(IsPackageGuid(L"ABCDEFab-cdef-0123-4567-89abcdefABCD"));
    EXPECT_FALSE(IsPackageGuid(L""));
    EXPECT_FALSE(IsPackageGuid(L"------------------------------------"));
    EXPECT_FALSE(IsPackageGuid(L"6f2b8a2e-3d41-4c5e-9a7b-0c1d2e3f4a5b\\..\\.."));
    EXPECT_FALSE(IsPackageGuid(L"6f2b8a2e 3d41 4c5e 9a7b 0c1d2e3f4a5b"));
    EXPECT_FALSE(IsPackageGuid(L"6f2b8a2e-3d41-4c5e-9a7b-0c1d2e3f4a5/"));  // '0' - 1
    EXPECT_FALSE(IsPackageGuid(L"6f2b8a2e-3d41-4c5e-9a7b-0c1d2e3f4a5:"));  // '9' + 1
    EXPECT_FALSE(IsPackageGuid(L"6f2b8a2e-3d41-4c5e-9a7b-0c1d2e3f4a5`"));  // 'a' - 1
    EXPECT_FALSE(IsPackageGuid(L"6f2b8a2e-3d41-4c5e-9a7b-0c1d2e3f4a5G"));
}

// --- events of refused runs, and none for good ones ---------------------------------------

const std::wstring kCommandLineCheck =
    L"What to check: the Arguments of the App-V script (UserScripts in the package's "
    L"DeploymentConfig.xml or UserConfig.xml), or of the logon or logoff script, that starts "
    L"Brenthaul. Its forms are \"Brenthaul [/debug] /save|/restore|/cleansave|/cleanrestore "
    L"PackageGuid\" and \"Brenthaul /saveall|/restoreall|/cleansaveall|/cleanrestoreall\".";

std::wstring CommandLineText(int status, const std::wstring& cause, const std::wstring& arguments,
                             const std::wstring& user = L"user1") {
    return L"Brenthaul did not understand its command line and ran nothing (exit status " +
           std::to_wstring(status) + L": " + cause + L").\r\nArguments " + arguments +
           L"\r\nUser: " + user + L"\r\n" + kCommandLineCheck;
}

const std::wstring kIdCheck =
    L"What to check: the package id in the Arguments of the App-V script: the PackageId of the "
    L"package, as Get-AppvClientPackage shows it and as it names the package's folder under "
    L"%LOCALAPPDATA%\\Microsoft\\AppV\\Client\\VFS.";

std::wstring BadIdText(const std::wstring& arguments) {
    return L"Brenthaul refused to run and copied nothing (exit status -4): the package id, the "
           L"last argument, is not a GUID. It must be exactly 36 characters, hexadecimal digits "
           L"with dashes at the 9th, 14th, 19th and 24th places, without braces.\r\nArguments " +
           arguments + L"\r\nUser: user1\r\n" + kIdCheck;
}

struct RefusedTextCase {
    const char* name;
    std::vector<std::wstring> arguments;
    std::wstring text;
};

void PrintTo(const RefusedTextCase& c, std::ostream* os) { *os << c.name; }

const std::wstring kLongArgument(1100, L'x');

const RefusedTextCase kRefusedTexts[] = {
    {"no_arguments", {}, CommandLineText(-1, L"no arguments, or more than three", L"(0): none")},
    {"four_arguments",
     {L"/debug", L"/save", kId, L"x"},
     CommandLineText(-1, L"no arguments, or more than three",
                     L"(4): \"/debug\" \"/save\" \"" + kId + L"\" \"x\"")},
    {"bad_switch",
     {L"/sav", kId},
     CommandLineText(-2,
                     L"two arguments, and the first is not /save, /restore, /cleansave or "
                     L"/cleanrestore",
                     L"(2): \"/sav\" \"" + kId + L"\"")},
    {"bad_all_switch",
     {L"/saveall "},
     CommandLineText(-3,
                     L"one argument, and it is not /saveall, /restoreall, /cleansaveall or "
                     L"/cleanrestoreall",
                     L"(1): \"/saveall \"")},
    {"empty_argument",
     {L""},
     CommandLineText(-3,
                     L"one argument, and it is not /saveall, /restoreall, /cleansaveall or "
                     L"/cleanrestoreall",
                     L"(1): \"\"")},
    {"no_operation",
     {L"/debug", L"/debug", kId},
     CommandLineText(-6,
                     L"three arguments, and neither of the first two asks for a save or a restore",
                     L"(3): \"/debug\" \"/debug\" \"" + kId + L"\"")},
    // Control characters cannot add lines of their own to the text.
    {"control_characters_shown_as_question_marks",
     {L"/save\r\nUser: admin", L"x\ty"},
     CommandLineText(-2,
                     L"two arguments, and the first is not /save, /restore, /cleansave or "
                     L"/cleanrestore",
                     L"(2): \"/save??User: admin\" \"x?y\"")},
    // Arguments that do not fit their bound are not shown at all, never cut short.
    {"arguments_too_long_to_show",
     {kLongArgument},
     CommandLineText(-3,
                     L"one argument, and it is not /saveall, /restoreall, /cleansaveall or "
                     L"/cleanrestoreall",
                     L"(1): too long to show")},
    {"arguments_too_long_to_show_in_all",
     {L"/debug", std::wstring(510, L'y'), std::wstring(510, L'z')},
     CommandLineText(-6,
                     L"three arguments, and neither of the first two asks for a save or a restore",
                     L"(3): too long to show")},
    {"the_longest_arguments_shown",
     {std::wstring(1021, L'w')},
     CommandLineText(-3,
                     L"one argument, and it is not /saveall, /restoreall, /cleansaveall or "
                     L"/cleanrestoreall",
                     L"(1): \"" + std::wstring(1021, L'w') + L"\"")},
    {"id_not_a_guid", {L"/save", L"nope"}, BadIdText(L"(2): \"/save\" \"nope\"")},
    {"id_in_braces",
     {L"/debug", L"/cleanrestore", L"{" + kId + L"}"},
     BadIdText(L"(3): \"/debug\" \"/cleanrestore\" \"{" + kId + L"}\"")},
    {"id_very_long", {L"/save", std::wstring(32000, L'a')}, BadIdText(L"(2): too long to show")},
};

class RefusedTexts : public ::testing::TestWithParam<RefusedTextCase> {
protected:
    void SetUp() override { ResetFakeSystem(); }
};

TEST_P(RefusedTexts, NameTheCauseTheArgumentsAndWhatToCheck) {
    const RefusedTextCase& c = GetParam();
    RunWith(c.arguments);
    const std::vector<FakeCall> events = Fake().Events();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].text, c.text);
    EXPECT_LT(events[0].text.size(), kEventTextCapacity);
}

INSTANTIATE_TEST_SUITE_P(Cases, RefusedTexts, ::testing::ValuesIn(kRefusedTexts),
                         [](const ::testing::TestParamInfo<RefusedTextCase>& info) {
                             return std::string(info.param.name);
                         });

TEST_F(Runs, UnusableProfileEventQuotesTheLineOnStandardError) {
    Fake().systemDriveSet = false;
    EXPECT_EQ(RunWith({L"/cleansave", kId}), -5);
    ASSERT_EQ(Fake().Events().size(), 1u);
    EXPECT_EQ(
        Fake().Events()[0].text,
        L"Brenthaul refused to run and copied nothing (exit status -5). It wrote to standard "
        L"error:\r\nBrenthaul: the variable SystemDrive is not set; nothing was copied\r\n"
        L"Arguments (2): \"/cleansave\" \"" +
            kId +
            L"\"\r\nUser: user1\r\nWhat to check: Brenthaul builds the user's folders as "
            L"<SystemDrive>\\Users\\<user name>\\AppData\\Local and ...\\AppData\\Roaming, each "
            L"path and command line within a fixed length. The variable SystemDrive must be set, "
            L"and the user name must be known and give paths of at most 256 characters without a "
            L"double quote, a percent sign or a control character.");

    ResetFakeSystem();
    Fake().userNameObtained = false;
    EXPECT_EQ(RunWith({L"/restoreall"}), -5);
    ASSERT_EQ(Fake().Events().size(), 1u);
    EXPECT_NE(Fake().Events()[0].text.find(L"\r\nUser: (the name could not be obtained)\r\n"),
              std::wstring::npos);
}

TEST_F(Runs, AUserNameCannotAddLinesToTheText) {
    Fake().userName = L"a\r\nUser: admin";
    EXPECT_EQ(RunWith({L"/save", kId}), -5);
    ASSERT_EQ(Fake().Events().size(), 1u);
    EXPECT_NE(Fake().Events()[0].text.find(L"\r\nUser: a??User: admin\r\n"), std::wstring::npos);
}

TEST_F(Runs, CommandLineErrorsComeFirstAndRecordOneEvent) {
    Fake().userNameObtained = false;
    EXPECT_EQ(RunWith({L"/sav", kId}), -2);
    ASSERT_EQ(Fake().Events().size(), 1u);
    EXPECT_EQ(Fake().Events()[0].id, kEventBadCommandLine);
    EXPECT_NE(Fake().Events()[0].text.find(L"\r\nUser: (the name could not be obtained)\r\n"),
              std::wstring::npos);
}

// Every accepted form, every success status of robocopy and a removal that succeeds, with the
// roots the user's own: nothing recorded.
TEST_F(Runs, GoodRunsRecordNothing) {
    const std::vector<std::vector<std::wstring>> lines = {
        {L"/save", kId},         {L"/restore", kId},         {L"/cleansave", kId},
        {L"/cleanrestore", kId}, {L"/debug", L"/save", kId}, {L"/saveall"},
        {L"/restoreall"},        {L"/cleansaveall"},         {L"/cleanrestoreall"}};
    for (const std::vector<std::wstring>& line : lines) {
        for (int status = 0; status < 8; ++status) {
            ResetFakeSystem();
            Fake().environment[L"LOCALAPPDATA"] = L"C:\\Users\\user1\\AppData\\Local";
            Fake().environment[L"APPDATA"] = L"C:\\Users\\user1\\AppData\\Roaming";
            Fake().commandStatuses = {0, status};
            EXPECT_EQ(RunWith(line), 0);
            EXPECT_TRUE(Fake().Events().empty()) << line[0] << " " << status;
        }
    }
}

TEST_F(Runs, RootsNotTheUsersOwnWarnAndTheTransferRunsAsBefore) {
    Fake().environment[L"APPDATA"] = L"\\\\server\\profiles$\\user1\\AppData\\Roaming";
    EXPECT_EQ(RunWith({L"/saveall"}), 0);
    EXPECT_EQ(Fake().Commands(), ExpectedCommands(kSaveAll));
    EXPECT_EQ(Fake().output, "");
    EXPECT_EQ(Fake().error, "");
    ASSERT_EQ(Fake().Events().size(), 1u);
    EXPECT_EQ(Fake().Events()[0].id, kEventRootsNotOwn);
    EXPECT_EQ(Fake().Events()[0].type, kEventWarning);
}

}  // namespace
