# SPDX-License-Identifier: GPL-3.0-or-later
# Shared target helpers: every target of ours gets the same warnings and include root.

# Who answers for the packages and where the project lives: defined here only. The domain is a
# reserved one (RFC 2606) until the project has its own; lintian accepts it as a mail host.
set(FERNWICK_MAINTAINER "Fernwick developers <developers@fernwick.example.org>")
set(FERNWICK_HOMEPAGE "https://fernwick.example.org")

function(fernwick_warnings target)
    # -Werror comes from the developer and CI presets (CMAKE_COMPILE_WARNING_AS_ERROR), so that a
    # packager's newer compiler with new warnings still builds.
    target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic)
endfunction()

# A library without Qt (the pure cores, the platform facts, the doctor's gathering): no Qt is ever
# linked into it, so a Qt include fails to build.
function(fernwick_core_library name)
    cmake_parse_arguments(ARG "" "" "SOURCES;DEPENDS" ${ARGN})
    add_library(${name} STATIC ${ARG_SOURCES})
    target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(${name} PUBLIC ${ARG_DEPENDS})
    fernwick_warnings(${name})
endfunction()

# A Qt-based library (windows, platform glue).
function(fernwick_qt_library name)
    if(FERNWICK_CORES_ONLY OR WIN32)
        return() # a cores-only tree and the Windows build have no Qt
    endif()
    cmake_parse_arguments(ARG "" "" "SOURCES;DEPENDS" ${ARGN})
    add_library(${name} STATIC ${ARG_SOURCES})
    set_target_properties(${name} PROPERTIES AUTOMOC ON AUTORCC ON)
    target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(${name} PUBLIC ${ARG_DEPENDS})
    fernwick_warnings(${name})
endfunction()

# A GoogleTest binary. LABEL is unit, gui or net.
#   unit: plain gtest_main.
#   gui:  tests/support's main, which makes a QApplication on the offscreen platform.
#   net:  tests/support's main, which exits 77 (reported as skipped) unless run as root.
# gui and net binaries run whole: one that skipped a test (GTEST_SKIP) and failed none exits 77 too.
# unit tests are one CTest test each, whose GTEST_SKIP gtest_discover_tests reports as skipped.
function(fernwick_test name)
    cmake_parse_arguments(ARG "" "LABEL" "SOURCES;DEPENDS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    set_target_properties(${name} PROPERTIES AUTOMOC ON AUTORCC ON)
    target_link_libraries(${name} PRIVATE ${ARG_DEPENDS} GTest::gtest)
    target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/src ${PROJECT_SOURCE_DIR}/tests)
    fernwick_warnings(${name})
    if(ARG_LABEL STREQUAL "unit")
        target_link_libraries(${name} PRIVATE GTest::gtest_main)
        # Listing the tests of a large binary on a busy machine takes longer than the default 5 s.
        gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60 PROPERTIES LABELS unit)
    elseif(ARG_LABEL STREQUAL "gui")
        target_link_libraries(${name} PRIVATE fw_test_support_gui)
        add_test(NAME ${name} COMMAND ${name})
        set_tests_properties(${name} PROPERTIES LABELS gui SKIP_RETURN_CODE 77
            ENVIRONMENT "QT_QPA_PLATFORM=offscreen" TIMEOUT 300)
    elseif(ARG_LABEL STREQUAL "net")
        target_link_libraries(${name} PRIVATE fw_test_support_net)
        add_test(NAME ${name} COMMAND ${name})
        set_tests_properties(${name} PROPERTIES LABELS net SKIP_RETURN_CODE 77 TIMEOUT 900
            ENVIRONMENT "QT_QPA_PLATFORM=offscreen;FERNWICK_SOURCE_DIR=${PROJECT_SOURCE_DIR};FERNWICK_BINARY_DIR=${PROJECT_BINARY_DIR}")
    else()
        message(FATAL_ERROR "fernwick_test(${name}): LABEL must be unit, gui or net")
    endif()
endfunction()

# A package's THIRD-PARTY notice (packaging/THIRD-PARTY.in, then cmake/ThirdParty.cmake at build time):
# the notices of the Debian packages that hold INPUTS, the files the programs were built from.
#   fernwick_third_party(OUT TITLE t PROGRAM p LICENSE where SCOPE s INPUTS f... [LICENSE_TEXTS] [CRLF])
function(fernwick_third_party out)
    cmake_parse_arguments(ARG "LICENSE_TEXTS;CRLF" "TITLE;PROGRAM;LICENSE;SCOPE" "INPUTS" ${ARGN})
    set(third_party_title "${ARG_TITLE}")
    string(LENGTH "${ARG_TITLE}" length)
    string(REPEAT "=" ${length} third_party_rule)
    set(third_party_program "${ARG_PROGRAM}")
    set(third_party_license "${ARG_LICENSE}")
    set(third_party_scope "${ARG_SCOPE}")
    configure_file(${PROJECT_SOURCE_DIR}/packaging/THIRD-PARTY.in ${out}.head @ONLY)
    add_custom_command(OUTPUT ${out}
        COMMAND ${CMAKE_COMMAND} -DOUT=${out} -DHEAD=${out}.head "-DINPUTS=${ARG_INPUTS}"
                -DLICENSE_TEXTS=${ARG_LICENSE_TEXTS} -DCRLF=${ARG_CRLF} -P ${PROJECT_SOURCE_DIR}/cmake/ThirdParty.cmake
        DEPENDS ${out}.head ${ARG_INPUTS} ${PROJECT_SOURCE_DIR}/cmake/ThirdParty.cmake
        COMMENT "Third-party notices ${out}"
        VERBATIM)
    add_custom_target(third-party ALL DEPENDS ${out})
endfunction()
