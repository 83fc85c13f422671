// CRegistry: one registry key and the few reads and writes the settings need. The
// object owns its key handle and closes it when it goes away.
#pragma once

#include "framework/Afx_win.h"

#include <cstdint>
#include <string>

class CRegistry {
  public:
    // Access asked for by OpenKey: everything, or query values, enumerate subkeys and
    // notify when the object is read-only.
    static constexpr REGSAM kFullAccess = KEY_ALL_ACCESS;
    static constexpr REGSAM kReadOnlyAccess = 0x19;
    // Buffer of ReadText in bytes; longer values read as the default.
    static constexpr DWORD kTextBufferBytes = 200;

    explicit CRegistry(HKEY root = HKEY_CURRENT_USER, int32_t readOnly = 0);
    virtual ~CRegistry();
    CRegistry(const CRegistry&) = delete;
    CRegistry& operator=(const CRegistry&) = delete;

    // Opens / creates `path` below the current key, which it then replaces. 1 on
    // success, 0 on failure (CreateKey also fails when read-only).
    int OpenKey(const wchar_t* path);
    int CreateKey(const wchar_t* path);

    // The value as text (at most kTextBufferBytes), or the default on any failure.
    std::wstring ReadText(const wchar_t* name, const wchar_t* defaultValue);
    // The whole text however long it is, or the default on any failure.
    std::wstring ReadLongText(const wchar_t* name, const wchar_t* defaultValue);
    // Writes a REG_SZ; 1 on success, 0 on failure or when read-only.
    int WriteText(const wchar_t* name, const wchar_t* text);
    // The 32-bit value, or the default on failure.
    DWORD ReadNumber(const wchar_t* name, DWORD defaultValue);
    // Writes a REG_DWORD; 1 on success, 0 on failure or when read-only.
    int WriteNumber(const wchar_t* name, DWORD value);
    // Deletes a value; 1 on success, 0 on failure or when read-only.
    int DeleteValue(const wchar_t* name);

    // Takes over a key opened elsewhere; the previous one is closed.
    void Attach(HKEY key);
    void Close();

    HKEY GetKey() const { return m_hKey; }
    int32_t IsReadOnly() const { return m_bReadOnly; }

    int32_t m_nLastStatus = ERROR_SUCCESS;  // result of the last registry call
    int32_t m_nLastType = REG_NONE;         // value type of the last read, REG_SZ after a write
    int32_t m_nLastSize = 0;                // bytes of the last read; characters + 1 after a write
    std::wstring m_strKeyPath;              // path last given to OpenKey

  private:
    void ReplaceKey(HKEY key);
    static std::wstring WithoutTrailingBackslash(const wchar_t* path);

    HKEY m_hKey;
    int32_t m_bReadOnly;
};
