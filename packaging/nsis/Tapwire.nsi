; Tapwire's setup package: Tapwire.exe, the two manuals and the driver
; installer with its Drivers and logs folders, in one folder of the user's
; choice, per user (the default) or for all users of the machine.
;
; The build passes the files in by defines (packaging/CMakeLists.txt):
;   TAPWIRE_EXE       the Tapwire.exe to ship
;   MANUAL_EN         Tapwire_Manual_EN_V2.2.chm
;   MANUAL_CN         Tapwire_Manual_CN_V2.2.chm
;   DRIVER_DIST       the driver installer's laid-out folder: ostra_driver_setup.exe
;                     and Drivers\ with the vendor INF and the READMEs
;   TAPWIRE_ICON      the program's icon, for the package and its uninstaller
;   OUTFILE           the package to write
;   TAPWIRE_X64       (optional) a 64-bit package for the x86_64 build
;
; Command line of the package:
;   /S                   silent
;   /D=<folder>          the installation folder (last, unquoted, blanks allowed)
;   /CurrentUser, /AllUsers   per user (default) or per machine
; of Uninstall.exe:
;   /S                   silent; Config.ini stays
;   /REMOVECONFIG        remove Config.ini as well (the box on the components page)

!ifdef TAPWIRE_X64
  Target amd64-unicode
!else
  Unicode true
!endif
SetCompressor /SOLID lzma
ManifestDPIAware true

!define PRODUCT "Tapwire"
!define /ifndef VERSION "2.5.9"
!define PUBLISHER "Pelk"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\${PRODUCT}"
!define TAPWIRE_KEY "SOFTWARE\TAPWIRE"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"
!define DRIVER_LOG "Pelk_Ostra_Driver_NoSign_Log.txt"

Name "${PRODUCT}"
OutFile "${OUTFILE}"
BrandingText "${PRODUCT} V${VERSION} JP"
; No InstallDir: the install mode picks the default folder, and a folder
; given with /D= must survive that (see .onInit).

VIProductVersion "${VERSION}.0"
VIAddVersionKey /LANG=0 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=0 "ProductVersion" "V${VERSION} JP"
VIAddVersionKey /LANG=0 "FileVersion" "${VERSION}.0"
VIAddVersionKey /LANG=0 "FileDescription" "${PRODUCT} Setup"
VIAddVersionKey /LANG=0 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=0 "LegalCopyright" "Copyright (C) 2019-2026 ${PUBLISHER}"

; --- install mode ----------------------------------------------------------
; Per user by default: Tapwire writes Config.ini into its own folder, which a
; user can always do under his own profile.
!define MULTIUSER_EXECUTIONLEVEL Highest
!define MULTIUSER_INSTALLMODE_DEFAULT_CURRENTUSER
!define MULTIUSER_INSTALLMODE_COMMANDLINE
!define MULTIUSER_INSTALLMODE_INSTDIR "${PRODUCT}"
!ifdef TAPWIRE_X64
  !define MULTIUSER_USE_PROGRAMFILES64
!endif
!define MULTIUSER_MUI
!include MultiUser.nsh
!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh
!include Sections.nsh
!include x64.nsh

; --- pages -----------------------------------------------------------------
!define MUI_ICON "${TAPWIRE_ICON}"
!define MUI_UNICON "${TAPWIRE_ICON}"
!define MUI_ABORTWARNING

!insertmacro MUI_PAGE_WELCOME
!insertmacro MULTIUSER_PAGE_INSTALLMODE
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
; The offer to install the scanner's driver: the driver installer asks for
; administrator rights itself.
!define MUI_FINISHPAGE_RUN
!define MUI_FINISHPAGE_RUN_TEXT "$(RunDriverSetup)"
!define MUI_FINISHPAGE_RUN_FUNCTION RunDriverSetup
!define MUI_FINISHPAGE_NOAUTOCLOSE
!insertmacro MUI_PAGE_FINISH

!insertmacro MUI_UNPAGE_CONFIRM
!define MUI_COMPONENTSPAGE_NODESC
!insertmacro MUI_UNPAGE_COMPONENTS
!insertmacro MUI_UNPAGE_INSTFILES

; The package speaks the system's interface language when it has it.
!insertmacro MUI_LANGUAGE "English"
!insertmacro MUI_LANGUAGE "Japanese"
!insertmacro MUI_LANGUAGE "SimpChinese"

