// Start-up pieces on a real Win32 (Wine): network start-up, command line, message
// pump, the shared instance counter and the one-box-at-a-time rule.
#include <winsock2.h>

#include "framework/WinApp_win.h"
#include "resources/resource.h"
#include "shell/InstanceGuard_win.h"
#include "shell/Language_win.h"
#include "shell/NetworkStartup_win.h"
#include "shell/PumpMessages_win.h"
#include "shell/TavrelCommandLineInfo_win.h"
#include "widgets/ShowMessageBox_win.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <thread>

namespace {

TEST(NetworkStartup, GrantsWinSockOneOneAndCleansUp) {
    // Other tests in this process start WinSock too, so the clean-up is checked in a
    // child process of its own, where nothing else has started it.
    EXPECT_EXIT(
        {
            WORD granted = 0;
            if (InitNetworkLibrary(&granted) != 0) std::exit(1);
            if (granted != MAKEWORD(1, 1)) std::exit(2);
            SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
            if (s == INVALID_SOCKET) std::exit(3);
            closesocket(s);
            DeinitNetworkLibrary();
            // Cleaned up: WinSock refuses to make sockets again.
            if (socket(AF_INET, SOCK_STREAM, IPPROTO_TCP) != INVALID_SOCKET) std::exit(4);
            if (WSAGetLastError() != WSANOTINITIALISED) std::exit(5);
            std::exit(0);
        },
        ::testing::ExitedWithCode(0), "");
}

TEST(CommandLine, AutostartSwitchAndItsArgument) {
    struct Case {
        const wchar_t* line;
        int autostart;
        const wchar_t* fileName;
        const wchar_t* argument;
    } cases[] = {
        {L"\"Vantor Tavrel.exe\"", 0, L"", L""},
        {L"\"Vantor Tavrel.exe\" /AutoStart \"C:\\Program Files\\x\"", 1, L"",
         L"C:\\Program Files\\x"},
        {L"\"Vantor Tavrel.exe\" -autostart", 1, L"", L""},
        {L"\"Vantor Tavrel.exe\" first /autostart second", 1, L"first", L"second"},
        {L"\"Vantor Tavrel.exe\" autostart", 0, L"autostart", L""},  // not a switch
    };
    for (const Case& c : cases) {
        g_nAutostart = 0;
        CTavrelCommandLineInfo info;
        CWinApp::ParseCommandLine(info, c.line);
        EXPECT_EQ(g_nAutostart, c.autostart) << c.line;
        EXPECT_EQ(info.m_strFileName, c.fileName) << c.line;
        EXPECT_EQ(info.m_strAutostartArgument, c.argument) << c.line;
    }
    g_nAutostart = 0;
}

// A message-only window of a class of its own with the given procedure.
HWND MessageWindow(const wchar_t* className, WNDPROC procedure) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = procedure;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = className;
    RegisterClassW(&wc);
    return CreateWindowExW(0, className, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance,
                           nullptr);
}

int g_nServed = 0;

LRESULT CALLBACK CountingWndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_APP) ++g_nServed;
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

TEST(PumpMessages, KeepsWindowsServedAndWaitsTheWholeTime) {
    HWND window = MessageWindow(L"TavrelPumpCounter", CountingWndProc);
    ASSERT_NE(window, nullptr);
    g_nServed = 0;
    ASSERT_TRUE(PostMessageW(window, WM_APP, 0, 0));
    PostThreadMessageW(GetCurrentThreadId(), WM_APP, 0, 0);
    const DWORD start = GetTickCount();
    PumpMessages(2000);
    const DWORD elapsed = GetTickCount() - start;
    MSG left;
    EXPECT_FALSE(PeekMessageW(&left, nullptr, 0, 0, PM_NOREMOVE)) << "messages left waiting";
    EXPECT_EQ(g_nServed, 1) << "the window's message was not dispatched";
    EXPECT_GE(elapsed, 2000u);
    EXPECT_LT(elapsed, 10000u) << "the pump did not come back";
    DestroyWindow(window);
}

