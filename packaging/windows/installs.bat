@echo off
rem Installs tolvane-service.exe, which stands beside this file, as the Windows
rem service "Tolvane": started automatically with Windows, as LocalSystem. It
rem carries out the schedule in rebootdata.kx beside this file (the window's)
rem with nobody logged on, for one user: the one who started this file, whose
rem SID it records (--user). Log off and lock then act on that user's sessions
rem only. The service runs a copy of the program in %ProgramFiles%\Tolvane:
rem this folder may be one its user can change, and a program swapped in here
rem would otherwise run with the system's rights.
rem It needs administrator rights and asks for them when it lacks them; the
rem copy started with them is told the user, so an administrator who approves
rem the request installs the service for that user, not for themselves.
setlocal EnableExtensions DisableDelayedExpansion
set "SERVICE=%~dp0tolvane-service.exe"
set "SCHEDULE=%~dp0rebootdata.kx"
set "TARGETDIR=%ProgramFiles%\Tolvane"
set "TARGET=%ProgramFiles%\Tolvane\tolvane-service.exe"
set "SCRIPT=%~f0"
set "SC=%SystemRoot%\System32\sc.exe"
set "REG=%SystemRoot%\System32\reg.exe"
set "FIND=%SystemRoot%\System32\find.exe"
set "FINDSTR=%SystemRoot%\System32\findstr.exe"
set "PING=%SystemRoot%\System32\PING.EXE"
set "POWERSHELL=%SystemRoot%\System32\WindowsPowerShell\v1.0\powershell.exe"
set "EVENTKEY=HKLM\SYSTEM\CurrentControlSet\Services\EventLog\Application\Tolvane"
rem The paths are only expanded late (!SERVICE!) from here on, so no character
rem in them (& ^ ( ) ! and so on) can change a command.
setlocal EnableDelayedExpansion

if not exist "!SERVICE!" (
    echo tolvane-service.exe is not in this folder: "!SERVICE!"
    goto failed
)

rem Whose service this is: the copy that asked for rights says; otherwise the
rem user running this, as the program itself reads it from its token.
set "TOLVANE_USER="
if /i "%~1"=="elevated" (
    set "TOLVANE_USER=%~2"
) else (
    for /f "usebackq delims=" %%s in (`""!SERVICE!" --print-user"`) do set "TOLVANE_USER=%%s"
)
rem Only a SID (S-1-5-21-...) goes into the service's command line.
set TOLVANE_USER | "%FINDSTR%" /r /x /c:"TOLVANE_USER=S-1-[0-9][0-9-]*" >nul
if errorlevel 1 (
    echo Could not tell which user the service is for: "!TOLVANE_USER!"
    goto failed
)

rem An earlier installation, perhaps from another folder, makes way first.
"%SC%" query Tolvane >nul 2>&1
if not errorlevel 1 (
    echo Removing the Tolvane service installed before...
    "%SC%" stop Tolvane >nul 2>&1
    if errorlevel 5 if not errorlevel 6 goto elevate
    call :waitStopped
    "%SC%" delete Tolvane >nul 2>&1
    if errorlevel 5 if not errorlevel 6 goto elevate
    call :waitGone
)

echo Installing the Tolvane service: "!TARGET!" for "!SCHEDULE!", user !TOLVANE_USER!
rem Both paths in quotes: unquoted, a path with a space could start another
rem program or cut the schedule's path short. Creating it first tells whether
rem this has the rights (error 5 when not) before anything is copied.
"%SC%" create Tolvane binPath= "\"!TARGET!\" --user !TOLVANE_USER! --schedule \"!SCHEDULE!\"" start= auto DisplayName= Tolvane
if errorlevel 5 if not errorlevel 6 goto elevate
if errorlevel 1 goto failed
rem The copy replaces one an earlier installation left there.
if not exist "!TARGETDIR!\" mkdir "!TARGETDIR!"
call :copyService
if errorlevel 1 (
    echo tolvane-service.exe could not be copied to "!TARGETDIR!".
    "%SC%" delete Tolvane >nul 2>&1
    goto failed
)
"%SC%" description Tolvane "Carries out the Tolvane schedule (the rebootdata.kx after --schedule) for the user after --user, also when nobody is logged on." >nul
rem The event log shows the service's entries through its message table.
"%REG%" add "%EVENTKEY%" /v EventMessageFile /t REG_EXPAND_SZ /d "!TARGET!" /f >nul
"%REG%" add "%EVENTKEY%" /v TypesSupported /t REG_DWORD /d 7 /f >nul

"%SC%" start Tolvane >nul
if errorlevel 1 (
    echo The Tolvane service is installed but did not start: the event log may say why.
    pause
    exit /b 1
)
echo The Tolvane service is installed and running.
exit /b 0

:elevate
rem Once only: the copy started with the rights says "elevated".
if /i "%~1"=="elevated" (
    echo Windows did not give this the administrator rights it needs.
    goto failed
)
if not exist "%POWERSHELL%" goto noElevation
echo Asking Windows for administrator rights...
rem The path and the user go through the environment, so no quoting can break them.
"%POWERSHELL%" -NoProfile -NonInteractive -Command "Start-Process -FilePath $env:SCRIPT -ArgumentList 'elevated', $env:TOLVANE_USER -Verb RunAs"
if errorlevel 1 goto noElevation
exit /b 0

:noElevation
echo This needs administrator rights: right-click installs.bat and choose
echo "Run as administrator".
goto failed

:failed
echo The Tolvane service was not installed.
pause
exit /b 1

:copyService
rem A service stopped a moment ago may still hold its program open.
for /l %%i in (1,1,10) do (
    copy /b /y "!SERVICE!" "!TARGET!" >nul 2>&1 && exit /b 0
    "%PING%" -n 2 127.0.0.1 >nul
)
exit /b 1

:waitStopped
for /l %%i in (1,1,20) do (
    "%SC%" query Tolvane >nul 2>&1 || exit /b 0
    "%SC%" query Tolvane | "%FIND%" "STOPPED" >nul && exit /b 0
    "%PING%" -n 2 127.0.0.1 >nul
)
exit /b 1

:waitGone
for /l %%i in (1,1,20) do (
    "%SC%" query Tolvane >nul 2>&1 || exit /b 0
    "%PING%" -n 2 127.0.0.1 >nul
)
exit /b 1
