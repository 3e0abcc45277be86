# Install rules and the Debian package "kestova".
#
# The package is made by CPack's DEB generator from this build tree, so the
# binaries that were tested are the ones that ship and no second build is
# needed: after a build, `cpack -G DEB` in the build directory writes
# kestova_VERSION_ARCH.deb there (scripts/package does both steps).
#
#   /usr/lib/ARCH/gcin/kestova.so          the module, in gcin's module directory
#   /usr/share/kestova/kestova-data.txt    the built-in phrase database
#   /usr/share/kestova/kestova-context.bin the context file (word-pair scores)
#   /usr/bin/kestova-play, kestova-eval    the playground and the evaluation
#   /usr/share/man/man1/                   their manual pages
#   /usr/share/doc/kestova/                README.md, copyright, changelog
#
# The module reads both data files under /usr/local/share/gcin/kestova/data,
# where a package may not ship files; the maintainer scripts in cmake/deb
# link the shipped files there on configure and take the links away on remove.

set(_kestova_deb ${CMAKE_CURRENT_LIST_DIR}/deb)
set(_kestova_package_dir ${CMAKE_BINARY_DIR}/package)

# The package version: the project version, then the number of commits and
# the commit, so that every commit's package sorts above the one before
# (0.1.0+git412.1a2b3c4d < 0.1.0+git413.5e6f7a8b).
set(KESTOVA_PACKAGE_VERSION "" CACHE STRING "Version of the Debian package (empty: from git)")
set(_kestova_version ${PROJECT_VERSION})
set(_kestova_date "")
find_package(Git QUIET)
if(GIT_FOUND)
  execute_process(
    COMMAND ${GIT_EXECUTABLE} rev-list --count HEAD
    WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
    RESULT_VARIABLE _count_result
    OUTPUT_VARIABLE _count
    ERROR_QUIET OUTPUT_STRIP_TRAILING_WHITESPACE)
  execute_process(
    COMMAND ${GIT_EXECUTABLE} log -1 --format=%h%n%cD --abbrev=8
    WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
    RESULT_VARIABLE _log_result
    OUTPUT_VARIABLE _log
    ERROR_QUIET OUTPUT_STRIP_TRAILING_WHITESPACE)
  if(_count_result EQUAL 0 AND _log_result EQUAL 0 AND _log MATCHES "^([0-9a-f]+)\n(.+)$")
    set(_kestova_version ${PROJECT_VERSION}+git${_count}.${CMAKE_MATCH_1})
    set(_kestova_date "${CMAKE_MATCH_2}")
  endif()
  # A new commit changes the version: configure again after one.
  execute_process(
    COMMAND ${GIT_EXECUTABLE} rev-parse --git-path logs/HEAD
    WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
    RESULT_VARIABLE _reflog_result
    OUTPUT_VARIABLE _reflog
    ERROR_QUIET OUTPUT_STRIP_TRAILING_WHITESPACE)
  if(_reflog_result EQUAL 0)
    get_filename_component(_reflog "${_reflog}" ABSOLUTE BASE_DIR ${PROJECT_SOURCE_DIR})
    if(EXISTS "${_reflog}")
      set_property(DIRECTORY ${PROJECT_SOURCE_DIR} APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${_reflog}")
    endif()
  endif()
endif()
if(KESTOVA_PACKAGE_VERSION)
  set(_kestova_version ${KESTOVA_PACKAGE_VERSION})
endif()
if(NOT _kestova_date)
  string(TIMESTAMP _kestova_date "%a, %d %b %Y %H:%M:%S +0000" UTC)
endif()
set(KESTOVA_PACKAGE_VERSION_RESOLVED ${_kestova_version} CACHE INTERNAL "Version of the Debian package")

# Files made for the package: the changelog and the manual pages, compressed
# as Debian wants them (gzip -9n: no name or time stamp inside).
set(KESTOVA_PACKAGE_DATE "${_kestova_date}")
configure_file(${_kestova_deb}/changelog.in ${_kestova_package_dir}/changelog @ONLY)
set(_kestova_gzipped)
foreach(source IN ITEMS ${_kestova_package_dir}/changelog ${PROJECT_SOURCE_DIR}/man/kestova-play.1
                        ${PROJECT_SOURCE_DIR}/man/kestova-eval.1)
  get_filename_component(name ${source} NAME)
  add_custom_command(
    OUTPUT ${_kestova_package_dir}/${name}.gz
    COMMAND sh -c "gzip -9n -c \"$1\" > \"$2\"" gzip ${source} ${_kestova_package_dir}/${name}.gz
    DEPENDS ${source}
    VERBATIM)
  list(APPEND _kestova_gzipped ${_kestova_package_dir}/${name}.gz)
endforeach()
add_custom_target(kestova_package_docs ALL DEPENDS ${_kestova_gzipped})

# Everything the package holds; scripts/run builds only this. Installing does
# not build first (the tests and benchmarks are no part of the package).
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)
add_custom_target(kestova_package_files)
add_dependencies(kestova_package_files kestova_module kestova-play kestova-eval kestova_data
                 kestova_package_docs)

