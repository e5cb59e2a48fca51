; Tolvane's installer: for the current user only, so no administrator rights
; are needed, into the user's own programs folder, which stays writable for
; the schedule file the program keeps beside itself.
;
; makensis -DVERSION=2.1.0.528 -DFILES=files.nsh -DICON=tolvane.ico -DOUTFILE=setup.exe
; 64-bit like the program it installs (and so it runs where the program runs).
Target amd64-unicode
SetCompressor /SOLID lzma
!include "MUI2.nsh"
!include "FileFunc.nsh"
!include "${FILES}"

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Tolvane"

Name "Tolvane"
Caption "Tolvane ${VERSION} Setup"
OutFile "${OUTFILE}"
RequestExecutionLevel user
InstallDir "$LOCALAPPDATA\Programs\Tolvane"
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"

VIProductVersion "${VERSION}"
VIAddVersionKey "ProductName" "Tolvane"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "FileDescription" "Tolvane Setup"
VIAddVersionKey "CompanyName" "Quarnel"
VIAddVersionKey "LegalCopyright" "Copyright (C) Quarnel"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_FINISHPAGE_RUN "$INSTDIR\tolvane.exe"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

Section "Tolvane"
    SetShellVarContext current
    SetOutPath "$INSTDIR"
    !insertmacro TolvaneInstallFiles
    WriteUninstaller "$INSTDIR\uninstall.exe"

    CreateDirectory "$SMPROGRAMS\Tolvane"
    CreateShortcut "$SMPROGRAMS\Tolvane\Tolvane.lnk" "$INSTDIR\tolvane.exe"
    CreateShortcut "$SMPROGRAMS\Tolvane\Tolvane Help.lnk" "$INSTDIR\tolvane.htm"
    CreateShortcut "$SMPROGRAMS\Tolvane\Uninstall Tolvane.lnk" "$INSTDIR\uninstall.exe"

    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "Tolvane"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "Quarnel"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\tolvane.exe"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
    WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
    ; The size Add/Remove Programs shows, in KiB, of what was just installed.
    ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
    IntFmt $0 "0x%08X" $0
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" "$0"
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Section "Uninstall"
    SetShellVarContext current
    ; A service installed from this folder goes first: it must not be left
    ; carrying out a schedule in a folder that is gone, nor running a program
    ; from it. installs.bat registers its copy in Program Files with --user
    ; and, last, --schedule and this folder's rebootdata.kx; earlier versions
    ; registered the program here itself. removeit.bat asks for administrator
    ; rights itself.
    ReadRegStr $0 HKLM "SYSTEM\CurrentControlSet\Services\Tolvane" "ImagePath"
    StrCpy $2 ' --schedule "$INSTDIR\rebootdata.kx"'
    StrLen $3 $2
    IntOp $3 0 - $3
    StrCpy $4 $0 "" $3
    StrCmp $4 $2 service_ours
    StrCmp $0 '"$INSTDIR\tolvane-service.exe"' service_ours service_gone
    service_ours:
        ExecWait '"$SYSDIR\cmd.exe" /c ""$INSTDIR\removeit.bat""'
        ; Asking for the rights starts a second copy of removeit.bat and
        ; returns at once: wait (up to 30 s) until the service is gone, so
        ; nothing of this folder is in use any more.
        StrCpy $1 0
    service_wait:
        ReadRegStr $0 HKLM "SYSTEM\CurrentControlSet\Services\Tolvane" "ImagePath"
        StrCmp $0 "" service_gone
        IntOp $1 $1 + 1
        IntCmp $1 60 service_gone
        Sleep 500
        Goto service_wait
    service_gone:
    !insertmacro TolvaneRemoveFiles
    Delete "$INSTDIR\uninstall.exe"
    ; The schedule (rebootdata.kx) is the user's own: it stays, and so does
    ; the folder while it holds it. Settings in the registry stay as well.
    RMDir "$INSTDIR"
    Delete "$SMPROGRAMS\Tolvane\Tolvane.lnk"
    Delete "$SMPROGRAMS\Tolvane\Tolvane Help.lnk"
    Delete "$SMPROGRAMS\Tolvane\Uninstall Tolvane.lnk"
    RMDir "$SMPROGRAMS\Tolvane"
    DeleteRegKey HKCU "${UNINSTALL_KEY}"
SectionEnd
