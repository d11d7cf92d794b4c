# SPDX-License-Identifier: GPL-3.0-or-later
# fernwick-cli-VERSION-windows-x64.zip: the program, the licence, the notices of the libraries linked
# into it with the source offer (THIRD-PARTY.txt) and a README for Windows users.
#   cmake --build --preset windows --target windows-zip
set(zip_name fernwick-cli-${PROJECT_VERSION}-windows-x64)
set(zip_stage ${PROJECT_BINARY_DIR}/zip/${zip_name})
configure_file(${PROJECT_SOURCE_DIR}/packaging/windows/README.txt.in ${PROJECT_BINARY_DIR}/zip/README.txt @ONLY
    NEWLINE_STYLE CRLF)
# What the linker put into the .exe besides our code: libgcrypt, the header-only libraries, the C++
# and GCC runtime, mingw-w64's C runtime and winpthreads.
set(runtime_archives)
foreach(archive libstdc++.a libgcc.a libgcc_eh.a libwinpthread.a libmingwex.a)
    execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${archive} OUTPUT_VARIABLE path
                    OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
    if(NOT IS_ABSOLUTE "${path}")
        message(FATAL_ERROR "${CMAKE_CXX_COMPILER} does not know where ${archive} is")
    endif()
    list(APPEND runtime_archives ${path})
endforeach()
fernwick_third_party(${PROJECT_BINARY_DIR}/zip/THIRD-PARTY.txt
    TITLE "Third-party notices: fernwick-cli ${PROJECT_VERSION} for Windows"
    PROGRAM "fernwick-cli.exe"
    LICENSE "see LICENSE.txt"
    SCOPE "It has the libraries below linked in, statically: no DLL of theirs comes with it."
    INPUTS ${GCRYPT_STATIC} ${GPG_ERROR_STATIC} /usr/include/CLI/CLI.hpp /usr/include/nlohmann/json.hpp
           /usr/include/asio.hpp ${runtime_archives}
    LICENSE_TEXTS CRLF)

add_custom_target(windows-zip
    COMMAND ${CMAKE_COMMAND} -E rm -rf ${zip_stage} ${PROJECT_BINARY_DIR}/${zip_name}.zip
    COMMAND ${CMAKE_COMMAND} -E make_directory ${zip_stage}
    COMMAND ${CMAKE_STRIP} -o ${zip_stage}/fernwick-cli.exe $<TARGET_FILE:fernwick-cli>
    COMMAND ${CMAKE_COMMAND} -E copy ${PROJECT_SOURCE_DIR}/LICENSE ${zip_stage}/LICENSE.txt
    COMMAND ${CMAKE_COMMAND} -E copy ${PROJECT_BINARY_DIR}/zip/README.txt ${PROJECT_BINARY_DIR}/zip/THIRD-PARTY.txt
            ${zip_stage}/
    COMMAND ${CMAKE_COMMAND} -E tar cf ${PROJECT_BINARY_DIR}/${zip_name}.zip --format=zip ${zip_name}
    WORKING_DIRECTORY ${PROJECT_BINARY_DIR}/zip
    DEPENDS fernwick-cli ${PROJECT_BINARY_DIR}/zip/THIRD-PARTY.txt
    COMMENT "Packing ${zip_name}.zip"
    VERBATIM)
