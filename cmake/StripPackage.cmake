# Run by CPack on its staging folder before it packs (CPACK_PRE_BUILD_SCRIPTS):
# strips the programs as Debian's own packaging does, of their symbols and of
# the compiler's notes, which nothing needs at run time.
file(GLOB programs
     "${CPACK_TEMPORARY_INSTALL_DIRECTORY}${CPACK_PACKAGING_INSTALL_PREFIX}/${CPACK_LUMIVIS_BINDIR}/*")
if(programs)
  execute_process(COMMAND "${CPACK_LUMIVIS_STRIP}" --remove-section=.comment --remove-section=.note
                          ${programs}
                  RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "could not strip ${programs}")
  endif()
endif()
