# Run by cpack on the staged files before they are packed. Strips the programs the way Debian's dh_strip
# does: CPack's own stripping keeps the compiler's .comment section, which lintian flags as unneeded.
file(GLOB_RECURSE programs LIST_DIRECTORIES false "${CPACK_TEMPORARY_INSTALL_DIRECTORY}/*/bin/*")
foreach(program IN LISTS programs)
    execute_process(COMMAND "${CPACK_VELLUMPAD_STRIP}" --remove-section=.comment --remove-section=.note
                            --strip-unneeded "${program}"
                    COMMAND_ERROR_IS_FATAL ANY)
endforeach()
