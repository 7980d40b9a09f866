# Installs the build with the prefix /usr into a scratch root (DESTDIR, so that a destination that
# escapes the prefix shows up too) and checks the files: the application's and no others (nothing
# of the lab, the tests, the benchmarks or the generator).
file(REMOVE_RECURSE "${ROOT}")
execute_process(COMMAND "${CMAKE_COMMAND}" -E env "DESTDIR=${ROOT}" "${CMAKE_COMMAND}" --install "${BUILD_DIR}" --prefix /usr
  RESULT_VARIABLE status OUTPUT_QUIET)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "cmake --install failed: ${status}")
endif()
file(GLOB_RECURSE installed RELATIVE "${ROOT}" "${ROOT}/*")
list(SORT installed)

set(expected
  usr/lib/udev/rules.d/70-flashwell.rules
  usr/share/applications/io.github.fenwyk.Flashwell.desktop
  usr/share/icons/hicolor/128x128/apps/io.github.fenwyk.Flashwell.png
  usr/share/icons/hicolor/256x256/apps/io.github.fenwyk.Flashwell.png
  usr/share/icons/hicolor/48x48/apps/io.github.fenwyk.Flashwell.png
  usr/share/icons/hicolor/scalable/apps/io.github.fenwyk.Flashwell.svg
  usr/share/metainfo/io.github.fenwyk.Flashwell.metainfo.xml)
# The program, once its target exists in this build.
if(WITH_PROGRAM)
  list(APPEND expected usr/bin/flashwell usr/share/man/man1/flashwell.1.gz)
endif()
if(WITH_CLI)
  list(APPEND expected usr/bin/flashwell-cli usr/share/man/man1/flashwell-cli.1.gz)
endif()
# The documentation the Debian package carries.
list(APPEND expected usr/share/doc/flashwell/changelog.gz usr/share/doc/flashwell/copyright)
list(SORT expected)

if(NOT installed STREQUAL expected)
  list(JOIN installed "\n  " got)
  list(JOIN expected "\n  " want)
  message(FATAL_ERROR "installed:\n  ${got}\nexpected:\n  ${want}")
endif()
list(LENGTH installed count)
message(STATUS "${count} files installed, as expected")
