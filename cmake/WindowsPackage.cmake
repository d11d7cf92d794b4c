# SPDX-License-Identifier: GPL-3.0-or-later
# The Windows packages, both from one staged folder (build/windows/package) of the programs, the
# licence, the notices of the libraries linked into them with the source offer (THIRD-PARTY.txt)
# and a README for Windows users:
#   cmake --build --preset windows --target windows-zip   # fernwick-cli-VERSION-windows-x64.zip
#   cmake --build --preset windows --target windows-msi   # fernwick-VERSION-x64.msi (wixl)

# The programs the packages carry, as targets of this build. With the window (`fernwick`, from
# src/win32) the MSI's Start-menu shortcut opens it; without it, the README.
if(TARGET fernwick)
    set(windows_programs fernwick fernwick-cli)
    set(readme_window_text [=[

fernwick.exe is the window: it searches every adapter when it starts and lists the devices it
finds; a device's row menu (right click) sets its address or uploads firmware to it. The MSI adds
it to the Start menu as "Fernwick". fernwick-cli.exe does the same from the command line.
]=])
else()
    set(windows_programs fernwick-cli)
    set(readme_window_text "")
endif()

set(package_dir ${PROJECT_BINARY_DIR}/package)
configure_file(${PROJECT_SOURCE_DIR}/packaging/windows/README.txt.in ${package_dir}/README.txt @ONLY
    NEWLINE_STYLE CRLF)
# What the linker put into the .exe files besides our code: libgcrypt, the header-only libraries,
# the C++ and GCC runtime, mingw-w64's C runtime and winpthreads.
set(runtime_archives)
foreach(archive libstdc++.a libgcc.a libgcc_eh.a libwinpthread.a libmingwex.a)
    execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${archive} OUTPUT_VARIABLE path
                    OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
    if(NOT IS_ABSOLUTE "${path}")
        message(FATAL_ERROR "${CMAKE_CXX_COMPILER} does not know where ${archive} is")
    endif()
    list(APPEND runtime_archives ${path})
endforeach()
list(TRANSFORM windows_programs APPEND .exe OUTPUT_VARIABLE program_files)
list(JOIN program_files " and " program_names)
fernwick_third_party(${package_dir}/THIRD-PARTY.txt
    TITLE "Third-party notices: Fernwick ${PROJECT_VERSION} for Windows"
    PROGRAM "${program_names}"
    LICENSE "see LICENSE.txt"
    SCOPE "It has the libraries below linked in, statically: no DLL of theirs comes with it."
    INPUTS ${GCRYPT_STATIC} ${GPG_ERROR_STATIC} /usr/include/CLI/CLI.hpp /usr/include/nlohmann/json.hpp
           /usr/include/asio.hpp ${runtime_archives}
    LICENSE_TEXTS CRLF)

# The firewall rules for both programs, added and removed by a script beside them.
set(package_files ${program_files} fernwick-firewall.ps1 LICENSE.txt README.txt THIRD-PARTY.txt)
list(TRANSFORM package_files PREPEND ${package_dir}/ OUTPUT_VARIABLE package_paths)
foreach(program IN LISTS windows_programs)
    add_custom_command(OUTPUT ${package_dir}/${program}.exe
        COMMAND ${CMAKE_STRIP} -o ${package_dir}/${program}.exe $<TARGET_FILE:${program}>
        DEPENDS ${program}
        VERBATIM)
endforeach()
add_custom_command(OUTPUT ${package_dir}/fernwick-firewall.ps1
    COMMAND ${CMAKE_COMMAND} -E copy ${PROJECT_SOURCE_DIR}/packaging/windows/fernwick-firewall.ps1
            ${package_dir}/fernwick-firewall.ps1
    DEPENDS ${PROJECT_SOURCE_DIR}/packaging/windows/fernwick-firewall.ps1
    VERBATIM)
add_custom_command(OUTPUT ${package_dir}/LICENSE.txt
    COMMAND ${CMAKE_COMMAND} -E copy ${PROJECT_SOURCE_DIR}/LICENSE ${package_dir}/LICENSE.txt
    DEPENDS ${PROJECT_SOURCE_DIR}/LICENSE
    VERBATIM)

