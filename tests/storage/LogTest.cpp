#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <new>
#include <regex>
#include <string>

#include "BrelioCore/ErrorFlow.h"
#include "BrelioServices/Log.h"
#include "ChildProcess.h"
#include "TempFolder.h"

namespace brelio::test {
namespace {

std::string StampNow() {
    SYSTEMTIME now = {};
    ::GetLocalTime(&now);
    char text[32];
    std::snprintf(text, sizeof(text), "%04u-%02u-%02u %02u:%02u:%02u", now.wYear, now.wMonth, now.wDay, now.wHour,
                  now.wMinute, now.wSecond);
    return text;
}

std::string ThreadTag() {
    char text[32];
    std::snprintf(text, sizeof(text), "(0x%lx) ", ::GetCurrentThreadId());
    return text;
}

class StorageLog : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_folder.Create());
        m_path = m_folder / L"BrelioDrive.log";
        SetLogPath(m_path.c_str());
        SetLogEnabled(true);
    }
    void TearDown() override { SetLogEnabled(false); }

    CTempFolder m_folder;
    std::wstring m_path;
};

TEST_F(StorageLog, LineIsLocalTimeThreadIdAndMessage) {
    const std::string before = StampNow();
    WriteLog("abc");
    const std::string after = StampNow();

    const std::string text = ReadFileBytes(m_path);
    std::smatch match;
    ASSERT_TRUE(std::regex_match(text, match, std::regex(R"((\d{4}-\d\d-\d\d \d\d:\d\d:\d\d)(\(0x[0-9a-f]+\) )abc\r\n)")))
        << text;
    EXPECT_GE(match[1].str(), before);
    EXPECT_LE(match[1].str(), after);
    EXPECT_EQ(match[2].str(), ThreadTag());
}

TEST_F(StorageLog, MessagesAreAppendedInTheAnsiCodePage) {
    struct Case {
        const wchar_t* message;
        const char* written;
    } cases[] = {
        {L"plain", "plain"},
        {L"x\u3042y", "x?y"},  // outside code page 1252
        {L"%s - downloaded.", "%s - downloaded."},
    };
    for (const Case& c : cases) WriteLogW(c.message);
    const std::string text = ReadFileBytes(m_path);
    size_t at = 0;
    for (const Case& c : cases) {
        const std::string tail = ThreadTag() + c.written + "\r\n";
        const size_t found = text.find(tail, at);
        ASSERT_NE(found, std::string::npos) << c.written << " in " << text;
        at = found + tail.size();
    }
    EXPECT_EQ(at, text.size());
}

TEST_F(StorageLog, FormattedTextIsWrittenAndCutAtTheBuffer) {
    Log(L"%s - failed to upload(0x%x).", L"C:\\Sync\\a.txt", 0x80004005u);
    const std::wstring longText(5000, L'x');
    Log(L"%s", longText.c_str());

    const std::string text = ReadFileBytes(m_path);
    EXPECT_NE(text.find(ThreadTag() + "C:\\Sync\\a.txt - failed to upload(0x80004005).\r\n"), std::string::npos);
    EXPECT_NE(text.find(ThreadTag() + std::string(4095, 'x') + "\r\n"), std::string::npos);
    EXPECT_EQ(text.find(std::string(4096, 'x')), std::string::npos);
}

TEST_F(StorageLog, SwitchedOffWritesNothing) {
    SetLogEnabled(false);
    WriteLog("a");
    WriteLogW(L"b");
    Log(L"%s", L"c");
    EXPECT_FALSE(FileExists(m_path));
}

TEST_F(StorageLog, OverlongPathIsCutTo260Characters) {
    std::wstring path = m_folder.Path() + L"\\";
    path += std::wstring(300 - path.size(), L'n');
    SetLogPath(path.c_str());
    WriteLog("cut");
    EXPECT_NE(ReadFileBytes(path.substr(0, 260)).find("cut\r\n"), std::string::npos);
}

int g_evaluations = 0;

HRESULT Evaluated(HRESULT result) {
    ++g_evaluations;
    return result;
}

HRESULT LeaveIfFailed(HRESULT result) {
    BRELIO_RETURN_IF_FAILED(Evaluated(result));
    return S_FALSE;
}

HRESULT LeaveIfFailedSaying(HRESULT result, const wchar_t* path) {
    BRELIO_RETURN_IF_FAILED(Evaluated(result), L"%s - failed to download(0x%x).", path);
    return S_FALSE;
}

