; The setup program of Vantor Tavrel: installs the teacher's program, its updater and
; the English language module, writes config.ini with the address of the school's
; log-in (and update) web server, makes the shortcuts and registers the uninstaller.
; docs/setup.md is the design record; installer/make-setup builds it.
;
;   makensis /INPUTCHARSET UTF8 /DVERSION=3.0.1.1004 /DBINDIR=<build>/bin
;            /DOUTFILE=<setup.exe> installer/VantorTavrel.nsi
;
; Switches of the setup program:
;   /S                          silent: no pages; an address must then be given
;   /LOGINHTTPS=https://host:port   /LOGINHTTP=http://host:port
;   /D=<folder>                 another install folder (last, unquoted, as NSIS wants)
; Exit codes: 0 installed, 1 cancelled or failed, 2 a bad or missing address (silent).

Unicode true
ManifestDPIAware true
RequestExecutionLevel admin
SetCompressor /SOLID lzma

!ifndef VERSION
  !error "VERSION is not defined (installer/make-setup reads it from src/resources/Version.h)"
!endif
!ifndef BINDIR
  !error "BINDIR is not defined: the folder of the built programs"
!endif
!ifndef OUTFILE
  !define OUTFILE "VantorTavrel-${VERSION}-setup.exe"
!endif

!define PRODUCT "Vantor Tavrel"
!define PUBLISHER "Vantor Login"
!define MAIN_EXE "Vantor Tavrel.exe"
!define UPDATER_EXE "VTUpdaterT.exe"
!define LANG_DLL "Vantor TavrelEng.dll"
!define UNINSTALLER "uninstall.exe"
!define UNINST_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Vantor Tavrel"
; The program's own settings key: never written or removed here, only named so that
; nobody adds it to the uninstaller by mistake.
!define SETTINGS_KEY "Software\Vantor Login\Vantor Tavrel\config"

!include "MUI2.nsh"
!include "FileFunc.nsh"
!include "WordFunc.nsh"
!include "LogicLib.nsh"
!include "nsDialogs.nsh"

Name "${PRODUCT}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES\${PRODUCT}"
BrandingText "${PRODUCT} ${VERSION}"
ShowInstDetails show
ShowUninstDetails show

VIProductVersion "${VERSION}"
VIFileVersion "${VERSION}"
VIAddVersionKey /LANG=0 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=0 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=0 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=0 "FileDescription" "${PRODUCT} Setup"
VIAddVersionKey /LANG=0 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=0 "LegalCopyright" "${PUBLISHER}"

Var ServerHttps
Var ServerHttp
Var HttpsField
Var HttpField

!define MUI_ABORTWARNING
!define MUI_FINISHPAGE_RUN "$INSTDIR\${UPDATER_EXE}"
!define MUI_FINISHPAGE_RUN_NOTCHECKED

!insertmacro MUI_PAGE_DIRECTORY
Page custom ServerPageCreate ServerPageLeave
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH

!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES

; Korean first: it is the default when the user's language is neither.
!insertmacro MUI_LANGUAGE "Korean"
!insertmacro MUI_LANGUAGE "English"

LangString ServerTitle ${LANG_KOREAN} "로그인 서버"
LangString ServerTitle ${LANG_ENGLISH} "Log-in server"
LangString ServerSubtitle ${LANG_KOREAN} "학교의 로그인(업데이트) 웹 서버 주소를 입력하세요."
LangString ServerSubtitle ${LANG_ENGLISH} "Enter the address of the school's log-in (update) web server."
LangString ServerHttpsLabel ${LANG_KOREAN} "HTTPS 주소 (예: https://10.0.0.5:8443)"
LangString ServerHttpsLabel ${LANG_ENGLISH} "HTTPS address (for example https://10.0.0.5:8443)"
LangString ServerHttpLabel ${LANG_KOREAN} "HTTP 주소 (예: http://10.0.0.5:8080, 비워 두면 HTTPS 주소에서 만듭니다)"
LangString ServerHttpLabel ${LANG_ENGLISH} "HTTP address (for example http://10.0.0.5:8080; empty: made from the HTTPS one)"
LangString ServerMissing ${LANG_KOREAN} "로그인 서버 주소를 하나 이상 입력하세요."
LangString ServerMissing ${LANG_ENGLISH} "Enter at least one address of the log-in server."
LangString ServerBadHttps ${LANG_KOREAN} "HTTPS 주소는 https://로 시작해야 합니다."
LangString ServerBadHttps ${LANG_ENGLISH} "The HTTPS address must begin with https://."
LangString ServerBadHttp ${LANG_KOREAN} "HTTP 주소는 http://로 시작해야 합니다."
LangString ServerBadHttp ${LANG_ENGLISH} "The HTTP address must begin with http://."
LangString ConfigFailed ${LANG_KOREAN} "config.ini를 쓸 수 없습니다."
LangString ConfigFailed ${LANG_ENGLISH} "config.ini could not be written."

