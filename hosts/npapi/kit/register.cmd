@echo off
rem Registers npPixmend.dll for NPAPI browsers of the current user.
rem   register.cmd              the npPixmend.dll beside this script
rem   register.cmd PATH         that DLL
rem   register.cmd /u           removes the registration
rem Browsers read the key at start-up: restart them afterwards.
setlocal
set "KEY=HKCU\Software\MozillaPlugins\@corvane.com/npPixmend"
if /i "%~1"=="/u" goto remove
set "DLL=%~f1"
if "%~1"=="" set "DLL=%~dp0npPixmend.dll"
if not exist "%DLL%" goto missing
reg add "%KEY%" /v Path /d "%DLL%" /f >nul
if errorlevel 1 goto failed
reg add "%KEY%" /v ProductName /d npPixmend /f >nul
reg add "%KEY%" /v Description /d Pixmend /f >nul
reg add "%KEY%" /v Vendor /d Corvane /f >nul
reg add "%KEY%" /v Version /d 1.0.3.20662 /f >nul
reg add "%KEY%\MimeTypes\application/npPixmend" /v Description /d Pixmend /f >nul
if errorlevel 1 goto failed
echo npPixmend registered: %DLL%
exit /b 0
:remove
reg delete "%KEY%" /f >nul 2>&1
echo npPixmend unregistered.
exit /b 0
:missing
echo npPixmend.dll not found: %DLL%
exit /b 1
:failed
echo could not write %KEY%
exit /b 1
