// The feature commands of the panel and the rules that keep the modes apart.
#include "panel/PanelGeometry.h"
#include "panel/PanelModes.h"
#include "panel/TavrelDlg_win.h"
#include "protocol/PeerContract.h"
#include "protocol/TextCommand.h"
#include "protocol/Packet.h"
#include "remote/RemoteLauncher_win.h"
#include "screenup/ScreenUpLauncher_win.h"
#include "notetool/NoteThread_win.h"
#include "soundup/SoundUpLauncher_win.h"

#include "shell/ProgramMessages.h"
#include "shell/PumpMessages_win.h"
#include "widgets/ShowMessageBox_win.h"

#include <shellapi.h>
#include <shlobj.h>

namespace {

constexpr DWORD kRemotePauseMs = 2000;
constexpr DWORD kScreenUpPauseMs = 2000;
constexpr DWORD kTabTipRestartPauseMs = 500;
// How long a switch-on or a display change waits for the last capture thread to end.
constexpr DWORD kCaptureJoinMs = 3000;
// How long the dialog's end waits for the note thread.
constexpr DWORD kNoteThreadJoinMs = 5000;

constexpr wchar_t kOpenVerb[] = L"open";
constexpr wchar_t kTaskKill[] = L"taskkill";
constexpr wchar_t kTaskKillTabTip[] = L"/F /IM TabTip.exe";
constexpr wchar_t kTabTipName[] = L"tabtip.exe";

bool FileExists(const std::wstring& path) {
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

// Runs `open` with the 32-bit file-system redirection off, where Windows has it: the
// native keyboard of a 64-bit system lives in the real System32. Looked up by name, as
// 32-bit Windows has no redirection to switch.
void WithoutRedirection(void (*open)()) {
    using Disable = BOOL(WINAPI*)(PVOID*);
    using Revert = BOOL(WINAPI*)(PVOID);
    HMODULE kernel = ::GetModuleHandleW(L"kernel32.dll");
    auto disable = reinterpret_cast<Disable>(
        reinterpret_cast<void*>(::GetProcAddress(kernel, "Wow64DisableWow64FsRedirection")));
    auto revert = reinterpret_cast<Revert>(
        reinterpret_cast<void*>(::GetProcAddress(kernel, "Wow64RevertWow64FsRedirection")));
    PVOID state = nullptr;
    const bool disabled = disable != nullptr && revert != nullptr && disable(&state);
    open();
    if (disabled) revert(state);
}

}  // namespace

// ---------------------------------------------------------------- features

bool CTavrelDlg::StartRemoteViewer() {
    return m_pRemote &&
           m_pRemote->Start(m_hWnd, m_sockTeacher, m_pSession->TeacherLinked(), *m_pSession);
}

bool CTavrelDlg::StopRemoteViewer() {
    if (!m_pRemote) return false;
    m_pRemote->Stop();
    return true;
}

bool CTavrelDlg::StartScreenUp() {
    if (!m_pScreenUp) return false;
    // A thread of an earlier switch-on still finishing its cycle ends first, so that
    // only one thread ever sends.
    m_pScreenUp->WaitForThreads(kCaptureJoinMs, true);
    SendScreenUpParameters();
    m_pSession->ResetScreenUpWindow();
    OnSendPacket(MakeCommand(kCmdScreenUp, {kArgStart}));
    g_bScreenUp = true;
    if (!StartCaptureThread(0)) {
        // Nothing will come: the lectern PC is told so at once.
        g_bScreenUp = false;
        OnSendPacket(MakeCommand(kCmdScreenUp, {kArgStop}));
        return false;
    }
    return true;
}

bool CTavrelDlg::StopScreenUp() {
    OnSendPacket(MakeCommand(kCmdScreenUp, {kArgStop}));
    g_bScreenUp = false;
    if (m_pScreenUp) m_pScreenUp->Stop();
    return true;
}

bool CTavrelDlg::StartCaptureThread(uint32_t firstFrame) {
    return m_pScreenUp->Start(m_hWnd, g_bScreenUp, ::GetSystemMetrics(SM_CXSCREEN),
                              ::GetSystemMetrics(SM_CYSCREEN), firstFrame);
}

LRESULT CTavrelDlg::OnFramePacket(WPARAM wParam, LPARAM lParam) {
    const auto* frame = reinterpret_cast<const CPacket*>(wParam);
    // A frame finished after the switch-off, or by a thread that a newer one replaced,
    // stays on the pad.
    if (frame == nullptr || !g_bScreenUp || !m_pScreenUp ||
        !m_pScreenUp->IsCurrent(CScreenUpLauncher::GenerationOf(lParam))) {
        return 0;
    }
    return m_pSession->SendScreenUpFrame(*frame) ? 1 : 0;
}

void CTavrelDlg::SendScreenUpParameters() {
    const std::u16string width = DecimalText(::GetSystemMetrics(SM_CXSCREEN));
    const std::u16string height = DecimalText(::GetSystemMetrics(SM_CYSCREEN));
    OnSendPacket(
        MakeCommand(kCmdScreenUpParams, {width, height, kArgScreenUpFull, kArgScreenUpResize}));
}

void CTavrelDlg::RestartScreenUpForDisplay() {
    if (!g_bScreenUp || !m_pScreenUp) return;
    // The new grid needs a new thread; the frame numbers and the acknowledgement
    // window go on as they were.
    g_bScreenUp = false;
    m_pScreenUp->Stop();
    m_pScreenUp->WaitForThreads(kCaptureJoinMs, true);
    g_bScreenUp = true;
    if (!StartCaptureThread(m_pScreenUp->FrameCounter())) {
        g_bScreenUp = false;
        OnSendPacket(MakeCommand(kCmdScreenUp, {kArgStop}));
        m_btnScreenUp.SetCheck(BST_UNCHECKED);
        m_btnScreenUp.Invalidate(FALSE);
    }
}

bool CTavrelDlg::ToggleSoundUp() {
    if (!m_pSoundUp) return false;
    if (g_bSoundUp) {
        StopSoundUp();
        return true;
    }
    g_bSoundUp = true;
    OnSendPacket(MakeCommand(kCmdSoundUp, {kArgStart}));
    if (!m_pSoundUp->Start(m_hWnd, g_bSoundUp)) {
        // No playback device, or no thread: the lectern PC hears at once that nothing
        // will come, and the button stays up. No message: there is nothing the teacher
        // can do about it here.
        OnSendPacket(MakeCommand(kCmdSoundUp, {kArgStop}));
        g_bSoundUp = false;
        return false;
    }
    m_btnSoundUp.SetCheck(BST_CHECKED);
    m_btnSoundUp.Invalidate(FALSE);
    return true;
}

void CTavrelDlg::StopSoundUp() {
    g_bSoundUp = false;
    OnSendPacket(MakeCommand(kCmdSoundUp, {kArgStop}));
    m_pSoundUp->Stop();
    m_btnSoundUp.SetCheck(BST_UNCHECKED);
    m_btnSoundUp.Invalidate(FALSE);
}

LRESULT CTavrelDlg::OnSoundPacket(WPARAM wParam) {
    // The capture thread owns the packet; it is sent, or dropped while the connection
    // is not the panel's, and left to the thread.
    if (const auto* packet = reinterpret_cast<const CPacket*>(wParam))
        m_pSession->SendPacket(*packet);
    return 0;
}

void CTavrelDlg::OnSoundUpFailed(WPARAM generation) {
    // A capture that ended by itself leaves the button checked and the lectern PC
    // waiting for sound that never comes: it is switched off as if pressed.
    if (g_bSoundUp && m_pSoundUp && m_pSoundUp->IsCurrent(generation)) StopSoundUp();
}

bool CTavrelDlg::OpenNoteTool() {
    if (m_nNoteThreadId != 0) {
        // The palette comes back at its place (or the default one).
        if (HWND palette = NotePaletteWindow()) ::PostMessageW(palette, kWmNotePlaceAndShow, 0, 0);
        return true;
    }
    auto* thread = new CNoteThread(m_hWnd, &m_hNotePalette);
    if (!thread->CreateThread(CREATE_SUSPENDED)) {
        delete thread;
        return false;
    }
    // Kept before the thread runs: an auto-deleting thread object may be gone at once.
    m_nNoteThreadId = thread->m_nThreadID;
    m_hNoteThreadJoin = thread->DuplicateJoinHandle();
    thread->ResumeThread();
    return true;
}

void CTavrelDlg::EndNoteThread() {
    if (m_nNoteThreadId == 0) return;
    ::PostThreadMessageW(m_nNoteThreadId, kWmThreadClose, 0, 0);
    if (m_hNoteThreadJoin != nullptr) {
        // The note thread may be sending to this thread (hiding the panel for a
        // snapshot): those messages are served while waiting.
        const DWORD started = ::GetTickCount();
        for (;;) {
            MSG message;
            ::PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE);
            const DWORD elapsed = ::GetTickCount() - started;
            if (elapsed >= kNoteThreadJoinMs ||
                ::MsgWaitForMultipleObjectsEx(1, &m_hNoteThreadJoin, kNoteThreadJoinMs - elapsed,
                                              QS_SENDMESSAGE,
                                              MWMO_INPUTAVAILABLE) == WAIT_OBJECT_0) {
                break;
            }
        }
        ::CloseHandle(m_hNoteThreadJoin);
        m_hNoteThreadJoin = nullptr;
    }
    m_nNoteThreadId = 0;
}

