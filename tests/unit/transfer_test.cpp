#include "transfer/transfer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "profile/profile.h"
#include "tests/unit/fake_platform.h"
#include "tests/unit/test_paths.h"

namespace {

// One expected step: a command ("run") or a message box ("box" with caption and type).
struct Step {
    std::string kind;
    std::wstring text;
    std::wstring caption;
    unsigned type;
};

Step RunStep(const std::wstring& command) { return {"run", command, L"", 0}; }
Step Box(const std::wstring& text, const std::wstring& caption, unsigned type) {
    return {"box", text, caption, type};
}

std::vector<Step> RecordedSteps() {
    std::vector<Step> steps;
    for (const FakeCall& call : Fake().calls) {
        if (call.kind == "run" || call.kind == "box") {
            steps.push_back({call.kind, call.text, call.caption, call.type});
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
     {RunStep(kRemoveSaved), RunStep(kSaveMirror)}},
    {"debug_off_shows_no_box_whatever_fails",
     true,
     true,
     false,
     {16, 16},
     false,
     {RunStep(kRemoveSaved), RunStep(kSaveMirror)}},
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
     {RunStep(kRemoveSaved), Box(L"'rm -r' returned value 0x2", kSavedCaption, 0x30),
      RunStep(kSaveMirror), Box(L"'robocopy' returned value 0x10", L"Error Saving folder", 0x10)}},
    {"restore_debug_both_fail_warning_then_error",
     false,
     true,
     true,
     {-1, 8},
     false,
     {RunStep(kRemoveLocal), Box(L"'rm -r' returned value 0xffffffff", kRestoredCaption, 0x30),
      RunStep(kRestoreMirror),
      Box(L"'robocopy' returned value 0x8", L"Error Restoring folder", 0x10)}},
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
     {RunStep(kSaveMirror),
      Box(L"'robocopy' returned value 0x7ffffffa", L"Error Saving folder", 0x10)}},
    {"save_clean_without_local_folder_keeps_the_saved_copy",
     true,
     true,
     true,
     {16},
     true,
     {RunStep(kSaveMirror), Box(L"'robocopy' returned value 0x10", L"Error Saving folder", 0x10)}},
    {"restore_clean_without_saved_folder_keeps_the_local_copy",
     false,
     true,
     false,
     {},
     true,
     {RunStep(kRestoreMirror)}},
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
    ExpectSteps({RunStep(Mirror(kLocalVfs, kSavedArea))});
    // A backslash before the closing quote would escape it for robocopy's argument splitting.
    EXPECT_EQ(Fake().Commands()[0].find(L"\\\""), std::wstring::npos);
}

TEST_F(Transfers, RestoreAllMirrorsTheSavedAreaBack) {
    Fake().commandStatuses = {-1};
    EXPECT_EQ(RestoreAllPackages(), kTransferDone);
    ExpectSteps({RunStep(Mirror(kSavedArea, kLocalVfs))});
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

}  // namespace
