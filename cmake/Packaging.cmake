# What the Linux package holds besides the programs (DesktopFiles.cmake puts
# those in): the AppStream metainfo, the manual pages, the copyright and
# changelog, and the .deb that CPack makes of it all. Include it after
# write_visualiser_list(). scripts/package.sh builds the package.
if(WIN32)
  return()
endif()

set(LUMIVIS_HOMEPAGE "https://lumivis.example.org" CACHE STRING
    "The project's web address, named by the package and its metainfo")
set(LUMIVIS_APPSTREAM_ID "org.example.lumivis" CACHE STRING
    "The reverse-DNS AppStream id of the package")
set(LUMIVIS_SUMMARY "Live camera pictures as moving 3D scenes")

# packaging/changelog is where a release is written down first; its newest
# entry gives the date of the man pages and of the metainfo's release, and
# the package's maintainer.
set(changelog ${PROJECT_SOURCE_DIR}/packaging/changelog)
set_property(DIRECTORY ${PROJECT_SOURCE_DIR} APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${changelog})
file(STRINGS ${changelog} changelog_lines)
list(GET changelog_lines 0 changelog_head)
if(NOT changelog_head MATCHES "^lumivis \\(${PROJECT_VERSION}\\) ")
  message(FATAL_ERROR "packaging/changelog does not start with version ${PROJECT_VERSION}: "
                      "write the release's entry there")
endif()
foreach(line IN LISTS changelog_lines)
  if(line MATCHES "^ -- (.+)  [A-Z][a-z][a-z], ([0-9]+) ([A-Z][a-z][a-z]) ([0-9]+) ")
    set(LUMIVIS_MAINTAINER "${CMAKE_MATCH_1}")
    set(months Jan Feb Mar Apr May Jun Jul Aug Sep Oct Nov Dec)
    list(FIND months ${CMAKE_MATCH_3} month)
    math(EXPR month "${month} + 1" OUTPUT_FORMAT DECIMAL)
    if(month LESS 10)
      set(month 0${month})
    endif()
    set(day ${CMAKE_MATCH_2})
    if(day LESS 10)
      set(day 0${day})
    endif()
    set(LUMIVIS_RELEASE_DATE "${CMAKE_MATCH_4}-${month}-${day}")
    break()
  endif()
endforeach()
if(NOT LUMIVIS_RELEASE_DATE)
  message(FATAL_ERROR "packaging/changelog: no trailer line ' -- Name <address>  date'")
endif()

# The per-program parts of the metainfo and the visualisers' man page.
function(lumivis_xml_escape text variable)
  string(REPLACE "&" "&amp;" text "${text}")
  string(REPLACE "<" "&lt;" text "${text}")
  string(REPLACE ">" "&gt;" text "${text}")
  set(${variable} "${text}" PARENT_SCOPE)
endfunction()
function(lumivis_man_escape text variable)
  string(REPLACE "\\" "\\e" text "${text}")
  string(REPLACE "-" "\\-" text "${text}")
  set(${variable} "${text}" PARENT_SCOPE)
endfunction()

set(LUMIVIS_METAINFO_PROGRAMS "")
set(LUMIVIS_METAINFO_LAUNCHABLES "")
set(LUMIVIS_METAINFO_BINARIES "    <binary>lumigrab</binary>")
set(names "")
set(programs_man "")
set(space_man "")
lumivis_man_escape("${LUMIVIS_COMMAND_PREFIX}" LUMIVIS_COMMAND_PREFIX_MAN)
foreach(program IN LISTS LUMIVIS_PROGRAMS)
  lumivis_read_about(${program} about)
  set(command ${LUMIVIS_COMMAND_PREFIX}${program})
  lumivis_xml_escape("${about_NAME}: ${about_COMMENT}" item)
  string(APPEND LUMIVIS_METAINFO_PROGRAMS "      <li>${item}</li>\n")
  string(APPEND LUMIVIS_METAINFO_LAUNCHABLES
         "  <launchable type=\"desktop-id\">${command}.desktop</launchable>\n")
  string(APPEND LUMIVIS_METAINFO_BINARIES "\n    <binary>${command}</binary>")
  lumivis_man_escape("${command}" command_man)
  lumivis_man_escape("${about_COMMENT}" comment_man)
  list(APPEND names "${command_man}")
  if(programs_man)
    string(APPEND programs_man "\n.TP\n")
  endif()
  string(APPEND programs_man ".B ${command_man}\n${comment_man}.")
  if(about_SPACE)
    lumivis_man_escape("${about_SPACE}" space)
    string(APPEND space_man "In\n.BR ${command_man} ,\n${space}.\n")
  endif()
