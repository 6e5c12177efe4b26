# What `cmake --install` puts on a system and the Debian package CPack makes of it
# (scripts/package). Everything the installed programs need is compiled in: they read nothing
# from the source or the build folder.
include(GNUInstallDirs)

set(VANTREL_APP_ID org.vantrel.Vantrel)
set(VANTREL_MAINTAINER "The Vantrel developers <dev@vantrel.org>")
set(packaging ${PROJECT_SOURCE_DIR}/packaging)
set(staged ${PROJECT_BINARY_DIR}/packaging)
string(TIMESTAMP RELEASE_DATE "%Y-%m-%d" UTC)
string(TIMESTAMP CHANGELOG_DATE "%a, %d %b %Y 00:00:00 +0000" UTC)

foreach(program vantrel vantrel-cli)
  if(TARGET ${program})
    install(TARGETS ${program} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
    # All symbols bound at start, so the relocation table can be read-only for the whole run.
    target_link_options(${program} PRIVATE LINKER:-z,now)
  endif()
endforeach()

install(FILES ${packaging}/${VANTREL_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
# The balloon file's type, so that a file manager opens *.BAL with the entry above.
install(FILES ${packaging}/${VANTREL_APP_ID}.mime.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages
  RENAME ${VANTREL_APP_ID}.xml)
install(FILES ${packaging}/${VANTREL_APP_ID}.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
configure_file(${packaging}/${VANTREL_APP_ID}.metainfo.xml ${staged}/${VANTREL_APP_ID}.metainfo.xml @ONLY)
install(FILES ${staged}/${VANTREL_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

# Debian wants a copyright file and a compressed changelog beside every package's files.
find_program(GZIP gzip REQUIRED)
configure_file(${packaging}/changelog.in ${staged}/changelog @ONLY)
add_custom_command(OUTPUT ${staged}/changelog.gz
  COMMAND ${GZIP} -9nc ${staged}/changelog > ${staged}/changelog.gz
  DEPENDS ${staged}/changelog VERBATIM)
add_custom_target(vantrel_changelog ALL DEPENDS ${staged}/changelog.gz)
install(FILES ${packaging}/copyright ${staged}/changelog.gz DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/vantrel)
# The manual that Help > Manual opens.
install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/vantrel)

# Manual pages from the programs' own --help and --version. Not in sanitizer or fuzzing builds,
# whose programs are never installed.
find_program(HELP2MAN help2man)
if(HELP2MAN AND NOT VANTREL_SANITIZE AND NOT VANTREL_FUZZ)
  set(pages)
  foreach(page "vantrel|the main window of the loudspeaker directivity measurement|.BR vantrel-cli (1)|OFF"
               "vantrel-cli|loudspeaker directivity measurement without a window|.BR vantrel (1)|ON")
    string(REPLACE "|" ";" page "${page}")
    list(GET page 0 program)
    list(GET page 1 summary)
    list(GET page 2 see_also)
    list(GET page 3 subcommands)
    if(NOT TARGET ${program})
      continue()
    endif()
    set(page ${staged}/man/${program}.1.gz)
    add_custom_command(OUTPUT ${page}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${staged}/man
      COMMAND ${CMAKE_COMMAND} -DPROGRAM=$<TARGET_FILE:${program}> -DNAME=${program} -DSUMMARY=${summary}
              -DSEE_ALSO=${see_also} -DSUBCOMMANDS=${subcommands} -DGZIP=${GZIP} -DOUTPUT=${page}
              -P ${PROJECT_SOURCE_DIR}/cmake/write_man_page.cmake
      DEPENDS ${program} ${PROJECT_SOURCE_DIR}/cmake/write_man_page.cmake VERBATIM)
    list(APPEND pages ${page})
  endforeach()
  add_custom_target(vantrel_man_pages ALL DEPENDS ${pages})
  install(FILES ${pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endif()

# Everything installed, as one target: scripts/package builds only these, and CPack does not build
# the whole tree (tests, benchmarks) before it installs.
add_custom_target(vantrel_installed DEPENDS vantrel_changelog)
foreach(t vantrel vantrel-cli vantrel_man_pages)
  if(TARGET ${t})
    add_dependencies(vantrel_installed ${t})
  endif()
endforeach()
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)

# The Debian package: build/vantrel_<version>_<arch>.deb.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vantrel)
set(CPACK_PACKAGE_VENDOR "The Vantrel developers")
set(CPACK_PACKAGE_CONTACT "${VANTREL_MAINTAINER}")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR})
set(CPACK_PACKAGE_INSTALL_DIRECTORY vantrel)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "loudspeaker directivity balloon measurement")
set(CPACK_PACKAGE_DESCRIPTION "Vantrel walks two motorised turntables over a 5- or 10-degree angle grid,
plays one maximum-length sequence through the sound card at every point and
keeps the complex frequency responses as a directivity balloon. It shows the
balloon as rotatable 3D views, saves it to balloon files, exports AES69 (SOFA)
and FRD files and builds calibration curves. A built-in simulated rig runs
everything without turntables or a sound card.
.
This package holds the desktop program vantrel and the command-line tool
vantrel-cli.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://vantrel.org/)
# The library dependencies come from dpkg-shlibdeps; Qt's window-system plugins are loaded at
# run time, so no library names them.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
# export --html embeds the system's three.js into each page it writes.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "libjs-three")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