set(zip_name fernwick-cli-${PROJECT_VERSION}-windows-x64)
set(zip_stage ${PROJECT_BINARY_DIR}/zip/${zip_name})
file(MAKE_DIRECTORY ${PROJECT_BINARY_DIR}/zip)
add_custom_target(windows-zip
    COMMAND ${CMAKE_COMMAND} -E rm -rf ${zip_stage} ${PROJECT_BINARY_DIR}/${zip_name}.zip
    COMMAND ${CMAKE_COMMAND} -E make_directory ${zip_stage}
    COMMAND ${CMAKE_COMMAND} -E copy ${package_paths} ${zip_stage}/
    COMMAND ${CMAKE_COMMAND} -E tar cf ${PROJECT_BINARY_DIR}/${zip_name}.zip --format=zip ${zip_name}
    WORKING_DIRECTORY ${PROJECT_BINARY_DIR}/zip
    DEPENDS ${package_paths}
    COMMENT "Packing ${zip_name}.zip"
    VERBATIM)

# The MSI's .wxs: one component per file, each with a GUID made from this namespace and the file's
# name, so that the same file keeps its component from release to release (never change it).
# wixl takes the files by names relative to where it runs: the staged folder.
set(component_namespace 8E4B1C2D-5F60-4A71-9B83-C4D5E6F70819)
if("fernwick" IN_LIST windows_programs)
    set(shortcut_file fernwick.exe)
    set(shortcut_name Fernwick)
    set(shortcut_description "Find, address and upgrade the wireless devices on this computer's networks")
else()
    set(shortcut_file README.txt)
    set(shortcut_name "Fernwick README")
    set(shortcut_description "How to use fernwick-cli.exe from a command prompt")
endif()
set(msi_components)
set(msi_component_refs)
foreach(file IN LISTS package_files)
    string(MAKE_C_IDENTIFIER "${file}" id)
    string(UUID guid NAMESPACE ${component_namespace} NAME "${file}" TYPE SHA1 UPPER)
    string(APPEND msi_components
        "          <Component Id=\"${id}\" Guid=\"${guid}\" Win64=\"yes\">\n"
        "            <File Id=\"${id}\" Name=\"${file}\" Source=\"${file}\" KeyPath=\"yes\"/>\n")
    if(file STREQUAL shortcut_file)
        string(APPEND msi_components
            "            <Shortcut Id=\"StartMenuShortcut\" Directory=\"ProgramMenuFolder\" Name=\"${shortcut_name}\"\n"
            "                      Description=\"${shortcut_description}\" Target=\"[#${id}]\" WorkingDirectory=\"INSTALLDIR\"/>\n")
    endif()
    string(APPEND msi_components "          </Component>\n")
    string(APPEND msi_component_refs "      <ComponentRef Id=\"${id}\"/>\n")
endforeach()
# Add or Remove Programs shows the program's icon, the one drawn for fernwick.exe (named relative to
# the staged folder: wixl takes no absolute source path).
set(msi_icon "")
set(msi_icon_path)
if(TARGET fw_win32_resources)
    set(msi_icon_path ${PROJECT_BINARY_DIR}/src/win32/resources/fernwick.ico)
    file(RELATIVE_PATH msi_icon_source ${package_dir} ${msi_icon_path})
    set(msi_icon "    <Icon Id=\"fernwick.ico\" SourceFile=\"${msi_icon_source}\"/>\n"
                 "    <Property Id=\"ARPPRODUCTICON\" Value=\"fernwick.ico\"/>\n")
    string(JOIN "" msi_icon ${msi_icon})
endif()
configure_file(${PROJECT_SOURCE_DIR}/packaging/windows/fernwick.wxs.in ${PROJECT_BINARY_DIR}/msi/fernwick.wxs @ONLY)

set(msi_name fernwick-${PROJECT_VERSION}-x64.msi)
find_program(WIXL wixl)
if(WIXL)
    add_custom_command(OUTPUT ${PROJECT_BINARY_DIR}/${msi_name}
        COMMAND ${WIXL} --arch x64 --define ProductVersion=${PROJECT_VERSION}
                --output ${PROJECT_BINARY_DIR}/${msi_name} ${PROJECT_BINARY_DIR}/msi/fernwick.wxs
        WORKING_DIRECTORY ${package_dir}
        DEPENDS ${PROJECT_BINARY_DIR}/msi/fernwick.wxs ${package_paths} ${msi_icon_path}
        COMMENT "Building ${msi_name}"
        VERBATIM)
    add_custom_target(windows-msi DEPENDS ${PROJECT_BINARY_DIR}/${msi_name})
else()
    add_custom_target(windows-msi
        COMMAND ${CMAKE_COMMAND} -E echo "wixl is missing: run scripts/deps.sh"
        COMMAND ${CMAKE_COMMAND} -E false
        VERBATIM)
endif()