LangString RunDriverSetup ${LANG_ENGLISH} "Install the scanner's USB driver now (administrator rights)"
LangString RunDriverSetup ${LANG_JAPANESE} "スキャナーの USB ドライバーを今すぐインストールする（管理者権限）"
LangString RunDriverSetup ${LANG_SIMPCHINESE} "立即安装扫描枪的 USB 驱动（需要管理员权限）"
LangString TapwireRunning ${LANG_ENGLISH} "Tapwire is running. Close it (its close box, or 閉じる in the menu of its tray icon) and press Retry."
LangString TapwireRunning ${LANG_JAPANESE} "Tapwire が実行中です。Tapwire を閉じてから［再試行］を押してください。"
LangString TapwireRunning ${LANG_SIMPCHINESE} "Tapwire 正在运行。请先退出 Tapwire，然后点击“重试”。"
LangString UnProgram ${LANG_ENGLISH} "Tapwire, its manuals and the driver installer"
LangString UnProgram ${LANG_JAPANESE} "Tapwire、マニュアル、ドライバーインストーラー"
LangString UnProgram ${LANG_SIMPCHINESE} "Tapwire、说明书和驱动安装程序"
LangString UnSettings ${LANG_ENGLISH} "My settings (Config.ini)"
LangString UnSettings ${LANG_JAPANESE} "設定ファイル (Config.ini)"
LangString UnSettings ${LANG_SIMPCHINESE} "我的设置 (Config.ini)"

; --- shared ----------------------------------------------------------------

; Tapwire holds the named mutex "TapwireMutex" while it runs; its files cannot
; be replaced or removed then. Asks the user to close it; a silent run, or
; Cancel, ends the package with exit code 2.
!macro WAIT_FOR_TAPWIRE_CLOSED
  ${Do}
    System::Call 'kernel32::OpenMutexW(i 0x00100000, i 0, w "TapwireMutex") p.r0'
    ${If} $0 P= 0
      ${Break}
    ${EndIf}
    System::Call 'kernel32::CloseHandle(p r0)'
    ; Retry goes on with the loop's next round.
    MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "$(TapwireRunning)" /SD IDCANCEL IDRETRY +3
    SetErrorLevel 2
    Quit
  ${Loop}
!macroend

; --- installer -------------------------------------------------------------

Function .onInit
  ; /D= sets $INSTDIR before this runs; the install mode would overwrite it.
  StrCpy $R9 $INSTDIR
  !insertmacro MULTIUSER_INIT
  ${If} $R9 != ""
    StrCpy $INSTDIR $R9
  ${EndIf}
  !insertmacro WAIT_FOR_TAPWIRE_CLOSED
FunctionEnd

Function RunDriverSetup
  ; ShellExecute, so that the installer's manifest gets its elevation.
  SetOutPath "$INSTDIR"
  ExecShell "runas" "$INSTDIR\ostra_driver_setup.exe"
FunctionEnd

!macro DRIVER_FOLDER FOLDER SOURCE
  SetOutPath "$INSTDIR\Drivers\${FOLDER}"
  File "${DRIVER_DIST}/Drivers/${SOURCE}/README.txt"
!macroend

Section "Tapwire" SecProgram
  SectionIn RO
  SetOutPath "$INSTDIR"
  File "/oname=Tapwire.exe" "${TAPWIRE_EXE}"
  File "/oname=Tapwire_Manual_EN_V2.2.chm" "${MANUAL_EN}"
  File "/oname=Tapwire_Manual_CN_V2.2.chm" "${MANUAL_CN}"
  File "${DRIVER_DIST}/ostra_driver_setup.exe"

  ; Listed one by one: the per-version folders take the system's own
  ; mdmcpq.inf and usbser.sys from the distributor, never from this package.
  SetOutPath "$INSTDIR\Drivers"
  File "${DRIVER_DIST}/Drivers/Pelk_UsbToUartDriver_NoSign.inf"
  File "${DRIVER_DIST}/Drivers/README.txt"
  !insertmacro DRIVER_FOLDER "xp" "xp"
  !insertmacro DRIVER_FOLDER "win7_32bit" "win7_32bit"
  !insertmacro DRIVER_FOLDER "win7_64bit\32bits" "win7_64bit/32bits"
  !insertmacro DRIVER_FOLDER "win7_64bit\64bits" "win7_64bit/64bits"
  !insertmacro DRIVER_FOLDER "win8_64bit" "win8_64bit"
  !insertmacro DRIVER_FOLDER "win10" "win10"
  ; The driver installer does nothing without its logs folder.
  CreateDirectory "$INSTDIR\logs"
  SetOutPath "$INSTDIR"

  ; Per machine, every user's Tapwire writes the one Config.ini in the
  ; program folder: let users change that file (and only that file).
  ${If} $MultiUser.InstallMode == "AllUsers"
    ${IfNot} ${FileExists} "$INSTDIR\Config.ini"
      FileOpen $0 "$INSTDIR\Config.ini" w
      FileClose $0
    ${EndIf}
    nsExec::Exec '"$SYSDIR\icacls.exe" "$INSTDIR\Config.ini" /grant *S-1-5-32-545:M'
    Pop $0
  ${EndIf}

  ; Tapwire looks for Config.ini and its manuals in this folder; the value
  ; has no trailing backslash.
  StrCpy $0 $INSTDIR
  ${Do}
    StrCpy $1 $0 1 -1
    ${If} $1 != "\"
      ${Break}
    ${EndIf}
    StrCpy $0 $0 -1
  ${Loop}
  WriteRegStr HKCU "${TAPWIRE_KEY}" "InstallPath" $0

  CreateShortcut "$SMPROGRAMS\${PRODUCT}.lnk" "$INSTDIR\Tapwire.exe"

  WriteUninstaller "$INSTDIR\Uninstall.exe"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayVersion" "V${VERSION} JP"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\Tapwire.exe"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe" /$MultiUser.InstallMode'
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /$MultiUser.InstallMode /S'
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

