// A recording stand-in for platform.h: the tests set what the "system" answers and read back
// every call the tool made, in order.
#ifndef BRENTHAUL_TESTS_FAKE_PLATFORM_H
#define BRENTHAUL_TESTS_FAKE_PLATFORM_H

#include <deque>
#include <map>
#include <set>
#include <string>
#include <vector>

struct FakeCall {
    std::string kind;      // "username", "getenv", "run", "box", "exists", "out", "err", "event"
    std::wstring text;     // the variable, command line, box text, folder or event text
    std::wstring caption;  // box caption
    unsigned type = 0;     // box type or event type
    unsigned id = 0;       // event id
};

struct FakeSystem {
    bool userNameObtained = true;
    std::wstring userName = L"user1";
    bool systemDriveSet = true;
    std::wstring systemDrive = L"C:";
    std::deque<int> commandStatuses;  // returned by RunCommand in turn; 0 once used up
    bool foldersExist = true;         // answer for any folder not listed below
    std::set<std::wstring> missingFolders;
    std::map<std::wstring, std::wstring> environment;  // variables besides SystemDrive

    std::vector<FakeCall> calls;
    std::string output;  // standard output, as written
    std::string error;   // standard error, as written

    std::vector<std::wstring> Commands() const;
    std::vector<FakeCall> Boxes() const;
    std::vector<FakeCall> Events() const;
};

// The state behind the fake; ResetFakeSystem gives every test a fresh one.
FakeSystem& Fake();
void ResetFakeSystem();

#endif
