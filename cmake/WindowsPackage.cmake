# The Windows download: a zip of the programs and a README.txt, and an
# installer with Start-menu entries where NSIS is at hand.
# The README's list of programs and their space-bar keys come from each
# program's about.ini.
set(LUMIVIS_WINDOWS_PROGRAMS "")
set(LUMIVIS_WINDOWS_SPACE "")
set(space_label "  space          ")
foreach(program IN LISTS LUMIVIS_PROGRAMS)
  lumivis_read_about(${program} about)
  set(name "${program}.exe                ")
  string(SUBSTRING "${name}" 0 16 name)
  string(APPEND LUMIVIS_WINDOWS_PROGRAMS "  ${name}${about_COMMENT}\n")
  if(about_SPACE)
    string(APPEND LUMIVIS_WINDOWS_SPACE "${space_label}${program}: ${about_SPACE}\n")
    set(space_label "                 ")
  endif()
endforeach()
string(REGEX REPLACE "\n$" "" LUMIVIS_WINDOWS_PROGRAMS "${LUMIVIS_WINDOWS_PROGRAMS}")
string(REGEX REPLACE "\n$" "" LUMIVIS_WINDOWS_SPACE "${LUMIVIS_WINDOWS_SPACE}")
set(LUMIVIS_WINDOWS_README ${PROJECT_BINARY_DIR}/README.txt)
configure_file(${PROJECT_SOURCE_DIR}/packaging/windows/README.txt.in ${LUMIVIS_WINDOWS_README}
               @ONLY)
install(FILES ${LUMIVIS_WINDOWS_README} DESTINATION .)

set(CPACK_PACKAGE_NAME lumivis)
set(CPACK_PACKAGE_VENDOR lumivis)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Live-camera visualisers and their capture agent")
set(CPACK_SYSTEM_NAME windows-x64)
set(CPACK_PACKAGE_FILE_NAME ${CPACK_PACKAGE_NAME}-${PROJECT_VERSION}-${CPACK_SYSTEM_NAME})
set(CPACK_PACKAGE_INSTALL_DIRECTORY lumivis)
set(CPACK_PACKAGE_CHECKSUM SHA256)
set(CPACK_STRIP_FILES ON)

find_program(LUMIVIS_MAKENSIS makensis)
set(CPACK_GENERATOR ZIP)
if(LUMIVIS_MAKENSIS)
  list(APPEND CPACK_GENERATOR NSIS)
endif()

# One Start-menu entry a visualiser, named as the program.
set(CPACK_PACKAGE_EXECUTABLES "")
foreach(program IN LISTS LUMIVIS_PROGRAMS)
  list(APPEND CPACK_PACKAGE_EXECUTABLES ${program} ${program})
endforeach()
set(CPACK_NSIS_EXECUTABLES_DIRECTORY .)
set(CPACK_NSIS_DISPLAY_NAME "lumivis ${PROJECT_VERSION}")
set(CPACK_NSIS_PACKAGE_NAME lumivis)
set(CPACK_NSIS_MENU_LINKS README.txt "Read me")
set(CPACK_NSIS_INSTALLED_ICON_NAME colorspace.exe)
set(CPACK_NSIS_ENABLE_UNINSTALL_BEFORE_INSTALL ON)
# The agent outlives the visualisers; an uninstall ends it first, so its
# program file can go.
set(CPACK_NSIS_EXTRA_UNINSTALL_COMMANDS "nsExec::Exec 'taskkill /f /im lumigrab.exe'")
# The installer's first page shows the README instead of a licence.
set(CPACK_RESOURCE_FILE_LICENSE ${LUMIVIS_WINDOWS_README})

include(CPack)
