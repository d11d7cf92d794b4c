# SPDX-License-Identifier: GPL-3.0-or-later
# The Windows build (the `windows` preset, cmake/mingw-w64-x86_64.cmake): fernwick-cli.exe, the Win32
# views and the cores' and engine's unit tests, nothing that needs Qt. Included by the top-level CMakeLists.txt.

# Windows 10's API (GetAdaptersAddresses' gateways, the IP helper's *2 functions).
# gmtime_r and localtime_r from mingw-w64's time.h.
add_compile_definitions(_WIN32_WINNT=0x0A00 WIN32_LEAN_AND_MEAN NOMINMAX _POSIX_THREAD_SAFE_FUNCTIONS=200112L)

# Asio, CLI11 and nlohmann-json are header-only and come from Debian's packages in /usr/include.
# The cross-compiler sees only their folders, through links, never /usr/include itself (whose
# system headers are Linux's).
set(host_headers ${PROJECT_BINARY_DIR}/host-headers)
file(MAKE_DIRECTORY ${host_headers})
foreach(entry asio asio.hpp CLI nlohmann)
    if(NOT EXISTS /usr/include/${entry})
        message(FATAL_ERROR "/usr/include/${entry} is missing: run scripts/deps.sh")
    endif()
    file(CREATE_LINK /usr/include/${entry} ${host_headers}/${entry} SYMBOLIC)
endforeach()
include_directories(SYSTEM ${host_headers})
add_library(CLI11::CLI11 INTERFACE IMPORTED)
add_library(nlohmann_json::nlohmann_json INTERFACE IMPORTED)

# libgcrypt (the image's SHA-256) from Debian's mingw-w64 build, linked statically.
find_library(GCRYPT_STATIC NAMES libgcrypt.a REQUIRED)
find_library(GPG_ERROR_STATIC NAMES libgpg-error.a REQUIRED)
add_library(PkgConfig::GCRYPT INTERFACE IMPORTED)
set_target_properties(PkgConfig::GCRYPT PROPERTIES INTERFACE_LINK_LIBRARIES
    "${GCRYPT_STATIC};${GPG_ERROR_STATIC};ws2_32")

add_subdirectory(src/common)
add_subdirectory(src/netif)
add_subdirectory(src/discovery)
add_subdirectory(src/doctor)
add_subdirectory(src/ipcontrol)
add_subdirectory(src/setip)
add_subdirectory(src/upgrade)
add_subdirectory(src/platform)
add_subdirectory(src/engine)
add_subdirectory(src/cli)
add_subdirectory(src/guilink)
add_subdirectory(src/app) # the main window's logic only
add_subdirectory(src/win32)
add_subdirectory(src/win32/resources)
add_subdirectory(tools/windrive)

# The manifest makes UTF-8 the program's ANSI code page; the arguments are read as UTF-16 anyway
# (platform/windows/WideText.h), so a system that ignores it loses nothing there.
enable_language(RC)
configure_file(packaging/windows/fernwick-cli.exe.manifest ${PROJECT_BINARY_DIR}/fernwick-cli.exe.manifest @ONLY)
file(WRITE ${PROJECT_BINARY_DIR}/fernwick-cli.rc
    "1 24 \"${PROJECT_BINARY_DIR}/fernwick-cli.exe.manifest\"\n") # RT_MANIFEST, the process's own
target_sources(fernwick-cli PRIVATE ${PROJECT_BINARY_DIR}/fernwick-cli.rc)
set_property(SOURCE ${PROJECT_BINARY_DIR}/fernwick-cli.rc APPEND PROPERTY OBJECT_DEPENDS
    ${PROJECT_BINARY_DIR}/fernwick-cli.exe.manifest)

if(FERNWICK_BUILD_TESTS)
    # GoogleTest from the sources Debian's libgtest-dev ships, built with this compiler.
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
    add_subdirectory(/usr/src/googletest ${PROJECT_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
    set_target_properties(gtest gtest_main PROPERTIES COMPILE_WARNING_AS_ERROR OFF)
    enable_testing()
    add_subdirectory(tests/windows)
endif()

include(cmake/WindowsPackage.cmake)
