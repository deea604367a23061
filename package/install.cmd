@echo off
rem Installs Kestrun @PROJECT_VERSION@ from the folder this script lies in, for all
rem users: registers the launcher's open command and the context-menu extension.
rem   install.cmd [/q]    /q: no pause at the end (for unattended installs)
rem Exit codes: 0 installed, 1 registration failed, 2 a file is missing,
rem 3 the folder cannot be used, 5 not run as administrator.
setlocal
set "EXIT_CODE=0"
echo Kestrun @PROJECT_VERSION@: installing from "%~dp0"

rem The launcher takes everything up to the first blank of its command line
rem as its own name: a folder with blanks is registered by its short name.
set "TOOL_DIR=%~dp0"
if not "%TOOL_DIR: =%"=="%TOOL_DIR%" set "TOOL_DIR=%~dps0"
if not "%TOOL_DIR: =%"=="%TOOL_DIR%" goto :blank_folder
rem Kestrun reads the open command into 260 bytes: the folder may have 243
rem characters at most.
if not "%TOOL_DIR:~0,243%"=="%TOOL_DIR%" goto :long_folder

rem net session needs the Server service; fltmc answers without it.
net session >nul 2>&1
if not errorlevel 1 goto :admin
fltmc >nul 2>&1
if errorlevel 1 goto :not_admin
:admin

if not exist "%TOOL_DIR%Kestrun.exe" goto :missing_file
if not exist "%TOOL_DIR%Kestrun_Tool.dll" goto :missing_file
rem Neither program loads without the vendor's boot library.
if not exist "%TOOL_DIR%Lorvane.dll" goto :no_boot_library
if not exist "%TOOL_DIR%LORVANE_SET.INI" echo Warning: LORVANE_SET.INI is missing beside Kestrun.exe; the device cannot be prepared without it.

rem The extension is a 32-bit library: on 64-bit Windows the 32-bit regsvr32
rem lives in SysWOW64.
set "REGSVR32=%SystemRoot%\System32\regsvr32.exe"
if exist "%SystemRoot%\SysWOW64\regsvr32.exe" set "REGSVR32=%SystemRoot%\SysWOW64\regsvr32.exe"
echo Registering the context-menu extension with "%REGSVR32%"
"%REGSVR32%" /s "%TOOL_DIR%Kestrun_Tool.dll"
if errorlevel 1 goto :register_failed

rem The shell's open command for Kestrun.exe; Kestrun finds its folder (and
rem LORVANE_SET.INI) through this value: the path unquoted, then "%1".
echo Writing the open command of Kestrun.exe
reg add "HKLM\Software\Classes\Applications\Kestrun.exe\shell\open\command" /ve /d "%TOOL_DIR%Kestrun.exe \"%%1\"" /f >nul
if errorlevel 1 goto :command_failed

echo.
echo Kestrun is installed. Right-click a .bin image and choose "Quorvex Kestrun",
echo or open the image with Kestrun.exe. Keep this folder: run uninstall.cmd
echo before you move or delete it.
goto :finish

:blank_folder
echo.
echo This folder has blanks in its path and no short name without blanks:
echo Kestrun cannot be started from it. Move this folder to a path without
echo blanks, such as C:\Kestrun, and run install.cmd again.
set "EXIT_CODE=3"
goto :finish

:long_folder
echo.
echo The path of this folder is longer than 243 characters: Kestrun cannot
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
echo Kestrun.exe or Kestrun_Tool.dll is missing beside install.cmd. Unpack the
echo whole package again and run install.cmd from its folder.
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

:command_failed
echo.
echo The open command could not be written to the registry.
"%REGSVR32%" /u /s "%TOOL_DIR%Kestrun_Tool.dll"
set "EXIT_CODE=1"
goto :finish

:finish
if /i not "%~1"=="/q" pause
exit /b %EXIT_CODE%
