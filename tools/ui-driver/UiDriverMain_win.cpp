// ui-driver: finds windows and works their controls with ordinary window messages, so
// that tests can drive the real programs under Wine. Text goes out as UTF-8, one
// result per line; the exit code is 0 on success, 1 when the thing asked for was not
// found in time, 2 for a usage error.
#include <windows.h>

#include <algorithm>

#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

namespace {

constexpr int kExitOk = 0;
constexpr int kExitNotFound = 1;
constexpr int kExitUsage = 2;
constexpr DWORD kPollMs = 50;
constexpr DWORD kDefaultTimeoutMs = 10000;
constexpr DWORD kSendTimeoutMs = 5000;
constexpr int kMessageBoxTextId = 0xFFFF;  // the system message box's text
constexpr int kSkinnedBoxTextId = 1099;    // the program's own box keeps its text here

void PrintUtf8(const std::wstring& text) {
    int bytes = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()),
                                    nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(bytes), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), &out[0], bytes,
                        nullptr, nullptr);
    out += '\n';
    fwrite(out.data(), 1, out.size(), stdout);
    fflush(stdout);
}

std::wstring ClassOf(HWND hwnd) {
    wchar_t name[256] = {};
    GetClassNameW(hwnd, name, 256);
    return name;
}

// WM_GETTEXT works across processes, unlike GetWindowText for controls.
std::wstring TextOf(HWND hwnd) {
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutW(hwnd, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, kSendTimeoutMs,
                             &length)) {
        return L"";
    }
    std::vector<wchar_t> buffer(length + 2, L'\0');
    DWORD_PTR copied = 0;
    SendMessageTimeoutW(hwnd, WM_GETTEXT, buffer.size(), reinterpret_cast<LPARAM>(buffer.data()),
                        SMTO_ABORTIFHUNG, kSendTimeoutMs, &copied);
    return std::wstring(buffer.data());
}

struct Filter {
    std::wstring className;
    std::wstring title;
    bool visibleOnly = true;
};

struct Search {
    const Filter* filter;
    std::vector<HWND> found;
};

BOOL CALLBACK CollectWindow(HWND hwnd, LPARAM param) {
    auto* search = reinterpret_cast<Search*>(param);
    const Filter& f = *search->filter;
    if (f.visibleOnly && !IsWindowVisible(hwnd)) return TRUE;
    if (!f.className.empty() && ClassOf(hwnd) != f.className) return TRUE;
    if (!f.title.empty() && TextOf(hwnd) != f.title) return TRUE;
    search->found.push_back(hwnd);
    return TRUE;
}