; $0: the address, $1: its scheme with "://". Leaves 1 on the stack when the address is
; usable (that scheme, a host after it, no blank or quote that would break the INI line
; or the URL), else 0.
Function CheckAddress
  Exch $1
  Exch
  Exch $0
  Push $2
  Push $3
  Push $4
  StrLen $2 $1
  StrCpy $3 $0 $2
  StrCpy $4 0
  ${If} $3 == $1
    StrCpy $3 $0 1 $2
    ${If} $3 != ""
    ${AndIf} $3 != "/"
    ${AndIf} $3 != ":"
      StrCpy $4 1
    ${EndIf}
  ${EndIf}
  ; Nothing that a URL cannot hold unescaped.
  StrLen $2 $0
  StrCpy $3 0
  ${DoWhile} $3 < $2
    ${If} $4 != 1
      ${ExitDo}
    ${EndIf}
    StrCpy $1 $0 1 $3
    ${If} $1 == " "
    ${OrIf} $1 == '"'
    ${OrIf} $1 == "$\t"
    ${OrIf} $1 == ";"
    ${OrIf} $1 == "$\r"
    ${OrIf} $1 == "$\n"
      StrCpy $4 0
    ${EndIf}
    IntOp $3 $3 + 1
  ${Loop}
  StrCpy $0 $4
  Pop $4
  Pop $3
  Pop $2
  ; The stack holds the caller's $0 above its $1.
  Exch
  Pop $1
  Exch $0
FunctionEnd

!macro CheckAddress address scheme result
  Push "${address}"
  Push "${scheme}"
  Call CheckAddress
  Pop ${result}
!macroend

; "" when the addresses are usable, else the message that says why.
Function ValidateServer
  Push $0
  StrCpy $0 ""
  ${If} $ServerHttps == ""
  ${AndIf} $ServerHttp == ""
    StrCpy $0 "$(ServerMissing)"
  ${EndIf}
  ${If} $0 == ""
  ${AndIf} $ServerHttps != ""
    !insertmacro CheckAddress $ServerHttps "https://" $0
    ${If} $0 == 1
      StrCpy $0 ""
    ${Else}
      StrCpy $0 "$(ServerBadHttps)"
    ${EndIf}
  ${EndIf}
  ${If} $0 == ""
  ${AndIf} $ServerHttp != ""
    !insertmacro CheckAddress $ServerHttp "http://" $0
    ${If} $0 == 1
      StrCpy $0 ""
    ${Else}
      StrCpy $0 "$(ServerBadHttp)"
    ${EndIf}
  ${EndIf}
  Exch $0
FunctionEnd