// ---------------------------------------------------------------- commands

namespace {
tavrel::ModeState CurrentState(CTavrelDlg& dialog, bool socketOpen, HWND viewer) {
    tavrel::ModeState state;
    state.remoteRuns = dialog.m_info.m_pViewThread != nullptr;
    state.screenUpRuns = g_bScreenUp;
    state.teacherLinked = dialog.m_pSession->TeacherLinked();
    state.teacherSocketOpen = socketOpen;
    state.viewerWindowExists = viewer != nullptr;
    return state;
}
}  // namespace

void CTavrelDlg::ShowRefusal(unsigned text, unsigned secondText) {
    m_strMessage = AfxLoadString(text);
    if (secondText != 0) m_strMessage += L"\n" + AfxLoadString(secondText);
    ShowMessageBox(m_strMessage.c_str(), nullptr, MB_OK);
}

// Keeps a button out of use for a moment after its command, while the windows stay
// responsive; other commands may arrive meanwhile.
void CTavrelDlg::PauseButton(CImageButton& button, DWORD milliseconds) {
    button.EnableWindow(FALSE);
    PumpMessages(milliseconds);
    button.EnableWindow(TRUE);
    button.Invalidate(FALSE);
}

void CTavrelDlg::OnRemoteControlCommand() {
    const tavrel::ModeDecision decision =
        tavrel::DecideRemoteControl(CurrentState(*this, m_linkTeacher.IsOpen(), ViewerWindow()));
    switch (decision.action) {
        case tavrel::ModeAction::Refuse:
            ShowRefusal(decision.text, decision.secondText);
            return;
        case tavrel::ModeAction::Stop:
            if (!StopRemoteViewer()) return;
            m_btnRemote.EnableWindow(FALSE);
            m_btnRemote.SetCheck(BST_UNCHECKED);
            break;
        default:
            // A viewer that did not start leaves the button as it was.
            if (!StartRemoteViewer()) return;
            m_btnRemote.EnableWindow(FALSE);
            m_btnRemote.SetCheck(BST_CHECKED);
            // The viewer covers the screen: the note tool closes its page and palette.
            if (HWND palette = NotePaletteWindow())
                ::PostMessageW(palette, kWmNoteRemoteStarted, 0, 0);
            break;
    }
    PumpMessages(kRemotePauseMs);
    m_btnRemote.EnableWindow(TRUE);
    m_btnRemote.Invalidate(FALSE);
    m_btnMonitor.Invalidate(FALSE);
}