// A window that posts itself a new message for every one it handles: the queue never
// empties, and the pause must still end on time.
LRESULT CALLBACK RepostingWndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_APP) {
        Sleep(1);
        PostMessageW(hwnd, WM_APP, 0, 0);
        return 0;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

TEST(PumpMessages, AQueueThatNeverEmptiesStillEndsThePause) {
    HWND window = MessageWindow(L"TavrelReposting", RepostingWndProc);
    ASSERT_NE(window, nullptr);
    PostMessageW(window, WM_APP, 0, 0);
    const DWORD start = GetTickCount();
    PumpMessages(300);
    EXPECT_LT(GetTickCount() - start, 5000u) << "the pause did not end";
    DestroyWindow(window);
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    }
}

TEST(PumpMessages, AQuitRequestEndsTheWaitAndIsKept) {
    PostQuitMessage(7);
    const DWORD start = GetTickCount();
    PumpMessages(5000);
    EXPECT_LT(GetTickCount() - start, 4000u) << "the wait went on after a quit request";
    MSG msg;
    ASSERT_TRUE(PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) << "the quit was lost";
    EXPECT_EQ(msg.wParam, 7u);
}

// The counter must live in a section that the loader shares between processes.
TEST(InstanceGuard, CounterSectionIsSharedAndCounts) {
    auto* base = reinterpret_cast<const BYTE*>(GetModuleHandleW(nullptr));
    auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_SECTION_HEADER* section = IMAGE_FIRST_SECTION(nt);
    bool shared = false;
    for (WORD i = 0; i < nt->FileHeader.NumberOfSections; ++i, ++section) {
        if (std::memcmp(section->Name, ".tavsh", 6) == 0) {
            shared = (section->Characteristics & IMAGE_SCN_MEM_SHARED) != 0;
        }
    }
    EXPECT_TRUE(shared) << "no shared .tavsh section in the image";
    LONG first = IncrementInstanceCount();
    EXPECT_EQ(IncrementInstanceCount(), first + 1);
    DecrementInstanceCount();
    DecrementInstanceCount();
    EXPECT_EQ(IncrementInstanceCount(), first);
    DecrementInstanceCount();
}

TEST(Language, MissingModuleFallsBackToBuiltInKorean) {
    for (const wchar_t* code : {L"Kor", L"kor", L"Xyz", L""}) {
        std::wstring language = code;
        ChooseResourceModule(language);
        EXPECT_EQ(language, L"Kor") << code;
        EXPECT_EQ(AfxGetResourceHandle(), GetModuleHandleW(nullptr)) << code;
    }
}

TEST(Language, EnglishModuleRelativeToTheCurrentDirectory) {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path);
    folder.erase(folder.find_last_of(L'\\'));
    wchar_t previous[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, previous);
    ASSERT_TRUE(SetCurrentDirectoryW(folder.c_str()));
    std::wstring language = L"Eng";
    ChooseResourceModule(language);
    EXPECT_EQ(language, L"Eng");
    EXPECT_NE(AfxGetResourceHandle(), GetModuleHandleW(nullptr));
    EXPECT_EQ(AfxLoadString(IDS_RELAY_NOT_RUNNING),
              L"There is no running %s.\nPlease check the teacher ID.");
    AfxSetResourceHandle(nullptr);
    SetCurrentDirectoryW(previous);
}

TEST(ShowMessageBox, RefusesASecondBoxWhileOneIsOpen) {
    std::thread first([] { ShowMessageBox(L"first box", L"TavrelBoxTest", MB_OK); });
    HWND box = nullptr;
    for (int i = 0; i < 200 && box == nullptr; ++i) {
        Sleep(25);
        box = FindWindowW(L"#32770", L"TavrelBoxTest");
    }
    ASSERT_NE(box, nullptr) << "the first box did not appear";
    EXPECT_EQ(ShowMessageBox(L"second box", L"TavrelBoxTest2", MB_OK), -1);
    PostMessageW(box, WM_COMMAND, IDOK, 0);
    first.join();
    // Once the first one is gone, a new box may open again: prove it by closing it
    // from a helper thread.
    std::thread closer([] {
        for (int i = 0; i < 200; ++i) {
            Sleep(25);
            if (HWND b = FindWindowW(L"#32770", L"TavrelBoxTest3")) {
                PostMessageW(b, WM_COMMAND, IDOK, 0);
                return;
            }
        }
    });
    EXPECT_EQ(ShowMessageBox(L"third box", L"TavrelBoxTest3", MB_OK), IDOK);
    closer.join();
}

}  // namespace
