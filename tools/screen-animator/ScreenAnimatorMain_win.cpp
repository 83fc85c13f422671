// A small topmost window that changes its picture on a timer: the moving part of the
// pad's screen in the screen-up tests and measurements. Every tick fills the window
// with the next of a set of colours and draws a counter, so every tick changes every
// pixel row of the window.
//
//   screen-animator X Y WIDTH HEIGHT [INTERVAL_MS [below]]   (interval 15 by default)
//
// "below" makes an ordinary window instead of a topmost one, for a backdrop that the
// windows under test must cover; it starts blue, RGB(40, 80, 220), unlike red ink.
//
// The window's caption is "screen-animator X,Y" (so that two of them can be told
// apart); it ends on WM_CLOSE.
#include <windows.h>

#include <shellapi.h>

#include <cstdlib>
#include <cwchar>

namespace {

constexpr UINT_PTR kTickTimer = 1;
constexpr COLORREF kColours[] = {RGB(220, 40, 40),  RGB(40, 160, 60),  RGB(40, 80, 220),
                                 RGB(230, 200, 40), RGB(150, 50, 170), RGB(30, 170, 180)};
unsigned g_tick = 0;

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_TIMER:
            ++g_tick;
            ::InvalidateRect(window, nullptr, FALSE);
            return 0;
        case WM_PAINT: {
            PAINTSTRUCT paint;
            HDC dc = ::BeginPaint(window, &paint);
            RECT client;
            ::GetClientRect(window, &client);
            HBRUSH brush =
                ::CreateSolidBrush(kColours[g_tick % (sizeof kColours / sizeof *kColours)]);
            ::FillRect(dc, &client, brush);
            ::DeleteObject(brush);
            wchar_t text[32];
            std::swprintf(text, 32, L"%u", g_tick);
            ::SetBkMode(dc, TRANSPARENT);
            ::SetTextColor(dc, RGB(255, 255, 255));
            ::DrawTextW(dc, text, -1, &client, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
            ::EndPaint(window, &paint);
            return 0;
        }
        case WM_DESTROY:
            ::PostQuitMessage(0);
            return 0;
        default:
            return ::DefWindowProcW(window, message, wParam, lParam);
    }
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR, int) {
    int argc = 0;
    LPWSTR* argv = ::CommandLineToArgvW(::GetCommandLineW(), &argc);
    if (argv == nullptr || argc < 5) return 2;
    const int x = std::wcstol(argv[1], nullptr, 10);
    const int y = std::wcstol(argv[2], nullptr, 10);
    const int width = std::wcstol(argv[3], nullptr, 10);
    const int height = std::wcstol(argv[4], nullptr, 10);
    const UINT interval = argc > 5 ? static_cast<UINT>(std::wcstoul(argv[5], nullptr, 10)) : 15;
    const bool below = argc > 6 && std::wcscmp(argv[6], L"below") == 0;
    if (below) g_tick = 2;
    ::LocalFree(argv);

    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = &WindowProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = ::LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));
    windowClass.lpszClassName = L"ScreenAnimator";
    if (!::RegisterClassW(&windowClass)) return 1;
    wchar_t caption[64];
    std::swprintf(caption, 64, L"screen-animator %d,%d", x, y);
    const DWORD order = below ? 0 : WS_EX_TOPMOST;
    HWND window =
        ::CreateWindowExW(order | WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE, L"ScreenAnimator", caption,
                          WS_POPUP, x, y, width, height, nullptr, nullptr, instance, nullptr);
    if (window == nullptr) return 1;
    ::ShowWindow(window, SW_SHOWNOACTIVATE);
    ::SetTimer(window, kTickTimer, interval > 0 ? interval : 1, nullptr);
    MSG message;
    while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
        ::TranslateMessage(&message);
        ::DispatchMessageW(&message);
    }
    return 0;
}
