# make package-windows: slicevol-<version>-win64.zip from the Windows build, holding slicevol.exe
# (stripped), the manual as plain text and a short README, both with Windows line ends.
#   cmake -DBUILD=<Windows build folder> -DSOURCE=<source folder> -P cmake/packageWindows.cmake
file(STRINGS ${SOURCE}/CMakeLists.txt projectLine REGEX "^project\\(slicevol VERSION")
string(REGEX REPLACE ".*VERSION ([0-9.]+).*" "\\1" version "${projectLine}")
set(name slicevol-${version}-win64)
set(stage ${BUILD}/${name})
file(REMOVE_RECURSE ${stage})
file(MAKE_DIRECTORY ${stage})

find_program(STRIP x86_64-w64-mingw32-strip REQUIRED)
execute_process(COMMAND ${STRIP} -o ${stage}/slicevol.exe ${BUILD}/slicevol.exe COMMAND_ERROR_IS_FATAL ANY)

# The manual without the terminal's bold and underline, for Notepad.
find_program(GROFF groff REQUIRED)
execute_process(COMMAND ${GROFF} -t -man -Tascii -P-c -P-b -P-u -P-o ${BUILD}/slicevol.1
                OUTPUT_VARIABLE manual COMMAND_ERROR_IS_FATAL ANY)

function(writeWithCrLf file text)
  string(REPLACE "\n" "\r\n" text "${text}")
  file(WRITE ${file} "${text}")
endfunction()
writeWithCrLf(${stage}/slicevol.txt "${manual}")
file(READ ${SOURCE}/docs/README-windows.txt readme)
string(REPLACE "@VERSION@" "${version}" readme "${readme}")
writeWithCrLf(${stage}/README.txt "${readme}")

file(REMOVE ${BUILD}/${name}.zip)
execute_process(COMMAND ${CMAKE_COMMAND} -E tar cf ${name}.zip --format=zip ${name}
                WORKING_DIRECTORY ${BUILD} COMMAND_ERROR_IS_FATAL ANY)
message("${BUILD}/${name}.zip")
