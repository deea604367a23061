@echo off
rem Removes the registration of Kestrun @PROJECT_VERSION@ that install.cmd wrote: the
rem context-menu extension (both libraries on 64-bit Windows), the launcher's
rem open command and its "Open with" entries. The folder itself stays; delete
rem it afterwards.
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

rem The 32-bit library first: it is the one that can fail (it loads only with
rem Lorvane.dll beside it), and then nothing has been removed yet.
call :find_regsvr32
if not exist "%~dp0Kestrun_Tool.dll" goto :unregister64
echo Unregistering the context-menu extension with "%REGSVR32%"
"%REGSVR32%" /u /s "%~dp0Kestrun_Tool.dll"
if errorlevel 1 goto :unregister_failed

:unregister64
if not defined REGSVR64 goto :remove_command
if not exist "%~dp0Kestrun_Tool64.dll" goto :remove_command
echo Unregistering the extension for 64-bit Explorer with "%REGSVR64%"
"%REGSVR64%" /u /s "%~dp0Kestrun_Tool64.dll"
if errorlevel 1 goto :unregister64_failed

:remove_command
rem Of the .bin key only the launcher's entry in its "Open with" list: the key
rem and the rest of the list belong to the system and other programs.
reg query "HKLM\Software\Classes\.bin\OpenWithList\Kestrun.exe" >nul 2>&1
if errorlevel 1 goto :remove_application
echo Removing Kestrun.exe from "Open with" for .bin files
reg delete "HKLM\Software\Classes\.bin\OpenWithList\Kestrun.exe" /f >nul

:remove_application
reg query "HKLM\Software\Classes\Applications\Kestrun.exe" >nul 2>&1
if errorlevel 1 goto :removed
echo Removing the open command of Kestrun.exe
reg delete "HKLM\Software\Classes\Applications\Kestrun.exe" /f >nul

:removed
echo.
echo Kestrun's registration is removed. You may delete this folder now.
goto :finish

:find_regsvr32
rem As in install.cmd: REGSVR32, the 32-bit regsvr32, for Kestrun_Tool.dll;
rem on 64-bit Windows REGSVR64, the 64-bit one, for Kestrun_Tool64.dll (from a
rem 32-bit cmd the real System32 is called Sysnative).
set "REGSVR32=%SystemRoot%\System32\regsvr32.exe"
set "REGSVR64="
if not exist "%SystemRoot%\SysWOW64\regsvr32.exe" goto :eof
set "REGSVR64=%REGSVR32%"
if exist "%SystemRoot%\Sysnative\regsvr32.exe" set "REGSVR64=%SystemRoot%\Sysnative\regsvr32.exe"
set "REGSVR32=%SystemRoot%\SysWOW64\regsvr32.exe"
goto :eof

:not_admin
echo.
echo uninstall.cmd needs administrator rights: Kestrun is registered for all
echo users. Right-click uninstall.cmd and choose "Run as administrator".
set "EXIT_CODE=5"
goto :finish

:unregister64_failed
echo.
echo The extension for 64-bit Explorer could not be unregistered. Check that
echo Kestrun_Tool64.dll in "%~dp0" is intact and run uninstall.cmd again.
set "EXIT_CODE=1"
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
