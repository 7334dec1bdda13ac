# The Windows build: every program is one self-contained .exe that needs
# nothing beside it but the system's DLLs, so it runs from wherever a zip was
# unpacked.

# The C and C++ runtimes and winpthread are linked in.
add_link_options(-static)

# freeglut is built as a static library (scripts/build-windows.sh); its
# header then expects FREEGLUT_STATIC, and it needs the multimedia timer and
# GDI libraries.
set_property(TARGET GLUT::GLUT APPEND PROPERTY INTERFACE_COMPILE_DEFINITIONS FREEGLUT_STATIC)
set_property(TARGET GLUT::GLUT APPEND PROPERTY INTERFACE_LINK_LIBRARIES
                                          OpenGL::GLU OpenGL::GL winmm gdi32)

# Programs go to the top of the install tree: a visualiser finds lumigrab.exe
# in its own folder, where Windows looks first.
set(CMAKE_INSTALL_BINDIR .)

# In the build folder too, lumigrab.exe lies beside the visualisers.
set(CMAKE_RUNTIME_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR})