endforeach()
string(STRIP "${LUMIVIS_METAINFO_PROGRAMS}" LUMIVIS_METAINFO_PROGRAMS)
string(PREPEND LUMIVIS_METAINFO_PROGRAMS "      ")
string(STRIP "${LUMIVIS_METAINFO_LAUNCHABLES}" LUMIVIS_METAINFO_LAUNCHABLES)
string(PREPEND LUMIVIS_METAINFO_LAUNCHABLES "  ")
list(JOIN names ", " LUMIVIS_MAN_NAMES)
set(LUMIVIS_MAN_PROGRAMS "${programs_man}")
set(LUMIVIS_MAN_SPACE "${space_man}The other programs ignore it.")

set(metainfo ${PROJECT_BINARY_DIR}/metainfo/${LUMIVIS_APPSTREAM_ID}.metainfo.xml)
configure_file(${PROJECT_SOURCE_DIR}/packaging/metainfo.xml.in ${metainfo} @ONLY)
install(FILES ${metainfo} DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

# Manual pages and the changelog go in compressed, without names or times in
# the gzip header so that the package comes out the same every time.
set(compressed "")
function(lumivis_gzip source output)
  add_custom_command(OUTPUT ${output}
                     COMMAND gzip -9n -c ${source} > ${output}
                     DEPENDS ${source} VERBATIM)
  set(compressed ${compressed} ${output} PARENT_SCOPE)
endfunction()

set(man_dir ${PROJECT_BINARY_DIR}/man)
configure_file(${PROJECT_SOURCE_DIR}/packaging/lumivis.1.in ${man_dir}/lumivis.1 @ONLY)
lumivis_gzip(${man_dir}/lumivis.1 ${man_dir}/lumivis.1.gz)
install(FILES ${man_dir}/lumivis.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
# `man lumivis-tunnel` opens the page of all the visualisers.
foreach(program IN LISTS LUMIVIS_PROGRAMS)
  set(link ${man_dir}/${LUMIVIS_COMMAND_PREFIX}${program}.1.gz)
  file(CREATE_LINK lumivis.1.gz ${link} SYMBOLIC)
  install(FILES ${link} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endforeach()
if(LUMIVIS_BUILD_AGENT)
  configure_file(${PROJECT_SOURCE_DIR}/packaging/lumigrab.1.in ${man_dir}/lumigrab.1 @ONLY)
  lumivis_gzip(${man_dir}/lumigrab.1 ${man_dir}/lumigrab.1.gz)
  install(FILES ${man_dir}/lumigrab.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endif()

set(doc_dir ${CMAKE_INSTALL_DATADIR}/doc/${PROJECT_NAME})
lumivis_gzip(${changelog} ${PROJECT_BINARY_DIR}/changelog.gz)
install(FILES ${PROJECT_BINARY_DIR}/changelog.gz ${PROJECT_SOURCE_DIR}/packaging/copyright
        DESTINATION ${doc_dir})
add_custom_target(compressed_docs ALL DEPENDS ${compressed})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ${PROJECT_NAME})
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "${LUMIVIS_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "live camera pictures as moving 3D scenes")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_PRE_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/cmake/StripPackage.cmake)
set(CPACK_LUMIVIS_STRIP "${CMAKE_STRIP}")
set(CPACK_LUMIVIS_BINDIR "${CMAKE_INSTALL_BINDIR}")
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ
    GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${LUMIVIS_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION video)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${LUMIVIS_HOMEPAGE}")
# CPack puts the summary in front of this as the synopsis.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Five small full-screen programs turn the newest picture of a camera into a
moving 3D scene: a colour-space line cloud, textured teapots, crossing
planes, a brightness relief and a winding tunnel. The capture agent lumigrab
feeds them from a camera, a video file or any GStreamer source, and shows a
built-in moving picture on a machine without a camera.")
# The libraries come from the executables; the agent also needs GStreamer's
# plugins at run time: videoconvert, videoscale and the app elements (base),
# v4l2src, jpegdec and aspectratiocrop (good). Video files other than the
# free formats need the libav decoders.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "gstreamer1.0-plugins-base, gstreamer1.0-plugins-good")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "gstreamer1.0-libav")
include(CPack)
