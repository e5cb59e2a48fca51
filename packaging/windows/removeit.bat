@echo off
rem Stops the Windows service "Tolvane" and removes it, with its event log
rem source and the copy of the service program that earlier versions put in
rem %ProgramFiles%\Tolvane. The schedule (rebootdata.kx) stays where it is.
rem As installs.bat, it acts only from the all-users installation, through
rem tolvane-service.exe --remove, and asks Windows to run that program with
rem administrator rights when it lacks them.
rem "removeit.bat machine" removes the machine's service "TolvaneMachine"
rem instead; the machine's schedule and its state stay in %ProgramData%\Tolvane.
setlocal EnableExtensions DisableDelayedExpansion
set "MACHINE="
if /i "%~1"=="machine" set "MACHINE=--machine"
set "SERVICE=%~dp0tolvane-service.exe"
set "POWERSHELL=%SystemRoot%\System32\WindowsPowerShell\v1.0\powershell.exe"
setlocal EnableDelayedExpansion

if not exist "!SERVICE!" (
    echo tolvane-service.exe is not in this folder: "!SERVICE!"
    goto failed
)
"!SERVICE!" --can-install
if errorlevel 1 goto notAllUsers

"!SERVICE!" --remove !MACHINE!
rem 4: the service manager wants administrator rights.
if errorlevel 5 goto failed
if errorlevel 4 goto elevate
if errorlevel 1 goto failed
exit /b 0

:elevate
if not exist "%POWERSHELL%" goto noElevation
echo Asking Windows for administrator rights for tolvane-service.exe...
if defined MACHINE (
    "%POWERSHELL%" -NoProfile -NonInteractive -Command "$p = Start-Process -FilePath $env:SERVICE -ArgumentList '--remove', '--machine' -Verb RunAs -Wait -PassThru; exit $p.ExitCode"
) else (
    "%POWERSHELL%" -NoProfile -NonInteractive -Command "$p = Start-Process -FilePath $env:SERVICE -ArgumentList '--remove' -Verb RunAs -Wait -PassThru; exit $p.ExitCode"
)
if errorlevel 1 goto failed
echo The service is removed.
exit /b 0

:noElevation
echo This needs administrator rights: run "!SERVICE!" --remove !MACHINE! as administrator.
goto failed

:notAllUsers
echo The Tolvane service needs the all-users installation of Tolvane (in Program Files);
echo remove it with Set Service there. Nothing was changed.
pause
exit /b 1

:failed
echo The Tolvane service was not removed.
pause
exit /b 1
