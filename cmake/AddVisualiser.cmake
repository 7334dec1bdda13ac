# add_visualiser(name): one visualiser program from scenes/<name>/. The folder
# defines `<name>Settings`, the ViewerSettings row that holds its scene; the
# shared entry point is compiled against that row.
function(add_visualiser name)
  file(GLOB sources CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/scenes/${name}/*.cpp)
  add_library(scene_${name} STATIC ${sources})
  target_link_libraries(scene_${name} PUBLIC viewer_shell)
  add_executable(${name} ${PROJECT_SOURCE_DIR}/shell/main.cpp)
  target_compile_definitions(${name} PRIVATE PROGRAM_SETTINGS=${name}Settings
                                             PROGRAM_NAME="${name}")
  target_link_libraries(${name} PRIVATE scene_${name})
  install(TARGETS ${name})
endfunction()
