# SPDX-License-Identifier: GPL-3.0-or-later
# The distribution's hardening for release builds (the default preset and the packages): fortified
# libc calls, stack protector, full RELRO with immediate binding, position-independent executables.
# On Debian the flags come from dpkg-buildflags with every hardening feature on; elsewhere the same
# set is spelt out. Optimisation and debug flags stay the build type's.

option(FERNWICK_HARDENING "Build with the distribution's hardening flags (dpkg-buildflags)" OFF)
if(NOT FERNWICK_HARDENING)
    return()
endif()

set(FERNWICK_HARDENING_COMPILE -D_FORTIFY_SOURCE=2 -fstack-protector-strong -Wformat -Werror=format-security)
set(FERNWICK_HARDENING_LINK -Wl,-z,relro -Wl,-z,now)
find_program(DPKG_BUILDFLAGS dpkg-buildflags)
if(DPKG_BUILDFLAGS)
    set(FERNWICK_HARDENING_COMPILE)
    set(FERNWICK_HARDENING_LINK)
    foreach(kind CPPFLAGS CXXFLAGS LDFLAGS)
        execute_process(COMMAND ${CMAKE_COMMAND} -E env DEB_BUILD_MAINT_OPTIONS=hardening=+all
                                ${DPKG_BUILDFLAGS} --get ${kind}
                        OUTPUT_VARIABLE flags OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
        separate_arguments(flags UNIX_COMMAND "${flags}")
        list(FILTER flags EXCLUDE REGEX "^-(g|O.*|ffile-prefix-map=.*|fdebug-prefix-map=.*)$")
        if(kind STREQUAL "LDFLAGS")
            list(APPEND FERNWICK_HARDENING_LINK ${flags})
        else()
            list(APPEND FERNWICK_HARDENING_COMPILE ${flags})
        endif()
    endforeach()
endif()

# _FORTIFY_SOURCE needs optimisation (glibc warns without it, and warnings are errors) and gets in
# the sanitizers' way, so a Debug or sanitizer build goes without it.
set(fortify ${FERNWICK_HARDENING_COMPILE})
list(FILTER fortify INCLUDE REGEX "^-D_FORTIFY_SOURCE")
list(FILTER FERNWICK_HARDENING_COMPILE EXCLUDE REGEX "^-D_FORTIFY_SOURCE")
if(fortify AND NOT FERNWICK_SANITIZE)
    add_compile_options("$<$<NOT:$<CONFIG:Debug>>:${fortify}>")
endif()
add_compile_options(${FERNWICK_HARDENING_COMPILE})
add_link_options(${FERNWICK_HARDENING_LINK})

set(CMAKE_POSITION_INDEPENDENT_CODE ON)
include(CheckPIESupported)
check_pie_supported()
string(JOIN " " shown ${fortify} ${FERNWICK_HARDENING_COMPILE} ${FERNWICK_HARDENING_LINK} -pie)
message(STATUS "Hardening: ${shown}")