; --- uninstaller -----------------------------------------------------------

Section "un.$(UnProgram)" SecUnProgram
  SectionIn RO
  ; The registry first, the uninstaller itself last: whoever waits for the
  ; end of a silent uninstall watches Uninstall.exe go.
  DeleteRegValue HKCU "${TAPWIRE_KEY}" "InstallPath"
  DeleteRegKey /ifempty HKCU "${TAPWIRE_KEY}"
  DeleteRegValue HKCU "${RUN_KEY}" "TapwirePath"
  !ifndef TAPWIRE_X64
  ${If} ${RunningX64}
    ; Tapwire registers itself in the 64-bit view when it runs under WOW64.
    SetRegView 64
    DeleteRegValue HKCU "${RUN_KEY}" "TapwirePath"
    SetRegView lastused
  ${EndIf}
  !endif
  DeleteRegKey SHCTX "${UNINSTALL_KEY}"

  Delete "$SMPROGRAMS\${PRODUCT}.lnk"

  Delete "$INSTDIR\Tapwire.exe"
  Delete "$INSTDIR\Tapwire_Manual_EN_V2.2.chm"
  Delete "$INSTDIR\Tapwire_Manual_CN_V2.2.chm"
  Delete "$INSTDIR\ostra_driver_setup.exe"
  RMDir /r "$INSTDIR\Drivers"
  Delete "$INSTDIR\logs\${DRIVER_LOG}"
  RMDir "$INSTDIR\logs"
SectionEnd

; Off unless chosen (or /REMOVECONFIG): the user's settings stay by default.
Section /o "un.$(UnSettings)" SecUnSettings
  Delete "$INSTDIR\Config.ini"
SectionEnd

Section "-un.Finish"
  Delete "$INSTDIR\Uninstall.exe"
  ; This is the uninstaller's copy of itself; the Uninstall.exe that started it
  ; may not have ended yet, and its file goes only once it has. Until then the
  ; folder cannot go either: wait for it, at most 10 s.
  StrCpy $R0 0
  un_wait_for_starter:
    IfFileExists "$INSTDIR\Uninstall.exe" 0 un_starter_gone
    IntOp $R0 $R0 + 1
    IntCmp $R0 100 un_starter_gone
    Sleep 100
    Delete "$INSTDIR\Uninstall.exe"
    Goto un_wait_for_starter
  un_starter_gone:
  ; Only when nothing is left in it: a kept Config.ini keeps the folder.
  RMDir "$INSTDIR"
SectionEnd

Function un.onInit
  !insertmacro MULTIUSER_UNINIT
  ; The mode of this installation: per machine when the machine's uninstall
  ; entry names this folder, per user otherwise.
  ReadRegStr $0 HKLM "${UNINSTALL_KEY}" "InstallLocation"
  ${If} $0 == $INSTDIR
    Call un.MultiUser.InstallMode.AllUsers
  ${Else}
    Call un.MultiUser.InstallMode.CurrentUser
  ${EndIf}

  ${GetParameters} $0
  ClearErrors
  ${GetOptions} $0 "/REMOVECONFIG" $1
  ${IfNot} ${Errors}
    !insertmacro SelectSection ${SecUnSettings}
  ${EndIf}
  !insertmacro WAIT_FOR_TAPWIRE_CLOSED
FunctionEnd
