@echo off
rem Registers the Pixmend ActiveX control (Pixmend.dll) with regsvr32.
rem   install.cmd [PATH]            for every user of the machine (needs an administrator)
rem   install.cmd /user [PATH]      for the current user only
rem   install.cmd /u [PATH]         removes the machine registration
rem   install.cmd /u /user [PATH]   removes the current user's registration
rem PATH defaults to the Pixmend.dll beside this script. A 32-bit browser needs
rem the 32-bit DLL, registered by the 32-bit regsvr32 (SysWOW64 on 64-bit Windows).
setlocal
set "UNINSTALL="
set "SCOPE=machine"
:options
if /i "%~1"=="/u" (set "UNINSTALL=/u" & shift & goto options)
if /i "%~1"=="/user" (set "SCOPE=user" & shift & goto options)
set "DLL=%~f1"
if "%~1"=="" set "DLL=%~dp0Pixmend.dll"
if not exist "%DLL%" goto missing
rem The user's registration goes through DllInstall with the command line "user".
set "ARGS=/s %UNINSTALL%"
if "%SCOPE%"=="user" set "ARGS=/s %UNINSTALL% /n /i:user"
regsvr32 %ARGS% "%DLL%"
if errorlevel 1 goto failed
if defined UNINSTALL goto removed
echo Pixmend registered for the %SCOPE%: %DLL%
exit /b 0
:removed
echo Pixmend unregistered for the %SCOPE%: %DLL%
exit /b 0
:missing
echo Pixmend.dll not found: %DLL%
exit /b 1
:failed
echo regsvr32 %ARGS% "%DLL%" failed
exit /b 1