# kestova_install_by_rename(SOURCE DESTINATION NAME MODE [STRIP])
# Installs SOURCE as DESTINATION/NAME (relative to the prefix) by copying it
# next to the installed file and renaming it over that, never by writing
# into the installed file as install(TARGETS) and install(FILES) do: a
# running gcin keeps the module and the data files mapped, and a file
# rewritten under its mapping kills it (SIGBUS). STRIP strips it when the
# installation strips (cmake --install --strip, CPack) as dh_strip would.
function(kestova_install_by_rename source destination name mode)
  cmake_parse_arguments(ARG "STRIP" "" "" ${ARGN})
  set(strip "")
  if(ARG_STRIP)
    set(strip "
    if(CMAKE_INSTALL_DO_STRIP)
      execute_process(COMMAND \"${CMAKE_STRIP}\" --strip-unneeded --remove-section=.comment
                              --remove-section=.note \"\${_to}.new\" COMMAND_ERROR_IS_FATAL ANY)
    endif()")
  endif()
  install(CODE "
    set(_to \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${destination}/${name}\")
    message(STATUS \"Installing: \${_to}\")
    get_filename_component(_dir \"\${_to}\" DIRECTORY)
    file(MAKE_DIRECTORY \"\${_dir}\")
    file(COPY_FILE \"${source}\" \"\${_to}.new\")${strip}
    file(CHMOD \"\${_to}.new\" PERMISSIONS ${mode})
    file(RENAME \"\${_to}.new\" \"\${_to}\")
    list(APPEND CMAKE_INSTALL_MANIFEST_FILES \"\${_to}\")
  ")
endfunction()

set(_kestova_file_mode OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
set(_kestova_program_mode ${_kestova_file_mode} OWNER_EXECUTE GROUP_EXECUTE WORLD_EXECUTE)
# Destinations are relative to the package's prefix, /usr.
string(REGEX REPLACE "^/usr/" "" _kestova_module_destination ${KESTOVA_GCIN_MODULE_DIR})
kestova_install_by_rename($<TARGET_FILE:kestova_module> ${_kestova_module_destination} kestova.so
                          "${_kestova_file_mode}" STRIP)
foreach(program kestova-play kestova-eval)
  kestova_install_by_rename($<TARGET_FILE:${program}> bin ${program} "${_kestova_program_mode}" STRIP)
endforeach()
get_property(_kestova_data GLOBAL PROPERTY KESTOVA_BUILTIN_DATA)
get_property(_kestova_context GLOBAL PROPERTY KESTOVA_BUILTIN_CONTEXT)
kestova_install_by_rename(${_kestova_data} share/kestova kestova-data.txt "${_kestova_file_mode}")
kestova_install_by_rename(${_kestova_context} share/kestova kestova-context.bin "${_kestova_file_mode}")
install(FILES ${_kestova_package_dir}/kestova-play.1.gz ${_kestova_package_dir}/kestova-eval.1.gz
        DESTINATION share/man/man1)
install(FILES ${PROJECT_SOURCE_DIR}/README.md ${_kestova_deb}/copyright ${_kestova_package_dir}/changelog.gz
        DESTINATION share/doc/kestova)
install(FILES ${_kestova_deb}/lintian-overrides DESTINATION share/lintian/overrides RENAME kestova)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kestova)
set(CPACK_PACKAGE_VERSION ${_kestova_version})
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
# The project's own files are under the MIT licence; cmake/deb/copyright
# gives it and the terms of the sources the data files are made from.
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Bopomofo (Zhuyin) input method for Traditional Chinese, for gcin")
set(CPACK_PACKAGE_DESCRIPTION "\
Kestova is a phonetic input method for Traditional Chinese typed in
Bopomofo (Zhuyin), loaded by the gcin input method platform. Completed
syllables are converted with a statistical language model; candidates,
user phrases, punctuation, date and time macros and several export
notations are at hand on the keyboard.

This package holds the gcin module, its built-in phrase database and the
context file of word-pair scores that the conversion weighs with it, and
two command-line tools: kestova-play, a terminal playground that types
into the module, and kestova-eval, which measures the conversion accuracy.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Kestova developers <kestova@example.org>")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "gcin (>= 2.9)")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The candidate lists offer characters beyond the Basic Multilingual Plane
# after Taiwan's standard ones; this font draws them.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS fonts-hanazono)
set(CPACK_DEBIAN_PACKAGE_SUGGESTS xvfb)
# gzip packs the 14 MB text database several times faster than xz, for
# about a quarter more bytes; the package is made where it is installed.
set(CPACK_DEBIAN_COMPRESSION_TYPE gzip)
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${_kestova_deb}/postinst ${_kestova_deb}/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