std::vector<HWND> FindWindows(const Filter& filter) {
    Search search{&filter, {}};
    EnumWindows(&CollectWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND ParseHandle(const wchar_t* text) {
    return reinterpret_cast<HWND>(static_cast<ULONG_PTR>(wcstoull(text, nullptr, 0)));
}

std::wstring HandleText(HWND hwnd) {
    return std::to_wstring(static_cast<unsigned long long>(reinterpret_cast<ULONG_PTR>(hwnd)));
}

// Options: --class NAME, --title TEXT, --timeout MS, --all (hidden windows too).
bool ParseFilter(int argc, wchar_t** argv, int first, Filter& filter, DWORD& timeout) {
    for (int i = first; i < argc; ++i) {
        std::wstring option = argv[i];
        if (option == L"--all") {
            filter.visibleOnly = false;
            continue;
        }
        if (i + 1 >= argc) return false;
        if (option == L"--class") {
            filter.className = argv[++i];
        } else if (option == L"--title") {
            filter.title = argv[++i];
        } else if (option == L"--timeout") {
            timeout = static_cast<DWORD>(wcstoul(argv[++i], nullptr, 10));
        } else {
            return false;
        }
    }
    return true;
}

int WaitWindow(int argc, wchar_t** argv, bool gone) {
    Filter filter;
    DWORD timeout = kDefaultTimeoutMs;
    if (!ParseFilter(argc, argv, 2, filter, timeout)) return kExitUsage;
    const DWORD start = GetTickCount();
    for (;;) {
        std::vector<HWND> found = FindWindows(filter);
        if (!gone && !found.empty()) {
            PrintUtf8(HandleText(found.front()));
            return kExitOk;
        }
        if (gone && found.empty()) return kExitOk;
        if (GetTickCount() - start > timeout) return kExitNotFound;
        Sleep(kPollMs);
    }
}

int ListWindows(int argc, wchar_t** argv) {
    Filter filter;
    DWORD timeout = 0;
    if (!ParseFilter(argc, argv, 2, filter, timeout)) return kExitUsage;
    for (HWND hwnd : FindWindows(filter)) {
        DWORD pid = 0;
        GetWindowThreadProcessId(hwnd, &pid);
        RECT rect{};
        GetWindowRect(hwnd, &rect);
        PrintUtf8(HandleText(hwnd) + L"\t" + ClassOf(hwnd) + L"\t" + TextOf(hwnd) + L"\t" +
                  std::to_wstring(pid) + L"\t" + std::to_wstring(rect.left) + L"," +
                  std::to_wstring(rect.top) + L"," + std::to_wstring(rect.right) + L"," +
                  std::to_wstring(rect.bottom));
    }
    return kExitOk;
}

// The window itself, or its control with the given id (0xFFFF is a message box's text).
HWND Target(int argc, wchar_t** argv, int index) {
    HWND hwnd = ParseHandle(argv[index]);
    if (argc > index + 1) {
        int id = static_cast<int>(wcstol(argv[index + 1], nullptr, 0));
        return GetDlgItem(hwnd, id);
    }
    return hwnd;
}

// Every item of a list box in another process. LB_GETTEXT is carried across processes
// by the system, as for the standard list box it is.
constexpr size_t kItemRoomChars = 32768;

bool PrintListItems(HWND list) {
    DWORD_PTR count = 0;
    if (!SendMessageTimeoutW(list, LB_GETCOUNT, 0, 0, SMTO_ABORTIFHUNG, kSendTimeoutMs, &count) ||
        static_cast<LONG_PTR>(count) < 0) {
        return false;
    }
    std::wstring all;
    for (DWORD_PTR i = 0; i < count; ++i) {
        // The owner may insert a line while we read (a progress list grows at its top),
        // so the item at this index can be longer than its length said a moment ago.
        // The text is copied into our buffer whatever its size: leave ample room.
        DWORD_PTR length = 0;
        SendMessageTimeoutW(list, LB_GETTEXTLEN, i, 0, SMTO_ABORTIFHUNG, kSendTimeoutMs, &length);
        if (static_cast<LONG_PTR>(length) < 0) length = 0;
        const size_t room = std::max<size_t>(static_cast<size_t>(length) + 1, kItemRoomChars);
        std::wstring item(room, L'\0');
        DWORD_PTR copied = 0;
        SendMessageTimeoutW(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(&item[0]),
                            SMTO_ABORTIFHUNG, kSendTimeoutMs, &copied);
        item.resize(static_cast<LONG_PTR>(copied) > 0 && copied < room ? copied : 0);
        for (wchar_t c : item) {
            if (c == L'\n') {
                all += L"\\n";
            } else if (c != L'\r') {
                all += c;
            }
        }
        if (i + 1 < count) all += L'\n';
    }
    PrintUtf8(all);
    return true;
}

int Usage() {
    fputs(
        "usage: ui-driver COMMAND ...\n"
        "  list [--class C] [--title T] [--all]\n"
        "  wait [--class C] [--title T] [--timeout MS]      print the first match\n"
        "  wait-gone [--class C] [--title T] [--timeout MS]\n"
        "  text HWND [ID]            text of a window or of its control\n"
        "  message-text HWND         the text of a message box\n"
        "  set-text HWND ID TEXT\n"
        "  click HWND ID             press a button\n"
        "  checked HWND ID           1 when checked, else 0\n"
        "  visible HWND ID           1 when the control is shown, else 0\n"
        "  enabled HWND ID           1 when the control takes input, else 0\n"
        "  syscommand HWND ID        choose a system-menu item\n"
        "  key HWND VK               post a key press and release\n"
        "  post HWND MSG WPARAM LPARAM   post any message (numbers: decimal or 0x...)\n"
        "  info HWND                 left,top,right,bottom style exstyle visible (hex styles)\n"
        "  items HWND ID             the lines of a list box, first to last, one per line\n"
        "                            (a line feed inside an item is written as \\n)\n"
        "  close HWND\n",
        stderr);
    return kExitUsage;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) return Usage();
    const std::wstring command = argv[1];
    if (command == L"list") return ListWindows(argc, argv);
    if (command == L"wait") return WaitWindow(argc, argv, false);
    if (command == L"wait-gone") return WaitWindow(argc, argv, true);
    if (command == L"text" && argc >= 3) {
        HWND target = Target(argc, argv, 2);
        if (target == nullptr || !IsWindow(target)) return kExitNotFound;
        PrintUtf8(TextOf(target));
        return kExitOk;
    }
    if (command == L"message-text" && argc == 3) {
        HWND box = ParseHandle(argv[2]);
        HWND text = GetDlgItem(box, kSkinnedBoxTextId);
        if (text == nullptr) text = GetDlgItem(box, kMessageBoxTextId);
        if (text == nullptr) return kExitNotFound;
        PrintUtf8(TextOf(text));
        return kExitOk;
    }
    if (command == L"set-text" && argc == 5) {
        HWND target = Target(argc - 1, argv, 2);
        if (target == nullptr) return kExitNotFound;
        DWORD_PTR ignored = 0;
        SendMessageTimeoutW(target, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(argv[4]),
                            SMTO_ABORTIFHUNG, kSendTimeoutMs, &ignored);
        return kExitOk;
    }
    if (command == L"click" && argc == 4) {
        HWND button = Target(argc, argv, 2);
        if (button == nullptr) return kExitNotFound;
        // Posted, so that a modal loop started by the click does not block us.
        PostMessageW(button, BM_CLICK, 0, 0);
        return kExitOk;
    }
    if (command == L"checked" && argc == 4) {
        HWND button = Target(argc, argv, 2);
        if (button == nullptr) return kExitNotFound;
        DWORD_PTR state = 0;
        SendMessageTimeoutW(button, BM_GETCHECK, 0, 0, SMTO_ABORTIFHUNG, kSendTimeoutMs, &state);
        PrintUtf8(state == BST_CHECKED ? L"1" : L"0");
        return kExitOk;
    }
    if (command == L"visible" && argc == 4) {
        HWND control = Target(argc, argv, 2);
        if (control == nullptr) return kExitNotFound;
        PrintUtf8(IsWindowVisible(control) ? L"1" : L"0");
        return kExitOk;
    }
    if (command == L"enabled" && argc == 4) {
        HWND control = Target(argc, argv, 2);
        if (control == nullptr) return kExitNotFound;
        PrintUtf8(IsWindowEnabled(control) ? L"1" : L"0");
        return kExitOk;
    }
    if (command == L"syscommand" && argc == 4) {
        PostMessageW(ParseHandle(argv[2]), WM_SYSCOMMAND, wcstoul(argv[3], nullptr, 0), 0);
        return kExitOk;
    }
    if (command == L"key" && argc == 4) {
        HWND hwnd = ParseHandle(argv[2]);
        WPARAM vk = wcstoul(argv[3], nullptr, 0);
        PostMessageW(hwnd, WM_KEYDOWN, vk, 1);
        PostMessageW(hwnd, WM_KEYUP, vk, 0xC0000001);
        return kExitOk;
    }
    if (command == L"post" && argc == 6) {
        const BOOL posted = PostMessageW(ParseHandle(argv[2]), wcstoul(argv[3], nullptr, 0),
                                         wcstoul(argv[4], nullptr, 0), wcstol(argv[5], nullptr, 0));
        return posted ? kExitOk : kExitNotFound;
    }
    if (command == L"info" && argc == 3) {
        HWND hwnd = ParseHandle(argv[2]);
        if (!IsWindow(hwnd)) return kExitNotFound;
        RECT rect{};
        GetWindowRect(hwnd, &rect);
        wchar_t line[160];
        swprintf(line, 160, L"%ld,%ld,%ld,%ld 0x%08lX 0x%08lX %d", rect.left, rect.top, rect.right,
                 rect.bottom, static_cast<unsigned long>(GetWindowLongW(hwnd, GWL_STYLE)),
                 static_cast<unsigned long>(GetWindowLongW(hwnd, GWL_EXSTYLE)),
                 IsWindowVisible(hwnd) ? 1 : 0);
        PrintUtf8(line);
        return kExitOk;
    }
    if (command == L"items" && argc == 4) {
        HWND list = Target(argc, argv, 2);
        if (list == nullptr) return kExitNotFound;
        return PrintListItems(list) ? kExitOk : kExitNotFound;
    }
    if (command == L"close" && argc == 3) {
        PostMessageW(ParseHandle(argv[2]), WM_CLOSE, 0, 0);
        return kExitOk;
    }
    return Usage();
}