Function .onInit
  ${GetParameters} $R0
  ; GetOptions ends a value at the next character that starts a switch, and the
  ; addresses are full of "/". A switch starts only after a blank, so those slashes
  ; are changed to a character no URL holds unescaped before asking.
  ${WordReplace} " $R0" " /" " |" "+" $R0
  ClearErrors
  ${GetOptions} $R0 "|LOGINHTTPS=" $ServerHttps
  ClearErrors
  ${GetOptions} $R0 "|LOGINHTTP=" $ServerHttp
  ClearErrors
  ; An installation that is already there keeps its address unless a new one is given.
  ReadRegStr $R1 HKLM "${UNINST_KEY}" "InstallLocation"
  ${If} $R1 != ""
  ${AndIf} ${FileExists} "$R1\${MAIN_EXE}"
    StrCpy $INSTDIR $R1
  ${EndIf}
  ${If} $ServerHttps == ""
  ${AndIf} $ServerHttp == ""
  ${AndIf} ${FileExists} "$INSTDIR\config.ini"
    ReadINIStr $ServerHttps "$INSTDIR\config.ini" "default" "loginhttps"
    ReadINIStr $ServerHttp "$INSTDIR\config.ini" "default" "loginhttp"
    ClearErrors
  ${EndIf}
  ; A silent install has nobody to ask: without a usable address it stops before
  ; anything is written, rather than leave thirty pads pointing nowhere.
  ${If} ${Silent}
    Call ValidateServer
    Pop $R2
    ${If} $R2 != ""
      SetErrorLevel 2
      Quit
    ${EndIf}
  ${EndIf}
FunctionEnd

Function ServerPageCreate
  !insertmacro MUI_HEADER_TEXT "$(ServerTitle)" "$(ServerSubtitle)"
  nsDialogs::Create 1018
  Pop $0
  ${If} $0 == error
    Abort
  ${EndIf}
  ${NSD_CreateLabel} 0 0 100% 12u "$(ServerHttpsLabel)"
  Pop $0
  ${NSD_CreateText} 0 14u 100% 12u "$ServerHttps"
  Pop $HttpsField
  ${NSD_CreateLabel} 0 36u 100% 12u "$(ServerHttpLabel)"
  Pop $0
  ${NSD_CreateText} 0 50u 100% 12u "$ServerHttp"
  Pop $HttpField
  ; Whoever installs by hand came to type the address.
  ${NSD_SetFocus} $HttpsField
  nsDialogs::Show
FunctionEnd

Function ServerPageLeave
  ${NSD_GetText} $HttpsField $ServerHttps
  ${NSD_GetText} $HttpField $ServerHttp
  Call ValidateServer
  Pop $0
  ${If} $0 != ""
    MessageBox MB_OK|MB_ICONEXCLAMATION "$0"
    Abort
  ${EndIf}
FunctionEnd

; The main program reads config.ini as UTF-16LE with a byte-order mark and converts
; any other encoding (keeping a dated backup), so a new file is written in that
; encoding at once. An existing file keeps its other keys (scalefactor); the profile
; functions keep its encoding.
Function WriteConfig
  ${If} ${FileExists} "$INSTDIR\config.ini"
    ; Deleting a key that is not there counts as an error: only the writes count.
    ${If} $ServerHttps == ""
      DeleteINIStr "$INSTDIR\config.ini" "default" "loginhttps"
    ${EndIf}
    ${If} $ServerHttp == ""
      DeleteINIStr "$INSTDIR\config.ini" "default" "loginhttp"
    ${EndIf}
    ClearErrors
    ${If} $ServerHttps != ""
      WriteINIStr "$INSTDIR\config.ini" "default" "loginhttps" $ServerHttps
    ${EndIf}
    ${If} $ServerHttp != ""
      WriteINIStr "$INSTDIR\config.ini" "default" "loginhttp" $ServerHttp
    ${EndIf}
    FlushINI "$INSTDIR\config.ini"
    ; Wine's profile functions report failures of writes that took place: what counts
    ; is what the file holds now.
    ClearErrors
    ${If} $ServerHttps != ""
      ReadINIStr $0 "$INSTDIR\config.ini" "default" "loginhttps"
      ${IfNot} $0 S== $ServerHttps
        SetErrors
      ${EndIf}
    ${EndIf}
    ${If} $ServerHttp != ""
      ReadINIStr $0 "$INSTDIR\config.ini" "default" "loginhttp"
      ${IfNot} $0 S== $ServerHttp
        SetErrors
      ${EndIf}
    ${EndIf}
    Return
  ${EndIf}
  ClearErrors
  FileOpen $0 "$INSTDIR\config.ini" w
  ${If} ${Errors}
    DetailPrint "$(ConfigFailed)"
    SetErrors
    Return
  ${EndIf}
  FileWriteWord $0 0xFEFF
  FileWriteUTF16LE $0 "[default]$\r$\n"
  ${If} $ServerHttps != ""
    FileWriteUTF16LE $0 "loginhttps=$ServerHttps$\r$\n"
  ${EndIf}
  ${If} $ServerHttp != ""
    FileWriteUTF16LE $0 "loginhttp=$ServerHttp$\r$\n"
  ${EndIf}
  FileClose $0
