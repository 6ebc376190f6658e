@echo off
rem Drop one slice of a stack on this file (or give its path) and it converts the whole stack in
rem that slice's folder, with slicevol.exe from this file's folder: shape017.tga -> slicevol shape.
rem Names may hold any character a folder or file may have (& ^ % ! and spaces among them): they
rem are taken into variables with delayed expansion off and printed with it on, so that cmd never
rem reads them as part of a command.
setlocal EnableExtensions DisableDelayedExpansion

rem Started by Explorer (a drop, a double-click), cmd runs this with /c and closes the window when
rem it ends: then it waits for a key, so that the outcome can be read.
set "fromExplorer="
set "line=%CMDCMDLINE%"
if defined line set "line=%line:"=%"
if defined line if /i not "%line:/c =%"=="%line%" set "fromExplorer=1"
set "status=1"

if "%~1"=="" goto usage
set "slice=%~nx1"
set "path1=%~f1"
if /i not "%~x1"==".tga" goto notSlice
if not "%~x1"==".tga" goto upperCase

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
rem Volumes of an earlier run make slicevol refuse: said here, with what to do.
set "existing="
if exist "%base%_b.df3" set "existing=%base%_b.df3"
if exist "%base%_g.df3" set "existing=%base%_g.df3"
if exist "%base%_r.df3" set "existing=%base%_r.df3"
if defined existing goto volumesThere
setlocal EnableDelayedExpansion
echo In !CD!:
echo slicevol "!base!"
endlocal
"%~dp0slicevol.exe" "%base%"
set "status=%ERRORLEVEL%"
if not "%status%"=="0" goto failed
setlocal EnableDelayedExpansion
echo Done: !base!_r.df3, !base!_g.df3 and !base!_b.df3 are in !CD!.
endlocal
goto done

:failed
rem None of the volumes was there before the run: any there now is what the run left.
set "left="
if exist "%base%_r.df3" set "left=%left% %base%_r.df3"
if exist "%base%_g.df3" set "left=%left% %base%_g.df3"
if exist "%base%_b.df3" set "left=%left% %base%_b.df3"
echo slicevol stopped with status %status%.
if defined left goto leftBehind
echo It left no volume behind.
goto done
:leftBehind
setlocal EnableDelayedExpansion
echo It left these unfinished volumes, which hold no whole stack: delete them:!left!
endlocal
goto done

:volumesThere
setlocal EnableDelayedExpansion
echo !existing! is already in !CD!, from an earlier run: slicevol never replaces a file.
echo Move !base!_r.df3, !base!_g.df3 and !base!_b.df3 elsewhere (or delete them), then drop the slice again.
endlocal
goto done

:usage
echo Drop one slice of a stack (a .tga file such as shape017.tga) on slicevol-drop.cmd, or run
echo     slicevol-drop C:\Renders\shape017.tga
echo to convert the whole stack that slice belongs to, in the slice's folder.
goto done

:notSlice
setlocal EnableDelayedExpansion
echo "!slice!" is not a slice: slices are .tga files, such as shape017.tga.
endlocal
goto done

:upperCase
setlocal EnableDelayedExpansion
echo "!slice!" ends in %~x1: slicevol takes only names that end in .tga, in lower case.
echo Rename the slices first, in their folder:  ren *%~x1 *.tga
endlocal
goto done

:notFound
setlocal EnableDelayedExpansion
echo "!path1!" is not there.
endlocal
goto done

:noDigits
setlocal EnableDelayedExpansion
echo "!slice!" has no number before .tga, so it belongs to no numbered stack: slicevol-drop needs
echo slices named like shape000.tga, shape001.tga, ... (or run slicevol with the basename yourself).
endlocal
goto done

:onlyDigits
setlocal EnableDelayedExpansion
echo "!slice!" has only digits before .tga: to convert every .tga file of its folder as one stack,
echo run  slicevol ""  there yourself.
endlocal
goto done

:done
if defined fromExplorer pause
exit /b %status%