// A failed result leaves with one line: its expression and place, or the
// caller's own text. A success goes on and writes nothing; with the log
// switched off, a failure leaves all the same.
TEST_F(StorageLog, AFailureLeavesWithOneLineOfItsExpressionAndPlaceOrOfTheCallersText) {
    g_evaluations = 0;
    EXPECT_EQ(LeaveIfFailed(S_OK), S_FALSE);
    EXPECT_EQ(LeaveIfFailedSaying(S_FALSE, L"a.txt"), S_FALSE);
    EXPECT_FALSE(FileExists(m_path));
    EXPECT_EQ(LeaveIfFailed(E_ACCESSDENIED), E_ACCESSDENIED);
    EXPECT_EQ(LeaveIfFailedSaying(E_FAIL, L"C:\\Sync\\a.txt"), E_FAIL);
    EXPECT_EQ(g_evaluations, 4) << "each expression is evaluated once";

    const std::string text = ReadFileBytes(m_path);
    const std::string tag = ThreadTag();
    EXPECT_TRUE(std::regex_search(
        text, std::regex(R"(\) Evaluated\(result\) failed\(0x80070005\) at LogTest\.cpp\(\d+\)\.\r\n)")))
        << text;
    EXPECT_NE(text.find(tag + "C:\\Sync\\a.txt - failed to download(0x80004005).\r\n"), std::string::npos) << text;
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 2);

    SetLogEnabled(false);
    EXPECT_EQ(LeaveIfFailed(E_FAIL), E_FAIL);
    EXPECT_EQ(ReadFileBytes(m_path), text);
}

// What is thrown inside an entry of the module ends there as the entry's
// failure, with one line; a result passes through.
TEST_F(StorageLog, AnExceptionInsideAnEntryEndsThereAsItsFailure) {
    EXPECT_EQ(GuardEntry("Quiet", E_UNEXPECTED, [] { return S_FALSE; }), S_FALSE);
    EXPECT_FALSE(FileExists(m_path));
    EXPECT_EQ(GuardEntry("DllGetClassObject", E_UNEXPECTED, []() -> HRESULT { throw std::bad_alloc(); }),
              E_UNEXPECTED);
    EXPECT_EQ(GuardEntry("UpdateFile", -7, []() -> int { throw 7; }), -7);

    const std::string text = ReadFileBytes(m_path);
    EXPECT_NE(text.find(ThreadTag() + "DllGetClassObject ended by an exception(0x8000ffff).\r\n"), std::string::npos)
        << text;
    EXPECT_NE(text.find(ThreadTag() + "UpdateFile ended by an exception(0xfffffff9).\r\n"), std::string::npos) << text;
}

// Another process holds the file without any sharing for a while.
struct HoldCase {
    DWORD holdMs;
    bool lineKept;
    DWORD minBlockedMs;
    DWORD maxBlockedMs;
};

void PrintTo(const HoldCase& c, std::ostream* out) { *out << "held " << c.holdMs << " ms"; }

class StorageLogSharing : public StorageLog, public ::testing::WithParamInterface<HoldCase> {};

TEST_P(StorageLogSharing, RetriesWhileTheFileIsHeldThenDrops) {
    const HoldCase c = GetParam();
    CNamedEvent ready;
    CChildProcess holder;
    ASSERT_TRUE(holder.Start({L"hold-file", m_path, std::to_wstring(c.holdMs), ready.Name()}));
    ASSERT_TRUE(ready.Wait());

    const ULONGLONG start = ::GetTickCount64();
    WriteLog("held");
    const ULONGLONG blocked = ::GetTickCount64() - start;
    ASSERT_EQ(holder.Wait(), 0);

    EXPECT_GE(blocked, c.minBlockedMs);
    EXPECT_LE(blocked, c.maxBlockedMs);
    EXPECT_EQ(ReadFileBytes(m_path).find("held\r\n") != std::string::npos, c.lineKept);
}

// Eight opens with 400 ms after each sharing violation: the caller waits
// at most about 3.2 s.
INSTANTIATE_TEST_SUITE_P(Holds, StorageLogSharing,
                         ::testing::Values(HoldCase{1000, true, 500, 3000}, HoldCase{6000, false, 2800, 4500}),
                         [](const auto& info) { return info.param.lineKept ? "Brief" : "BeyondRetries"; });

}  // namespace
}  // namespace brelio::test