FunctionEnd

Section "Vantor Tavrel" SecMain
  SectionIn RO
  SetOutPath "$INSTDIR"
  File "${BINDIR}\${MAIN_EXE}"
  File "${BINDIR}\${UPDATER_EXE}"
  SetOutPath "$INSTDIR\language"
  File "${BINDIR}\language\${LANG_DLL}"
  SetOutPath "$INSTDIR"

  Call WriteConfig
  ${If} ${Errors}
    Abort "$(ConfigFailed)"
  ${EndIf}

  ; Both programs write beside themselves as the teacher, who is not an administrator of
  ; the pad: the updater stages and installs new files here, the program keeps
  ; setting.ini here. So the pad's users may change this folder (BUILTIN\Users by its
  ; SID, whatever the language of Windows). A failure here is not fatal: updates then
  ; fail with the updater's own "cannot save" message and the program still starts.
  nsExec::Exec '"$SYSDIR\icacls.exe" "$INSTDIR" /grant *S-1-5-32-545:(OI)(CI)M /T /Q'
  Pop $0

  ; The shortcuts start the updater: it brings the installation up to date and then
  ; starts the program, as every start of the program on a pad should.
  SetShellVarContext all
  CreateDirectory "$SMPROGRAMS\${PRODUCT}"
  CreateShortcut "$SMPROGRAMS\${PRODUCT}\${PRODUCT}.lnk" "$INSTDIR\${UPDATER_EXE}" "" \
    "$INSTDIR\${MAIN_EXE}" 0
  CreateShortcut "$DESKTOP\${PRODUCT}.lnk" "$INSTDIR\${UPDATER_EXE}" "" "$INSTDIR\${MAIN_EXE}" 0

  WriteUninstaller "$INSTDIR\${UNINSTALLER}"
  WriteRegStr HKLM "${UNINST_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKLM "${UNINST_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINST_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKLM "${UNINST_KEY}" "UninstallString" '"$INSTDIR\${UNINSTALLER}"'
  WriteRegStr HKLM "${UNINST_KEY}" "QuietUninstallString" '"$INSTDIR\${UNINSTALLER}" /S'
  WriteRegStr HKLM "${UNINST_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINST_KEY}" "DisplayIcon" "$INSTDIR\${MAIN_EXE},0"
  WriteRegDWORD HKLM "${UNINST_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINST_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  IntFmt $0 "0x%08X" $0
  WriteRegDWORD HKLM "${UNINST_KEY}" "EstimatedSize" $0
SectionEnd

Function un.onInit
  !insertmacro MUI_UNGETLANGUAGE
FunctionEnd

; Exactly what setup put there. The teacher's settings (setting.ini beside the
; program, ${SETTINGS_KEY}) and saved notes (Desktop\NoteSave) stay, and so does
; anything the updater left (backups, staged files): the folder goes only when empty.
Section "Uninstall"
  Delete "$INSTDIR\${MAIN_EXE}"
  Delete "$INSTDIR\${UPDATER_EXE}"
  Delete "$INSTDIR\language\${LANG_DLL}"
  Delete "$INSTDIR\config.ini"
  Delete "$INSTDIR\${UNINSTALLER}"
  RMDir "$INSTDIR\language"
  RMDir "$INSTDIR"

  SetShellVarContext all
  Delete "$SMPROGRAMS\${PRODUCT}\${PRODUCT}.lnk"
  RMDir "$SMPROGRAMS\${PRODUCT}"
  Delete "$DESKTOP\${PRODUCT}.lnk"

  DeleteRegKey HKLM "${UNINST_KEY}"
SectionEnd
