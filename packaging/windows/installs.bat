@echo off
rem Installs the Windows service "Tolvane" (automatic start, LocalSystem): it
rem carries out the schedule of the user who runs this file, with nobody
rem logged on. Only the all-users installation of Tolvane (in Program Files,
rem where only administrators can change the program) can install it: the
rem service runs with the system's rights, and a program anybody else could
rem swap must never be given them. Everywhere else this says so and asks
rem for nothing.
rem The work is done by tolvane-service.exe --install, which checks the
rem folder it runs from and every value again; when it lacks administrator
rem rights, this asks Windows to run that program (not this file, nor a
rem command interpreter) with them, for the user and schedule read here
rem first, so an administrator who approves the request installs the
rem service for that user, not for themselves.
rem "installs.bat machine" installs the service "TolvaneMachine" instead:
rem it carries out the machine's schedule (%ProgramData%\Tolvane\rebootdata.kx,
rem which only administrators can change) for every user.
setlocal EnableExtensions DisableDelayedExpansion
set "SERVICE=%~dp0tolvane-service.exe"
set "FINDSTR=%SystemRoot%\System32\findstr.exe"
set "POWERSHELL=%SystemRoot%\System32\WindowsPowerShell\v1.0\powershell.exe"
rem The paths are only expanded late (!SERVICE!) from here on, so no character
rem in them (& ^ ( ) ! and so on) can change a command.
setlocal EnableDelayedExpansion

if not exist "!SERVICE!" (
    echo tolvane-service.exe is not in this folder: "!SERVICE!"
    goto failed
)
"!SERVICE!" --can-install
if errorlevel 1 goto notAllUsers
if /i "%~1"=="machine" goto machine

rem Whose service this is: the user running this, as the program reads it
rem from its token, and the schedule file the window keeps for that user.
set "TOLVANE_USER="
for /f "usebackq delims=" %%s in (`""!SERVICE!" --print-user"`) do set "TOLVANE_USER=%%s"
rem Only a SID (S-1-5-21-...) goes on.
set TOLVANE_USER | "%FINDSTR%" /r /x /c:"TOLVANE_USER=S-1-[0-9][0-9-]*" >nul
if errorlevel 1 (
    echo Could not tell which user the service is for: "!TOLVANE_USER!"
    goto failed
)
set "TOLVANE_SCHEDULE="
for /f "usebackq delims=" %%s in (`""!SERVICE!" --print-schedule"`) do set "TOLVANE_SCHEDULE=%%s"
if not defined TOLVANE_SCHEDULE (
    echo Could not tell where the schedule file is.
    goto failed
)

echo Installing the Tolvane service for "!TOLVANE_SCHEDULE!", user !TOLVANE_USER!
"!SERVICE!" --install --user "!TOLVANE_USER!" --schedule "!TOLVANE_SCHEDULE!"
rem 4: the service manager wants administrator rights.
if errorlevel 5 goto failed
if errorlevel 4 goto elevate
if errorlevel 1 goto failed
exit /b 0

:elevate
if not exist "%POWERSHELL%" goto noElevation
echo Asking Windows for administrator rights for tolvane-service.exe...
rem The values go through the environment, so no quoting in this file can
rem break them; the program refuses any that its command line could not
rem carry whole.
"%POWERSHELL%" -NoProfile -NonInteractive -Command "$q = [char]34; $p = Start-Process -FilePath $env:SERVICE -ArgumentList '--install', '--user', $env:TOLVANE_USER, '--schedule', ($q + $env:TOLVANE_SCHEDULE + $q) -Verb RunAs -Wait -PassThru; exit $p.ExitCode"
if errorlevel 1 goto failed
echo The Tolvane service is installed and running.
exit /b 0

:machine
echo Installing the Tolvane service for the machine's schedule
"!SERVICE!" --install --machine
if errorlevel 5 goto failed
if errorlevel 4 goto elevateMachine
if errorlevel 1 goto failed
exit /b 0

:elevateMachine
if not exist "%POWERSHELL%" goto noElevation
echo Asking Windows for administrator rights for tolvane-service.exe...
"%POWERSHELL%" -NoProfile -NonInteractive -Command "$p = Start-Process -FilePath $env:SERVICE -ArgumentList '--install', '--machine' -Verb RunAs -Wait -PassThru; exit $p.ExitCode"
if errorlevel 1 goto failed
echo The TolvaneMachine service is installed and running.
exit /b 0

:noElevation
if /i "%~1"=="machine" (
    echo This needs administrator rights: run "!SERVICE!" --install --machine as administrator.
    goto failed
)
echo This needs administrator rights: run "!SERVICE!" --install --user !TOLVANE_USER!
echo --schedule "!TOLVANE_SCHEDULE!" as administrator.
goto failed

:notAllUsers
echo The Tolvane service needs the all-users installation of Tolvane (in Program Files);
echo install Tolvane for all users and use Set Service there. Nothing was changed.
pause
exit /b 1

:failed
echo The Tolvane service was not installed.
pause
exit /b 1
