# SPDX-License-Identifier: GPL-3.0-or-later
# Writes the THIRD-PARTY notice of a package from the files its programs were built from: for each
# file the Debian package that holds it, that package's source name and version and its copyright
# file. Run at build time:
#   cmake -DOUT=file -DHEAD=file -DINPUTS="file;..." [-DLICENSE_TEXTS=ON] [-DCRLF=ON] -P ThirdParty.cmake
# HEAD: the text in front (what the package is, and where its corresponding source is).
# LICENSE_TEXTS: append the licences the copyright files name in /usr/share/common-licenses, for a
# package that goes where Debian's copies are not (the Windows zip).
cmake_minimum_required(VERSION 3.25)
foreach(required OUT HEAD INPUTS)
    if(NOT DEFINED ${required})
        message(FATAL_ERROR "ThirdParty.cmake: ${required} is not set")
    endif()
endforeach()

# Packages of one source share a copyright file (gcc's runtime and libstdc++): one notice each.
set(notices)
foreach(input IN LISTS INPUTS)
    file(REAL_PATH "${input}" real)
    execute_process(COMMAND dpkg-query --search "${real}" OUTPUT_VARIABLE owner RESULT_VARIABLE status
                    ERROR_QUIET OUTPUT_STRIP_TRAILING_WHITESPACE)
    if(NOT status EQUAL 0)
        message(FATAL_ERROR "ThirdParty.cmake: no Debian package holds ${real}")
    endif()
    string(REGEX REPLACE ":.*" "" package "${owner}")
    execute_process(COMMAND dpkg-query --show "--showformat=\${source:Package} \${source:Version}" ${package}
                    OUTPUT_VARIABLE source COMMAND_ERROR_IS_FATAL ANY)
    file(REAL_PATH /usr/share/doc/${package}/copyright copyright)
    string(MD5 key "${copyright}")
    if(NOT key IN_LIST notices)
        list(APPEND notices ${key})
        set(copyright_${key} "${copyright}")
        set(source_${key} "${source}")
        set(used_${key})
    endif()
    get_filename_component(name "${input}" NAME)
    list(APPEND used_${key} "${name} (${package})")
endforeach()

string(REPEAT "=" 78 rule)
file(READ "${HEAD}" text)
set(license_names)
foreach(key IN LISTS notices)
    file(READ "${copyright_${key}}" notice)
    list(JOIN used_${key} ", " used)
    string(APPEND text "\n${rule}\n${source_${key}}: ${used}\n${rule}\n\n${notice}")
    string(REGEX MATCHALL "/usr/share/common-licenses/[A-Za-z0-9.+-]*[A-Za-z0-9+]" named "${notice}")
    list(APPEND license_names ${named})
endforeach()

if(LICENSE_TEXTS)
    list(REMOVE_DUPLICATES license_names)
    list(SORT license_names)
    set(appended) # GPL and GPL-3 are one file
    foreach(path IN LISTS license_names)
        if(EXISTS "${path}")
            file(REAL_PATH "${path}" real)
            if(NOT real IN_LIST appended)
                list(APPEND appended "${real}")
                file(READ "${real}" licence)
                string(APPEND text "\n${rule}\n${path} (a licence named above)\n${rule}\n\n${licence}")
            endif()
        endif()
    endforeach()
endif()

if(CRLF)
    string(REPLACE "\r\n" "\n" text "${text}")
    string(REPLACE "\n" "\r\n" text "${text}")
endif()
file(WRITE "${OUT}" "${text}")
