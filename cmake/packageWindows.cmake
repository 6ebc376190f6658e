# make package-windows: slicevol-<version>-win64.zip from the Windows build, and its SHA-256 file.
# The zip holds one folder: slicevol.exe (stripped), the example scene, the manual
# as plain text, a README and the notices of the runtime parts linked into the exe, the text files
# with Windows line ends.
#   cmake -DBUILD=<Windows build folder> -DSOURCE=<source folder> -P cmake/packageWindows.cmake
file(STRINGS ${SOURCE}/CMakeLists.txt projectLine REGEX "^project\\(slicevol VERSION")
string(REGEX REPLACE ".*VERSION ([0-9.]+).*" "\\1" version "${projectLine}")
set(name slicevol-${version}-win64)
set(stage ${BUILD}/${name})
file(REMOVE_RECURSE ${stage})
file(MAKE_DIRECTORY ${stage}/licences)

find_program(STRIP x86_64-w64-mingw32-strip REQUIRED)
# Each step must succeed (execute_process's COMMAND_ERROR_IS_FATAL needs CMake 3.19).
function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE failed OUTPUT_VARIABLE output)
  if(failed)
    message(FATAL_ERROR "${ARGN} failed: ${failed}")
  endif()
  set(output "${output}" PARENT_SCOPE)
endfunction()
run(${STRIP} -o ${stage}/slicevol.exe ${BUILD}/slicevol.exe)

# The manual without the terminal's bold and underline, for Notepad: one line a paragraph, which
# Notepad wraps to its window, not hyphenated and with a ragged right edge, so that its search finds
# every command and every message whole. The page's header and footer keep their width.
find_program(GROFF groff REQUIRED)
file(READ ${BUILD}/slicevol.1 page)
string(REGEX REPLACE "(\n\\.TH [^\n]*\n)" "\\1.nh\n.ad l\n.ll 4000n\n" page "${page}")
file(WRITE ${BUILD}/slicevol-text.1 "${page}")
run(${GROFF} -t -man -Tascii -P-c -P-b -P-u -P-o ${BUILD}/slicevol-text.1)
set(manual "${output}")
# Every command the page sets in bold (.B "...", .BR "...") is in the text whole, on one line.
string(REGEX MATCHALL "\n\\.BR? \"[^\"]*\"" commands "${page}")
foreach(command IN LISTS commands)
  string(REGEX REPLACE "^\n\\.BR? \"(.*)\"$" "\\1" command "${command}")
  string(REPLACE "\\-" "-" command "${command}")
  string(REPLACE "\\e" "\\" command "${command}")
  string(FIND "${manual}" "${command}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "slicevol.txt splits or lacks the command: ${command}")
  endif()
endforeach()
list(LENGTH commands count)
message("slicevol.txt holds each of the page's ${count} commands whole")

function(writeWithCrLf file text)
  string(REPLACE "\r\n" "\n" text "${text}")
  string(REPLACE "\n" "\r\n" text "${text}")
  file(WRITE ${file} "${text}")
endfunction()
function(copyWithCrLf from to)
  file(READ ${from} text)
  string(REPLACE "@VERSION@" "${version}" text "${text}")
  writeWithCrLf(${to} "${text}")
endfunction()
writeWithCrLf(${stage}/slicevol.txt "${manual}")
copyWithCrLf(${SOURCE}/windows/README.txt ${stage}/README.txt)
copyWithCrLf(${SOURCE}/examples/volume.pov ${stage}/volume.pov)
copyWithCrLf(${SOURCE}/LICENSE ${stage}/licences/slicevol.txt)

# slicevol.exe is linked statically with the MinGW-w64 runtime (its C runtime start-up code and
# winpthreads) and GCC's runtime libraries; their licences ask that their notices travel with it.
# They come from the Debian packages the exe was built with.
foreach(notice "mingw-w64-runtime.txt=mingw-w64-x86-64-dev"
               "gcc-runtime.txt=gcc-mingw-w64-x86-64-posix-runtime")
  string(REPLACE "=" ";" parts "${notice}")
  list(GET parts 0 file)
  list(GET parts 1 package)
  set(copyright /usr/share/doc/${package}/copyright)
  if(NOT EXISTS ${copyright})
    message(FATAL_ERROR "${copyright} not found (Debian: apt-get install mingw-w64 g++-mingw-w64-x86-64-posix)")
  endif()
  copyWithCrLf(${copyright} ${stage}/licences/${file})
endforeach()

file(REMOVE ${BUILD}/${name}.zip)
run(${CMAKE_COMMAND} -E chdir ${BUILD} ${CMAKE_COMMAND} -E tar cf ${name}.zip --format=zip ${name})
file(SHA256 ${BUILD}/${name}.zip sum)
file(WRITE ${BUILD}/${name}.zip.sha256 "${sum}  ${name}.zip\n")
message("${BUILD}/${name}.zip")
message("${BUILD}/${name}.zip.sha256")
