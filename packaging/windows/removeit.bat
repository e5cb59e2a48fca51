@echo off
rem Stops the Windows service "Tolvane" and removes it, with its event log
rem source and the copy of its program that installs.bat put in
rem %ProgramFiles%\Tolvane. The schedule (rebootdata.kx) stays where it is.
rem It needs administrator rights and asks for them when it lacks them.
setlocal EnableExtensions DisableDelayedExpansion
set "TARGETDIR=%ProgramFiles%\Tolvane"
set "TARGET=%ProgramFiles%\Tolvane\tolvane-service.exe"
set "SCRIPT=%~f0"
set "SC=%SystemRoot%\System32\sc.exe"
set "REG=%SystemRoot%\System32\reg.exe"
set "FIND=%SystemRoot%\System32\find.exe"
set "PING=%SystemRoot%\System32\PING.EXE"
set "POWERSHELL=%SystemRoot%\System32\WindowsPowerShell\v1.0\powershell.exe"
set "EVENTKEY=HKLM\SYSTEM\CurrentControlSet\Services\EventLog\Application\Tolvane"
rem The paths are only expanded late (!TARGET!) from here on: "Program Files
rem (x86)" would end an if block early.
setlocal EnableDelayedExpansion

"%SC%" query Tolvane >nul 2>&1
if errorlevel 1 (
    echo The Tolvane service is not installed.
    "%REG%" delete "%EVENTKEY%" /f >nul 2>&1
    rem A copy an interrupted installation left behind goes as well.
    call :removeCopy
    if errorlevel 1 goto copyNotRemoved
    exit /b 0
)

echo Stopping the Tolvane service...
"%SC%" stop Tolvane >nul 2>&1
if errorlevel 5 if not errorlevel 6 goto elevate
call :waitStopped
"%SC%" delete Tolvane
if errorlevel 5 if not errorlevel 6 goto elevate
if errorlevel 1 goto failed
"%REG%" delete "%EVENTKEY%" /f >nul 2>&1
call :removeCopy
if errorlevel 1 (
    echo "!TARGET!" could not be deleted.
    goto failed
)
echo The Tolvane service is removed.
exit /b 0

:copyNotRemoved
rem Without a service to stop, only the rights can be missing; once elevated,
rem say what is left.
if /i not "%~1"=="elevated" goto elevate
echo "!TARGET!" could not be deleted.
goto failed

:elevate
rem Once only: the copy started with the rights says "elevated".
if /i "%~1"=="elevated" (
    echo Windows did not give this the administrator rights it needs.
    goto failed
)
if not exist "%POWERSHELL%" goto noElevation
echo Asking Windows for administrator rights...
rem The path goes through the environment, so no quoting can break it.
"%POWERSHELL%" -NoProfile -NonInteractive -Command "Start-Process -FilePath $env:SCRIPT -ArgumentList 'elevated' -Verb RunAs"
if errorlevel 1 goto noElevation
exit /b 0

:noElevation
echo This needs administrator rights: right-click removeit.bat and choose
echo "Run as administrator".
goto failed

:failed
echo The Tolvane service was not removed.
pause
exit /b 1

:removeCopy
rem The service's process may end a moment after it reported itself stopped.
rem The folder goes only when empty.
for /l %%i in (1,1,10) do (
    if exist "!TARGET!" del /f /q "!TARGET!" >nul 2>&1
    if not exist "!TARGET!" (
        if exist "!TARGETDIR!\" rd "!TARGETDIR!" >nul 2>&1
        exit /b 0
    )
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
