@echo off
rem Installs Kestrun @PROJECT_VERSION@ from the folder this script lies in, for all
rem users: registers the launcher's open command, offers the launcher under
rem "Open with" for .bin files, and registers the context-menu extension.
rem   install.cmd [/q]    /q: no pause at the end (for unattended installs)
rem Exit codes: 0 installed, 1 registration failed, 2 a file is missing,
rem 3 the folder cannot be used, 5 not run as administrator.
setlocal
set "EXIT_CODE=0"
echo Kestrun @PROJECT_VERSION@: installing from "%~dp0"

rem The open command quotes the launcher's path (blanks are fine) and must fit
rem the 260 bytes Kestrun reads: the folder may have 241 characters at most.
set "TOOL_DIR=%~dp0"
if not "%TOOL_DIR:~0,241%"=="%TOOL_DIR%" goto :long_folder

rem net session needs the Server service; fltmc answers without it.
net session >nul 2>&1
if not errorlevel 1 goto :admin
fltmc >nul 2>&1
if errorlevel 1 goto :not_admin
:admin

call :find_regsvr32
if not exist "%TOOL_DIR%Kestrun.exe" goto :missing_file
if not exist "%TOOL_DIR%Kestrun_Tool.dll" goto :missing_file
if defined REGSVR64 if not exist "%TOOL_DIR%Kestrun_Tool64.dll" goto :missing_file
rem Neither program loads without the vendor's boot library.
if not exist "%TOOL_DIR%Lorvane.dll" goto :no_boot_library
if not exist "%TOOL_DIR%LORVANE_SET.INI" echo Warning: LORVANE_SET.INI is missing beside Kestrun.exe; the device cannot be prepared without it.

echo Registering the context-menu extension with "%REGSVR32%"
"%REGSVR32%" /s "%TOOL_DIR%Kestrun_Tool.dll"
if errorlevel 1 goto :register_failed
if not defined REGSVR64 goto :write_command
echo Registering the extension for 64-bit Explorer with "%REGSVR64%"
"%REGSVR64%" /s "%TOOL_DIR%Kestrun_Tool64.dll"
if errorlevel 1 goto :register64_failed

:write_command
rem The shell's open command for Kestrun.exe; Kestrun finds its folder (and
rem LORVANE_SET.INI) through this value: the path quoted, then "%1".
echo Writing the open command of Kestrun.exe
reg add "HKLM\Software\Classes\Applications\Kestrun.exe\shell\open\command" /ve /d "\"%TOOL_DIR%Kestrun.exe\" \"%%1\"" /f >nul
if errorlevel 1 goto :command_failed
rem "Open with" offers it for boot images, under the menu's name. Of the .bin
rem key only the launcher's entry in its list is ours: other programs share it.
echo Offering Kestrun.exe under "Open with" for .bin files
reg add "HKLM\Software\Classes\Applications\Kestrun.exe" /v FriendlyAppName /d "Quorvex Kestrun" /f >nul
if errorlevel 1 goto :command_failed
reg add "HKLM\Software\Classes\Applications\Kestrun.exe\SupportedTypes" /v .bin /d "" /f >nul
if errorlevel 1 goto :command_failed
reg add "HKLM\Software\Classes\.bin\OpenWithList\Kestrun.exe" /f >nul
if errorlevel 1 goto :command_failed

echo.
echo Kestrun is installed. Right-click a .bin image and choose "Quorvex Kestrun",
echo or open the image with Kestrun.exe. Keep this folder: run uninstall.cmd
echo before you move or delete it.
goto :finish

:find_regsvr32
rem REGSVR32 registers the 32-bit library. On 64-bit Windows that is the one in
rem SysWOW64, and REGSVR64, the 64-bit one, registers Kestrun_Tool64.dll for
rem 64-bit Explorer. A 32-bit cmd sees SysWOW64 under the name System32: the
rem real System32 is then Sysnative.
set "REGSVR32=%SystemRoot%\System32\regsvr32.exe"
set "REGSVR64="
if not exist "%SystemRoot%\SysWOW64\regsvr32.exe" goto :eof
set "REGSVR64=%REGSVR32%"
if exist "%SystemRoot%\Sysnative\regsvr32.exe" set "REGSVR64=%SystemRoot%\Sysnative\regsvr32.exe"
set "REGSVR32=%SystemRoot%\SysWOW64\regsvr32.exe"
goto :eof

:long_folder
echo.
echo The path of this folder is longer than 241 characters: Kestrun cannot
echo find its settings there. Move this folder to a shorter path, such as
echo C:\Kestrun, and run install.cmd again.
set "EXIT_CODE=3"
goto :finish

:not_admin
echo.
echo install.cmd needs administrator rights: it registers Kestrun for all users.
echo Right-click install.cmd and choose "Run as administrator".
set "EXIT_CODE=5"
goto :finish

:missing_file
echo.
echo Kestrun.exe, Kestrun_Tool.dll or Kestrun_Tool64.dll is missing beside
echo install.cmd. Unpack the whole package again and run install.cmd from its
echo folder.
set "EXIT_CODE=2"
goto :finish

:no_boot_library
echo.
echo Lorvane.dll is missing. Kestrun drives the device through the vendor's boot
echo library Lorvane.dll, which is not part of this package: copy it into
echo "%~dp0"
echo beside Kestrun.exe and run install.cmd again.
set "EXIT_CODE=2"
goto :finish

:register_failed
echo.
echo The context-menu extension could not be registered (regsvr32 failed).
echo Check that Lorvane.dll beside Kestrun.exe is the vendor's 32-bit library.
set "EXIT_CODE=1"
goto :finish

:register64_failed
echo.
echo The extension for 64-bit Explorer could not be registered (regsvr32 failed).
"%REGSVR32%" /u /s "%TOOL_DIR%Kestrun_Tool.dll"
set "EXIT_CODE=1"
goto :finish

:command_failed
echo.
echo The open command or the "Open with" entries could not be written to the registry.
reg delete "HKLM\Software\Classes\.bin\OpenWithList\Kestrun.exe" /f >nul 2>&1
reg delete "HKLM\Software\Classes\Applications\Kestrun.exe" /f >nul 2>&1
if defined REGSVR64 "%REGSVR64%" /u /s "%TOOL_DIR%Kestrun_Tool64.dll"
"%REGSVR32%" /u /s "%TOOL_DIR%Kestrun_Tool.dll"
set "EXIT_CODE=1"
goto :finish

:finish
if /i not "%~1"=="/q" pause
exit /b %EXIT_CODE%
