@echo off
rem Removes the registration of Kestrun @PROJECT_VERSION@ that install.cmd wrote: the
rem context-menu extension and the launcher's open command. The folder itself
rem stays; delete it afterwards.
rem   uninstall.cmd [/q]    /q: no pause at the end (for unattended removals)
rem Exit codes: 0 removed, 1 the extension could not be unregistered,
rem 5 not run as administrator.
setlocal
set "EXIT_CODE=0"
echo Kestrun @PROJECT_VERSION@: removing the registration of "%~dp0"

rem net session needs the Server service; fltmc answers without it.
net session >nul 2>&1
if not errorlevel 1 goto :admin
fltmc >nul 2>&1
if errorlevel 1 goto :not_admin
:admin

set "REGSVR32=%SystemRoot%\System32\regsvr32.exe"
if exist "%SystemRoot%\SysWOW64\regsvr32.exe" set "REGSVR32=%SystemRoot%\SysWOW64\regsvr32.exe"
if not exist "%~dp0Kestrun_Tool.dll" goto :remove_command
echo Unregistering the context-menu extension with "%REGSVR32%"
"%REGSVR32%" /u /s "%~dp0Kestrun_Tool.dll"
if errorlevel 1 goto :unregister_failed

:remove_command
reg query "HKLM\Software\Classes\Applications\Kestrun.exe" >nul 2>&1
if errorlevel 1 goto :removed
echo Removing the open command of Kestrun.exe
reg delete "HKLM\Software\Classes\Applications\Kestrun.exe" /f >nul

:removed
echo.
echo Kestrun's registration is removed. You may delete this folder now.
goto :finish

:not_admin
echo.
echo uninstall.cmd needs administrator rights: Kestrun is registered for all
echo users. Right-click uninstall.cmd and choose "Run as administrator".
set "EXIT_CODE=5"
goto :finish

:unregister_failed
echo.
echo The context-menu extension could not be unregistered: Kestrun_Tool.dll
echo loads only with Lorvane.dll beside it. Put Lorvane.dll back into
echo "%~dp0"
echo and run uninstall.cmd again. Nothing was removed.
set "EXIT_CODE=1"
goto :finish

:finish
if /i not "%~1"=="/q" pause
exit /b %EXIT_CODE%
