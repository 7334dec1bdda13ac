# What makes a visualiser a desktop program besides its code: the name it
# is installed under, its window's class and icon, its menu entry and its
# icons; on Windows the icon and version resource of its executable.
include(GNUInstallDirs)

# Names like "tunnel" are too generic for a shared bin folder; the build tree
# keeps the short ones.
set(LUMIVIS_COMMAND_PREFIX "lumivis-")
# The class name that every visualiser's window shares.
set(LUMIVIS_WINDOW_CLASS "Lumivis")
# The icon sizes that are installed, and those compiled in for the window.
set(LUMIVIS_ICON_SIZES 48 128 256)
set(LUMIVIS_WINDOW_ICON_SIZES 48 128)
if(WIN32)
  enable_language(RC)
endif()

# lumivis_read_about(<program> <prefix>): the keys of scenes/<program>/about.ini
# as <prefix>_NAME, <prefix>_COMMENT and <prefix>_SPACE (empty when the space
# bar does nothing) in the caller's scope.
function(lumivis_read_about program prefix)
  set(about ${PROJECT_SOURCE_DIR}/scenes/${program}/about.ini)
  set_property(DIRECTORY ${PROJECT_SOURCE_DIR} APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${about})
  file(STRINGS ${about} lines ENCODING UTF-8)
  foreach(key Name Comment Space)
    string(TOUPPER ${key} upper)
    set(value "")
    foreach(line IN LISTS lines)
      if(line MATCHES "^${key}=(.*)$")
        set(value "${CMAKE_MATCH_1}")
      endif()
    endforeach()
    if(value STREQUAL "" AND NOT key STREQUAL "Space")
      message(FATAL_ERROR "${about} has no ${key}=")
    endif()
    set(${prefix}_${upper} "${value}" PARENT_SCOPE)
  endforeach()
endfunction()

# lumivis_icon_file(<program> <size> <variable>): the checked-in icon.
function(lumivis_icon_file program size variable)
  set(${variable} ${PROJECT_SOURCE_DIR}/scenes/${program}/icons/${size}.png PARENT_SCOPE)
endfunction()

# lumivis_has_icons(<program> <variable>): whether scenes/<program>/icons
# holds every icon. A new program has none until scripts/screenshots.sh
# photographs it, which needs it built: until then it builds without them.
function(lumivis_has_icons program variable)
  set(present TRUE)
  foreach(size IN LISTS LUMIVIS_ICON_SIZES)
    lumivis_icon_file(${program} ${size} png)
    if(NOT EXISTS ${png})
      set(present FALSE)
    endif()
  endforeach()
  if(NOT EXISTS ${PROJECT_SOURCE_DIR}/scenes/${program}/icons/program.ico)
    set(present FALSE)
  endif()
  set(${variable} ${present} PARENT_SCOPE)
endfunction()

# lumivis_add_identity(<program> <space_line> <has_icons>): writes the
# program's ProgramIdentity into its scene library, where the program and
# every variant of it built from the same scene find it. <space_line> is
# what its space bar does, empty for nothing.
function(lumivis_add_identity program space_line has_icons)
  set(LUMIVIS_IDENTITY_NAME ${program})
  set(LUMIVIS_IDENTITY_COMMAND ${LUMIVIS_COMMAND_PREFIX}${program})
  set(LUMIVIS_IDENTITY_SPACE nullptr)
  if(NOT "${space_line}" STREQUAL "")
    string(REPLACE "\\" "\\\\" space "${space_line}")
    string(REPLACE "\"" "\\\"" space "${space}")
    set(LUMIVIS_IDENTITY_SPACE "\"${space}\"")
  endif()
  set(LUMIVIS_IDENTITY_ICON_ARRAYS "")
  # The executable carries its icon on Windows.
  set(LUMIVIS_IDENTITY_ICONS "{}")
  if(NOT WIN32 AND has_icons)
    set(list "")
    foreach(size IN LISTS LUMIVIS_WINDOW_ICON_SIZES)
      lumivis_icon_file(${program} ${size} png)
      set_property(DIRECTORY ${PROJECT_SOURCE_DIR} APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${png})
      file(READ ${png} hex HEX)
      string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
      string(REGEX REPLACE "(0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,)"
                           "\\1\n    " bytes "${bytes}")
      string(APPEND LUMIVIS_IDENTITY_ICON_ARRAYS
             "const unsigned char icon${size}[] = {\n    ${bytes}};\n")
      string(APPEND list "{icon${size}, sizeof icon${size}}, ")
    endforeach()
    string(APPEND LUMIVIS_IDENTITY_ICON_ARRAYS "const EncodedImage icons[] = {${list}};")
    set(LUMIVIS_IDENTITY_ICONS icons)
  endif()
  set(source ${PROJECT_BINARY_DIR}/identity/${program}_identity.cpp)
  configure_file(${PROJECT_SOURCE_DIR}/shell/program_identity.cpp.in ${source} @ONLY)
  target_sources(scene_${program} PRIVATE ${source})
endfunction()

# lumivis_desktop_program(<program>): everything above for one program made
# by add_visualiser.
function(lumivis_desktop_program program)
  lumivis_read_about(${program} LUMIVIS_ABOUT)
  lumivis_has_icons(${program} has_icons)
  lumivis_add_identity(${program} "${LUMIVIS_ABOUT_SPACE}" ${has_icons})
  set(LUMIVIS_COMMAND ${LUMIVIS_COMMAND_PREFIX}${program})
  if(NOT has_icons)
    message(WARNING "scenes/${program}/icons/ is incomplete, so ${program} has no icon: "
                    "scripts/screenshots.sh makes the icons from its own picture")
  endif()

  # Written on every platform, so that the Windows resource compiler can
  # check it from any build (tests/package).
  set(LUMIVIS_RC_ICON_LINE "")
  if(has_icons)
    set(LUMIVIS_RC_ICON_LINE
        "GLUT_ICON ICON \"${PROJECT_SOURCE_DIR}/scenes/${program}/icons/program.ico\"")
  endif()
  set(LUMIVIS_RC_NAME ${program})
  string(REPLACE "\"" "\"\"" LUMIVIS_RC_DESCRIPTION "${LUMIVIS_ABOUT_NAME}")
  set(rc ${PROJECT_BINARY_DIR}/resources/${program}.rc)
  configure_file(${PROJECT_SOURCE_DIR}/packaging/program.rc.in ${rc} @ONLY)
  if(WIN32)
    target_sources(${program} PRIVATE ${rc})
    install(TARGETS ${program})
    return()
  endif()

  # install(TARGETS) cannot rename, so the executable goes in as a program
  # file; the package strips it (StripPackage.cmake).
  install(PROGRAMS $<TARGET_FILE:${program}> DESTINATION ${CMAKE_INSTALL_BINDIR}
          RENAME ${LUMIVIS_COMMAND})

  set(desktop ${PROJECT_BINARY_DIR}/desktop/${LUMIVIS_COMMAND}.desktop)
  configure_file(${PROJECT_SOURCE_DIR}/packaging/program.desktop.in ${desktop} @ONLY)
  install(FILES ${desktop} DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  if(has_icons)
    foreach(size IN LISTS LUMIVIS_ICON_SIZES)
      lumivis_icon_file(${program} ${size} png)
      install(FILES ${png} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
              RENAME ${LUMIVIS_COMMAND}.png)
    endforeach()
  endif()
endfunction()
