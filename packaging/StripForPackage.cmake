# SPDX-License-Identifier: GPL-3.0-or-later
# Run by CPack on the files it has staged, before it builds the package: the executables are stripped
# as Debian's dh_strip strips them, of their symbols and of the .comment and .note sections, which
# only say which compiler made them.
file(GLOB_RECURSE executables LIST_DIRECTORIES false "${CPACK_TEMPORARY_INSTALL_DIRECTORY}/*/bin/*")
if(NOT executables)
    message(FATAL_ERROR "No executable staged under ${CPACK_TEMPORARY_INSTALL_DIRECTORY}")
endif()
foreach(executable ${executables})
    execute_process(COMMAND ${CPACK_CEDOLARIO_STRIP} --remove-section=.comment --remove-section=.note
                            ${executable}
                    RESULT_VARIABLE status)
    if(NOT status EQUAL 0)
        message(FATAL_ERROR "Stripping ${executable} failed")
    endif()
endforeach()
