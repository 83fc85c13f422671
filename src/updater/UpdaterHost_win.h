// The updater's host on Windows: web requests through the shared WinINet client, the
// file system, version resources, the process list and the shell. The dialog supplies
// the three things that need its window (the log, hiding, quitting).
#pragma once

#include "framework/Afx_win.h"
#include "updater/UpdateEngine.h"

#include <functional>
#include <string>

// The version-resource, size and process queries the updater's decisions rest on. Their
// fallbacks are compared as text, so they are exact.
// FileVersion of the running executable: "1.0.0.0" without version information or a
// translation entry, "Unable to get Version Info" without a FileVersion string.
std::wstring OwnFileVersion();
// FileVersion of a file: "" when it is missing or has no version information or no
// translation entry, "Unable to get Version Info" without a FileVersion string.
std::wstring FileVersionText(const std::wstring& path);
// The version text of already-read version information; `noInfo` when it has no
// translation entry. Every read is bounded by the lengths the queries return.
std::wstring VersionTextOfBlock(const void* block, const std::wstring& noInfo);
// Size of a file opened with no sharing at all: 0 when it is missing or anyone holds it
// open. The low 32 bits.
uint32_t FileSizeOf(const std::wstring& path);
// Whether a process of this executable name runs, ignoring letter case.
bool IsProcessRunning(const std::wstring& exeName);

// The language the updater works in: the console user's settings key when there is a
// console user, else the current user's key of the main program, else "Kor".
std::wstring ReadUpdaterLanguage(const std::wstring& consoleSid);

// Where the update web server is and whether plain HTTP may follow a failed HTTPS
// request: config.ini beside the program ("loginhttps", "loginhttp", and
// "updatehttpfallback", 1 unless it is "0").
struct UpdateServerConfig {
    std::wstring httpsBase;
    std::wstring httpBase;
    bool allowHttpFallback = true;
};
UpdateServerConfig ReadUpdateServerConfig(const std::wstring& programDirectory);

class CWinUpdaterHost : public tavrel::IUpdaterHost {
  public:
    struct Window {
        std::function<void(int level, int id, const std::u16string& argument)> log;
        std::function<void()> hide;
        std::function<void()> quit;
    };
    explicit CWinUpdaterHost(Window window);

    HttpReply Request(const std::u16string& url, const std::u16string& formText,
                      size_t maxBodyBytes) override;
    std::u16string ServerBase(bool https) override;
    bool AllowPlainHttpFallback() override;
    std::u16string DecodeAnsi(const std::string& bytes) override;
    uint32_t TickCount() override;
    bool LocalDate(int& year, int& month, int& day) override;
    std::u16string ProgramDirectory() override;
    std::u16string OwnFileVersion() override;
    std::u16string FileVersionText(const std::u16string& path) override;
    uint32_t FileSizeOf(const std::u16string& path) override;
    bool FileExists(const std::u16string& path) override;
    bool MoveFile(const std::u16string& from, const std::u16string& to) override;
    bool ReplaceFile(const std::u16string& from, const std::u16string& to) override;
    bool DeleteFile(const std::u16string& path) override;
    void CreateFolderChain(const std::u16string& folder) override;
    WriteResult WriteNewFile(const std::u16string& path, const std::string& bytes) override;
    bool ToAnsi(const std::u16string& text, std::string& bytes) override;
    std::u16string ShortPath(const std::u16string& path) override;
    bool IsProcessRunning(const std::u16string& exeName) override;
    void OpenProgram(const std::u16string& path) override;
    void OpenBatchHidden(const std::u16string& path) override;
    void Log(int level, int id, const std::u16string& argument) override;
    void HideWindow() override;
    void Quit() override;

  private:
    Window m_window;
    std::wstring m_strProgramDirectory;
    UpdateServerConfig m_config;
};
