#include "tests/unit/fake_platform.h"

#include <cwchar>

#include "platform/platform.h"

namespace {
FakeSystem g_fake;
}

FakeSystem& Fake() { return g_fake; }

void ResetFakeSystem() { g_fake = FakeSystem(); }

std::vector<std::wstring> FakeSystem::Commands() const {
    std::vector<std::wstring> commands;
    for (const FakeCall& call : calls) {
        if (call.kind == "run") commands.push_back(call.text);
    }
    return commands;
}

std::vector<FakeCall> FakeSystem::Boxes() const {
    std::vector<FakeCall> boxes;
    for (const FakeCall& call : calls) {
        if (call.kind == "box") boxes.push_back(call);
    }
    return boxes;
}

std::vector<FakeCall> FakeSystem::Events() const {
    std::vector<FakeCall> events;
    for (const FakeCall& call : calls) {
        if (call.kind == "event") events.push_back(call);
    }
    return events;
}

bool PlatformGetUserName(wchar_t* name, size_t capacity) {
    g_fake.calls.push_back({"username", L"", L"", 0});
    if (!g_fake.userNameObtained || g_fake.userName.size() + 1 > capacity) {
        return false;  // GetUserNameW fails when the buffer is too small
    }
    std::wcscpy(name, g_fake.userName.c_str());
    return true;
}

const wchar_t* PlatformGetEnvironment(const wchar_t* variable) {
    g_fake.calls.push_back({"getenv", variable, L"", 0});
    if (std::wstring(variable) == L"SystemDrive") {
        return g_fake.systemDriveSet ? g_fake.systemDrive.c_str() : nullptr;
    }
    const auto found = g_fake.environment.find(variable);
    return found == g_fake.environment.end() ? nullptr : found->second.c_str();
}

int RunCommand(const wchar_t* commandLine) {
    g_fake.calls.push_back({"run", commandLine, L"", 0});
    if (g_fake.commandStatuses.empty()) return 0;
    const int status = g_fake.commandStatuses.front();
    g_fake.commandStatuses.pop_front();
    return status;
}

void PlatformShowMessage(const wchar_t* text, const wchar_t* caption, unsigned type) {
    g_fake.calls.push_back({"box", text, caption, type});
}

void PlatformWriteOutput(const char* text) {
    g_fake.calls.push_back({"out", L"", L"", 0});
    g_fake.output += text;
}

void PlatformWriteError(const char* text) {
    g_fake.calls.push_back({"err", L"", L"", 0});
    g_fake.error += text;
}

bool PlatformFolderExists(const wchar_t* path) {
    g_fake.calls.push_back({"exists", path, L"", 0});
    return g_fake.foldersExist && g_fake.missingFolders.count(path) == 0;
}

void PlatformReportEvent(unsigned type, unsigned id, const wchar_t* text) {
    g_fake.calls.push_back({"event", text, L"", type, id});
}
