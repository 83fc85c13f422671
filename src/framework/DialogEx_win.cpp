#include "framework/DialogEx_win.h"

#include "framework/Afx_win.h"
#include "framework/WinApp_win.h"

CDialogEx::CDialogEx(UINT templateId, CWnd* parent)
    : m_nIDTemplate(templateId), m_pParentWnd(parent) {}

CDialogEx::~CDialogEx() {
    if (!m_bModal && m_hWnd != nullptr && ::IsWindow(m_hWnd)) ::DestroyWindow(m_hWnd);
}

namespace {
// The template comes from the resource module (a language module when one is loaded),
// but the window is created for the executable's instance: the window classes that
// templates name are registered there, and a class is only found for the instance
// that registered it.
const DLGTEMPLATE* LoadTemplate(UINT templateId) {
    HINSTANCE module = AfxGetResourceHandle();
    HRSRC found = ::FindResourceW(module, MAKEINTRESOURCEW(templateId), RT_DIALOG);
    if (found == nullptr) return nullptr;
    HGLOBAL loaded = ::LoadResource(module, found);
    if (loaded == nullptr) return nullptr;
    return static_cast<const DLGTEMPLATE*>(::LockResource(loaded));
}

// The owner of a modal dialog shown without a parent: the window the teacher was
// working in, that is the main window's last active pop-up (the main window itself,
// the log-in dialog over it, ...). The dialog disables it while it is up, so nothing
// behind a question can be pressed, and gives it back the activation afterwards.
HWND SafeOwner() {
    CWinApp* app = AfxGetApp();
    HWND main = app != nullptr && app->m_pMainWnd != nullptr ? app->m_pMainWnd->m_hWnd : nullptr;
    if (main == nullptr || !::IsWindow(main)) return nullptr;
    // Only a window of this thread: owning across threads would join their input and
    // let one thread's modal loop wait on the other's.
    if (::GetWindowThreadProcessId(main, nullptr) != ::GetCurrentThreadId()) return nullptr;
    while (main != nullptr && (::GetWindowLongW(main, GWL_STYLE) & WS_CHILD) != 0)
        main = ::GetParent(main);
    return main != nullptr ? ::GetLastActivePopup(main) : nullptr;
}
}  // namespace

INT_PTR CDialogEx::DoModal() {
    m_bModal = true;
    const DLGTEMPLATE* dialogTemplate = LoadTemplate(m_nIDTemplate);
    if (dialogTemplate == nullptr) return -1;
    HWND parent = m_pParentWnd != nullptr ? m_pParentWnd->m_hWnd : SafeOwner();
    INT_PTR result =
        ::DialogBoxIndirectParamW(AfxGetInstanceHandle(), dialogTemplate, parent,
                                  &CDialogEx::DialogProc, reinterpret_cast<LPARAM>(this));
    m_hWnd = nullptr;
    return result;
}

BOOL CDialogEx::Create(CWnd* parent) {
    m_bModal = false;
    if (parent != nullptr) m_pParentWnd = parent;
    HWND parentHwnd = m_pParentWnd != nullptr ? m_pParentWnd->m_hWnd : nullptr;
    const DLGTEMPLATE* dialogTemplate = LoadTemplate(m_nIDTemplate);
    if (dialogTemplate == nullptr) return FALSE;
    HWND hwnd =
        ::CreateDialogIndirectParamW(AfxGetInstanceHandle(), dialogTemplate, parentHwnd,
                                     &CDialogEx::DialogProc, reinterpret_cast<LPARAM>(this));
    return hwnd != nullptr;
}

void CDialogEx::EndDialog(INT_PTR result) {
    if (m_bModal) {
        ::EndDialog(m_hWnd, result);
    } else {
        DestroyWindow();
    }
}

BOOL CDialogEx::DestroyWindow() {
    if (m_hWnd == nullptr) return FALSE;
    HWND hwnd = m_hWnd;
    return ::DestroyWindow(hwnd);
}

BOOL CDialogEx::OnMessage(UINT, WPARAM, LPARAM, LRESULT&) { return FALSE; }

INT_PTR CALLBACK CDialogEx::DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    CDialogEx* self = nullptr;
    if (message == WM_INITDIALOG) {
        self = reinterpret_cast<CDialogEx*>(lParam);
        ::SetWindowLongPtrW(hwnd, DWLP_USER, reinterpret_cast<LONG_PTR>(self));
        self->m_hWnd = hwnd;
    } else {
        self = reinterpret_cast<CDialogEx*>(::GetWindowLongPtrW(hwnd, DWLP_USER));
    }
    if (self == nullptr) return FALSE;
    INT_PTR handled = self->Dispatch(message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        ::SetWindowLongPtrW(hwnd, DWLP_USER, 0);
        self->m_hWnd = nullptr;
    }
    return handled;
}

INT_PTR CDialogEx::Dispatch(UINT message, WPARAM wParam, LPARAM lParam) {
    LRESULT result = 0;
    if (OnMessage(message, wParam, lParam, result)) {
        // These few return their answer directly instead of through DWLP_MSGRESULT.
        const bool direct = (message >= WM_CTLCOLORMSGBOX && message <= WM_CTLCOLORSTATIC) ||
                            message == WM_COMPAREITEM || message == WM_VKEYTOITEM ||
                            message == WM_CHARTOITEM || message == WM_QUERYDRAGICON ||
                            message == WM_INITDIALOG;
        if (direct) return static_cast<INT_PTR>(result);
        ::SetWindowLongPtrW(m_hWnd, DWLP_MSGRESULT, result);
        return TRUE;
    }
    switch (message) {
        case WM_INITDIALOG:
            return OnInitDialog();
        case WM_COMMAND:
            if (HIWORD(wParam) == BN_CLICKED || lParam == 0) {
                if (LOWORD(wParam) == IDOK) {
                    OnOK();
                    return TRUE;
                }
                if (LOWORD(wParam) == IDCANCEL) {
                    OnCancel();
                    return TRUE;
                }
            }
            return FALSE;
        case WM_SYSCOMMAND:
            OnSysCommand(static_cast<UINT>(wParam), lParam);
            // Commands of our own are handled there; the system's go on to
            // DefDlgProc.
            return (wParam & 0xFFF0) < SC_SIZE ? TRUE : FALSE;
        default:
            return FALSE;
    }
}