void CTavrelDlg::OnTouchKeyboardCommand() {
    const tavrel::ModeDecision decision =
        tavrel::DecideTouchKeyboard(CurrentState(*this, false, nullptr));
    if (decision.action == tavrel::ModeAction::Refuse) {
        ShowRefusal(decision.text, decision.secondText);
        return;
    }
    RunTouchKeyboard();
}

void CTavrelDlg::RunTouchKeyboard() {
    wchar_t programFiles[MAX_PATH] = {};
    ::SHGetSpecialFolderPathW(nullptr, programFiles, CSIDL_PROGRAM_FILES, FALSE);
    const std::wstring path = AfxToWide(tavrel::TabTipPath(AfxToU16(std::wstring(programFiles))));
    if (FileExists(path)) {
        // A keyboard left over from before does not come up again: end it first.
        ::ShellExecuteW(nullptr, kOpenVerb, kTaskKill, kTaskKillTabTip, nullptr, SW_HIDE);
        ::Sleep(kTabTipRestartPauseMs);
        ::ShellExecuteW(nullptr, kOpenVerb, path.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
        return;
    }
    WithoutRedirection(
        [] { ::ShellExecuteW(nullptr, kOpenVerb, kTabTipName, nullptr, nullptr, SW_SHOWNORMAL); });
}

void CTavrelDlg::OnScreenUpCommand() {
    const tavrel::ModeDecision decision =
        tavrel::DecideScreenUp(CurrentState(*this, false, nullptr));
    switch (decision.action) {
        case tavrel::ModeAction::Refuse:
            ShowRefusal(decision.text, decision.secondText);
            return;
        case tavrel::ModeAction::Stop:
            if (!StopScreenUp()) return;
            m_btnScreenUp.SetCheck(BST_UNCHECKED);
            break;
        default:
            if (!StartScreenUp()) return;
            m_btnScreenUp.SetCheck(BST_CHECKED);
            break;
    }
    PauseButton(m_btnScreenUp, kScreenUpPauseMs);
}

void CTavrelDlg::OnSoundUpCommand() { ToggleSoundUp(); }

void CTavrelDlg::OnNoteToolCommand() { OpenNoteTool(); }

void CTavrelDlg::OnMonitorCommand() {
    HWND viewer = ViewerWindow();
    const tavrel::ModeDecision decision =
        tavrel::DecideMonitorChange(CurrentState(*this, false, viewer));
    if (decision.action == tavrel::ModeAction::Refuse) {
        ShowRefusal(decision.text, decision.secondText);
        return;
    }
    if (decision.action == tavrel::ModeAction::Run) {
        ::PostMessageW(viewer, kWmChangeMonitor, kNoticeMarker,
                       static_cast<LPARAM>(m_info.m_nMonitor));
    }
}

// ---------------------------------------------------------------- student pad switches

void CTavrelDlg::OnPadSwitchCommand(int buttonId) {
    const tavrel::PadSwitch which = buttonId == tavrel::kIdStudentTouch
                                        ? tavrel::PadSwitch::StudentTouch
                                        : tavrel::PadSwitch::Broadcast;
    CImageButton& button = buttonId == tavrel::kIdStudentTouch ? m_btnStudentTouch : m_btnBroadcast;
    const tavrel::SwitchPlan plan =
        tavrel::PlanSwitch(which, button.GetCheck() == BST_CHECKED, m_info.m_strPeerVersion);
    // Older lectern programs never report the new state, so the button shows it at once;
    // newer ones confirm it and the button follows their report.
    if (plan.setCheckNow) button.SetCheck(plan.newCheck ? BST_CHECKED : BST_UNCHECKED);
    // While remote control holds the connection, the session sends through it.
    m_pSession->SendPanelCommand(plan.text);
    PauseButton(button, tavrel::SwitchPauseMs(which));
}
