@echo off
rem Stops the Windows service "Tolvane" and removes it, with its event log
rem source. It needs administrator rights and asks for them when it lacks them.
setlocal EnableExtensions DisableDelayedExpansion
set "SCRIPT=%~f0"
set "SC=%SystemRoot%\System32\sc.exe"
set "REG=%SystemRoot%\System32\reg.exe"
set "FIND=%SystemRoot%\System32\find.exe"
set "PING=%SystemRoot%\System32\PING.EXE"
set "POWERSHELL=%SystemRoot%\System32\WindowsPowerShell\v1.0\powershell.exe"
set "EVENTKEY=HKLM\SYSTEM\CurrentControlSet\Services\EventLog\Application\Tolvane"

"%SC%" query Tolvane >nul 2>&1
if errorlevel 1 (
    echo The Tolvane service is not installed.
    "%REG%" delete "%EVENTKEY%" /f >nul 2>&1
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
echo The Tolvane service is removed.
exit /b 0

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

:waitStopped
for /l %%i in (1,1,20) do (
    "%SC%" query Tolvane >nul 2>&1 || exit /b 0
    "%SC%" query Tolvane | "%FIND%" "STOPPED" >nul && exit /b 0
    "%PING%" -n 2 127.0.0.1 >nul
)
exit /b 1
