; Tolvane's installer. By default for the current user only, so no
; administrator rights are needed, into the user's own programs folder, which
; stays writable for the schedule file the program keeps beside itself.
; With /ALLUSERS, run as administrator, for all users: into Program Files
; (only administrators can change the programs there; each user's schedule
; lives in their own %LOCALAPPDATA%\Tolvane), with the uninstall entry and
; the Start-menu entries for everybody. Only that installation can install
; the service, which runs its program with the system's rights.
;
; makensis -DVERSION=2.1.0.528 -DFILES=files.nsh -DICON=tolvane.ico -DOUTFILE=setup.exe
; 64-bit like the program it installs (and so it runs where the program runs).
Target amd64-unicode
SetCompressor /SOLID lzma
!include "MUI2.nsh"
!include "FileFunc.nsh"
!include "LogicLib.nsh"
!include "${FILES}"

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Tolvane"

Name "Tolvane"
Caption "Tolvane ${VERSION} Setup"
OutFile "${OUTFILE}"
RequestExecutionLevel user

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

Var AllUsers

; Administrator rights, which an all-users installation needs; without them
; it says so and ends with status 2 before anything is changed.
!macro TolvaneNeedAdministrator
    UserInfo::GetAccountType
    Pop $0
    ${If} $0 != "Admin"
        MessageBox MB_OK|MB_ICONSTOP "Tolvane for all users needs administrator rights: run this as administrator." /SD IDOK
        SetErrorLevel 2
        Quit
    ${EndIf}
!macroend

Function .onInit
    StrCpy $AllUsers 0
    ${GetParameters} $0
    ClearErrors
    ${GetOptions} $0 "/ALLUSERS" $1
    ${IfNot} ${Errors}
        StrCpy $AllUsers 1
    ${EndIf}
    ${If} $AllUsers == 1
        !insertmacro TolvaneNeedAdministrator
        SetShellVarContext all
        ; /D= on the command line has already set $INSTDIR.
        ${If} $INSTDIR == ""
            StrCpy $INSTDIR "$PROGRAMFILES64\Tolvane"
        ${EndIf}
    ${Else}
        SetShellVarContext current
        ${If} $INSTDIR == ""
            StrCpy $INSTDIR "$LOCALAPPDATA\Programs\Tolvane"
        ${EndIf}
    ${EndIf}
FunctionEnd

Function un.onInit
    ; The all-users installation is the one HKLM's entry names.
    StrCpy $AllUsers 0
    ReadRegStr $0 HKLM "${UNINSTALL_KEY}" "InstallLocation"
    ${If} $0 == $INSTDIR
        StrCpy $AllUsers 1
        !insertmacro TolvaneNeedAdministrator
        SetShellVarContext all
    ${Else}
        SetShellVarContext current
    ${EndIf}
FunctionEnd

Section "Tolvane"
    SetOutPath "$INSTDIR"
    !insertmacro TolvaneInstallFiles
    WriteUninstaller "$INSTDIR\uninstall.exe"

    ; For all users, the machine's schedule gets its service: it runs
    ; whatever %ProgramData%\Tolvane\rebootdata.kx holds, once an
    ; administrator puts it there, for every user.
    ${If} $AllUsers == 1
        ExecWait '"$INSTDIR\tolvane-service.exe" --install --machine' $0
        ${If} $0 != 0
            DetailPrint "The machine's schedule service was not installed ($0)."
        ${EndIf}
    ${EndIf}

    CreateDirectory "$SMPROGRAMS\Tolvane"
    CreateShortcut "$SMPROGRAMS\Tolvane\Tolvane.lnk" "$INSTDIR\tolvane.exe"
    CreateShortcut "$SMPROGRAMS\Tolvane\Tolvane Help.lnk" "$INSTDIR\tolvane.htm"
    CreateShortcut "$SMPROGRAMS\Tolvane\Uninstall Tolvane.lnk" "$INSTDIR\uninstall.exe"

    WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayName" "Tolvane"
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "Publisher" "Quarnel"
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\tolvane.exe"
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
    ; The size Add/Remove Programs shows, in KiB, of what was just installed.
    ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
    IntFmt $0 "0x%08X" $0
    WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "EstimatedSize" "$0"
    WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Section "Uninstall"
    ; The service goes first when it runs this installation's program: it
    ; must not be left running a program that is gone. Only the all-users
    ; installation installs it (its program is in Program Files), and this
    ; uninstaller runs as administrator there. A per-user installation holds
    ; nothing with rights to remove: a service an earlier version installed
    ; from it is removed with Set Service in the all-users installation.
    ${If} $AllUsers == 1
        ReadRegStr $0 HKLM "SYSTEM\CurrentControlSet\Services\Tolvane" "ImagePath"
        StrCpy $2 '"$INSTDIR\tolvane-service.exe"'
        StrLen $3 $2
        StrCpy $4 $0 $3
        ${If} $4 == $2
            ExecWait '"$INSTDIR\tolvane-service.exe" --remove'
        ${EndIf}
        ReadRegStr $0 HKLM "SYSTEM\CurrentControlSet\Services\TolvaneMachine" "ImagePath"
        StrCpy $4 $0 $3
        ${If} $4 == $2
            ExecWait '"$INSTDIR\tolvane-service.exe" --remove --machine'
        ${EndIf}
    ${EndIf}
    !insertmacro TolvaneRemoveFiles
    Delete "$INSTDIR\uninstall.exe"
    ; The schedule (rebootdata.kx) is the user's own: it stays, and so does
    ; the folder while it holds it. Settings in the registry stay as well.
    RMDir "$INSTDIR"
    Delete "$SMPROGRAMS\Tolvane\Tolvane.lnk"
    Delete "$SMPROGRAMS\Tolvane\Tolvane Help.lnk"
    Delete "$SMPROGRAMS\Tolvane\Uninstall Tolvane.lnk"
    RMDir "$SMPROGRAMS\Tolvane"
    DeleteRegKey SHCTX "${UNINSTALL_KEY}"
SectionEnd
