# SPDX-License-Identifier: GPL-3.0-or-later
# fernwick-cli-VERSION-windows-x64.zip: the program, the licence and a README for Windows users.
#   cmake --build --preset windows --target windows-zip
set(zip_name fernwick-cli-${PROJECT_VERSION}-windows-x64)
set(zip_stage ${PROJECT_BINARY_DIR}/zip/${zip_name})
configure_file(${PROJECT_SOURCE_DIR}/packaging/windows/README.txt.in ${PROJECT_BINARY_DIR}/zip/README.txt @ONLY
    NEWLINE_STYLE CRLF)
add_custom_target(windows-zip
    COMMAND ${CMAKE_COMMAND} -E rm -rf ${zip_stage} ${PROJECT_BINARY_DIR}/${zip_name}.zip
    COMMAND ${CMAKE_COMMAND} -E make_directory ${zip_stage}
    COMMAND ${CMAKE_STRIP} -o ${zip_stage}/fernwick-cli.exe $<TARGET_FILE:fernwick-cli>
    COMMAND ${CMAKE_COMMAND} -E copy ${PROJECT_SOURCE_DIR}/LICENSE ${zip_stage}/LICENSE.txt
    COMMAND ${CMAKE_COMMAND} -E copy ${PROJECT_BINARY_DIR}/zip/README.txt ${zip_stage}/
    COMMAND ${CMAKE_COMMAND} -E tar cf ${PROJECT_BINARY_DIR}/${zip_name}.zip --format=zip ${zip_name}
    WORKING_DIRECTORY ${PROJECT_BINARY_DIR}/zip
    DEPENDS fernwick-cli
    COMMENT "Packing ${zip_name}.zip"
    VERBATIM)
