@echo off
rem Drop one slice of a stack on this file (or give its path) and it converts the whole stack in
rem that slice's folder, with slicevol.exe from this file's folder: shape017.tga -> slicevol shape.
setlocal EnableExtensions DisableDelayedExpansion

rem Started by Explorer (a drop, a double-click), cmd runs this with /c and closes the window when
rem it ends: then it waits for a key, so that the outcome can be read.
set "fromExplorer="
set "line=%CMDCMDLINE%"
if defined line set "line=%line:"=%"
if defined line if /i not "%line:/c =%"=="%line%" set "fromExplorer=1"
set "status=1"

if "%~1"=="" goto usage
if /i not "%~x1"==".tga" goto notSlice

rem The basename: the slice's name without .tga and without the digits before it.
set "base=%~n1"
set "digits="
:strip
if not defined base goto stripped
set "isDigit="
for %%d in (0 1 2 3 4 5 6 7 8 9) do if "%base:~-1%"=="%%d" set "isDigit=1"
if not defined isDigit goto stripped
set "base=%base:~0,-1%"
set "digits=1"
goto strip
:stripped
if not defined digits goto noDigits
if not defined base goto onlyDigits

if not exist "%~f1" goto notFound
cd /d "%~dp1"
echo In %CD%:
echo slicevol "%base%"
"%~dp0slicevol.exe" "%base%"
set "status=%ERRORLEVEL%"
if not "%status%"=="0" goto failed
echo Done: %base%_r.df3, %base%_g.df3 and %base%_b.df3 are in %CD%.
goto done

:failed
echo slicevol stopped with status %status%: its message is above. It left no unfinished volume.
goto done

:usage
echo Drop one slice of a stack (a .tga file such as shape017.tga) on slicevol-drop.cmd, or run
echo     slicevol-drop C:\Renders\shape017.tga
echo to convert the whole stack that slice belongs to, in the slice's folder.
goto done

:notSlice
echo "%~nx1" is not a slice: slices are .tga files, such as shape017.tga.
goto done

:notFound
echo "%~f1" is not there.
goto done

:noDigits
echo "%~nx1" has no number before .tga, so it belongs to no numbered stack: slicevol-drop needs
echo slices named like shape000.tga, shape001.tga, ... (or run slicevol with the basename yourself).
goto done

:onlyDigits
echo "%~nx1" has only digits before .tga: to convert every .tga file of its folder as one stack,
echo run  slicevol ""  there yourself.
goto done

:done
if defined fromExplorer pause
exit /b %status%
