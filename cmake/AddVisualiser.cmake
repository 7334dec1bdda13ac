# add_visualiser(name): one visualiser program from scenes/<name>/. The folder
# defines `<name>Settings`, the ViewerSettings row that holds its scene; the
# shared entry point is compiled against that row. Beside the scene,
# expectations.py holds what the tests expect of it and <name>_limit.cpp,
# where there is one, its benchmark variant. The program joins the
# global property LUMIVIS_PROGRAMS, from which the tests, the benchmarks and
# the scripts take the list of programs. scenes/<name>/about.ini and
# scenes/<name>/icons/ present it on the desktop (DesktopFiles.cmake).
include(${CMAKE_CURRENT_LIST_DIR}/DesktopFiles.cmake)

function(add_visualiser name)
  file(GLOB sources CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/scenes/${name}/*.cpp)
  list(FILTER sources EXCLUDE REGEX "_limit\\.cpp$")
  add_library(scene_${name} STATIC ${sources})
  target_link_libraries(scene_${name} PUBLIC viewer_shell)
  add_executable(${name} ${PROJECT_SOURCE_DIR}/shell/main.cpp)
  target_compile_definitions(${name} PRIVATE PROGRAM_SETTINGS=${name}Settings
                                             PROGRAM_NAME="${name}")
  target_link_libraries(${name} PRIVATE scene_${name})
  lumivis_desktop_program(${name})
  set_property(GLOBAL APPEND PROPERTY LUMIVIS_PROGRAMS ${name})
endfunction()

# After the last add_visualiser: sets LUMIVIS_PROGRAMS in the caller and
# writes it, one name a line, to programs.txt in the build folder, where the
# scripts read it.
macro(write_visualiser_list)
  get_property(LUMIVIS_PROGRAMS GLOBAL PROPERTY LUMIVIS_PROGRAMS)
  list(JOIN LUMIVIS_PROGRAMS "\n" _lumivis_program_lines)
  file(CONFIGURE OUTPUT ${PROJECT_BINARY_DIR}/programs.txt CONTENT "${_lumivis_program_lines}\n")
endmacro()
