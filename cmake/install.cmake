# The installed layout, following the freedesktop and Debian conventions:
#   bin/corvix, bin/corvix-cli            the programs (RPATH to lib/corvix)
#   lib/corvix/                           the shared libraries, private to Corvix
#   libexec/corvix/corvix-atspi-texts     the accessibility helper
#   share/corvix/CVWRD.TPS                the word database a first start copies
#   share/applications, share/metainfo, share/icons/hicolor, share/man/man1,
#   share/bash-completion/completions, share/doc/corvix/manual
# The programs find these relative to themselves (vault/locations.h).

# Every shared library and plugin the project builds, wherever it is declared.
function(corvix_collect_shared_libraries dir out)
  get_property(targets DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
  get_property(subdirs DIRECTORY ${dir} PROPERTY SUBDIRECTORIES)
  set(found)
  foreach(t IN LISTS targets)
    get_target_property(type ${t} TYPE)
    if(type MATCHES "^(SHARED|MODULE)_LIBRARY$")
      list(APPEND found ${t})
    endif()
  endforeach()
  foreach(sub IN LISTS subdirs)
    if(NOT sub MATCHES "/(tests|bench)(/|$)")
      corvix_collect_shared_libraries(${sub} more)
      list(APPEND found ${more})
    endif()
  endforeach()
  set(${out} ${found} PARENT_SCOPE)
endfunction()
corvix_collect_shared_libraries(${PROJECT_SOURCE_DIR} CORVIX_SHARED_LIBRARIES)

install(TARGETS corvix corvix-cli RUNTIME DESTINATION bin)
set_target_properties(corvix corvix-cli PROPERTIES INSTALL_RPATH "$ORIGIN/../lib/corvix")
install(TARGETS ${CORVIX_SHARED_LIBRARIES} LIBRARY DESTINATION lib/corvix NAMELINK_SKIP)
# Every library lies beside the ones it needs in the build tree too: the installed search
# path ($ORIGIN) serves there as well. A build search path that differs is padded with
# empty entries (room for the installed one), and the loader takes an empty entry for the
# working directory: each system library was first looked for there, wherever a command
# ran. corvix-cli loads its commands by their full path and needs nothing but the C
# library, which it finds at once in the loader's cache.
set_target_properties(${CORVIX_SHARED_LIBRARIES} corvix-cli PROPERTIES BUILD_WITH_INSTALL_RPATH ON)
set_target_properties(${CORVIX_SHARED_LIBRARIES} PROPERTIES INSTALL_RPATH "$ORIGIN")
install(TARGETS corvix-atspi-texts RUNTIME DESTINATION libexec/corvix)
install(FILES ${CMAKE_BINARY_DIR}/bin/CVWRD.TPS DESTINATION share/corvix)

install(FILES data/corvix.desktop DESTINATION share/applications)
install(FILES data/corvix.metainfo.xml DESTINATION share/metainfo)
install(FILES data/icons/corvix.svg DESTINATION share/icons/hicolor/scalable/apps)
install(DIRECTORY ${CMAKE_BINARY_DIR}/share/icons/ DESTINATION share/icons)
install(FILES data/man/corvix.1 ${CMAKE_BINARY_DIR}/share/man/man1/corvix-cli.1
        DESTINATION share/man/man1)
install(FILES data/completion/corvix-cli DESTINATION share/bash-completion/completions)
install(DIRECTORY ${CMAKE_BINARY_DIR}/share/doc/corvix/manual DESTINATION share/doc/corvix)

# Built files the layout needs, made in the build tree with the same relative places, so
# that a program run from build/bin finds them as an installed one does.
set(CORVIX_ICON_SIZES 16 22 24 32 48 64 128 256)
add_executable(render_icon app/tools/render_icon.cpp)
target_link_libraries(render_icon PRIVATE Qt6::Gui Qt6::Svg)
set_target_properties(render_icon PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tools)
add_custom_command(
  OUTPUT ${CMAKE_BINARY_DIR}/share/icons/hicolor/256x256/apps/corvix.png
  COMMAND render_icon ${PROJECT_SOURCE_DIR}/data/icons/corvix.svg
          ${CMAKE_BINARY_DIR}/share/icons/hicolor ${CORVIX_ICON_SIZES}
  DEPENDS render_icon ${PROJECT_SOURCE_DIR}/data/icons/corvix.svg
  COMMENT "Drawing the raster icons" VERBATIM)
add_custom_command(
  OUTPUT ${CMAKE_BINARY_DIR}/share/man/man1/corvix-cli.1
  COMMAND ${CMAKE_COMMAND} -DCLI=$<TARGET_FILE:corvix-cli>
          -DIN=${PROJECT_SOURCE_DIR}/data/man/corvix-cli.1.in
          -DOUT=${CMAKE_BINARY_DIR}/share/man/man1/corvix-cli.1
          -P ${PROJECT_SOURCE_DIR}/cmake/man_cli.cmake
  DEPENDS corvix-cli ${PROJECT_SOURCE_DIR}/data/man/corvix-cli.1.in
          ${PROJECT_SOURCE_DIR}/cmake/man_cli.cmake
  COMMENT "Writing corvix-cli.1 from corvix-cli --help" VERBATIM)
file(GLOB CORVIX_MANUAL_FILES CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/docs/manual/*
     ${PROJECT_SOURCE_DIR}/docs/screenshots/*)
set(CORVIX_MANUAL_DIR ${CMAKE_BINARY_DIR}/share/doc/corvix/manual)
add_custom_command(
  OUTPUT ${CORVIX_MANUAL_DIR}/index.html
  COMMAND ${CMAKE_COMMAND} -E copy_directory ${PROJECT_SOURCE_DIR}/docs/manual ${CORVIX_MANUAL_DIR}
  COMMAND ${CMAKE_COMMAND} -E copy_directory ${PROJECT_SOURCE_DIR}/docs/screenshots
          ${CORVIX_MANUAL_DIR}/screenshots
  DEPENDS ${CORVIX_MANUAL_FILES}
  COMMENT "Copying the user manual" VERBATIM)
add_custom_target(corvix_share ALL
  DEPENDS ${CMAKE_BINARY_DIR}/share/icons/hicolor/256x256/apps/corvix.png
          ${CMAKE_BINARY_DIR}/share/man/man1/corvix-cli.1 ${CORVIX_MANUAL_DIR}/index.html)

# scripts/package and the tests build first; installing never rebuilds the whole tree.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY TRUE)

# The Debian package (scripts/package): dependencies from dpkg-shlibdeps.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME corvix)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Corvix developers <corvix@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "password vault that types accounts into other programs")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Corvix keeps password accounts in an encrypted vault, lives in the tray, answers the\n hot key Super+S and types an account's details into another program's window.")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Loaded at run time, so no library dependency names them: the X11 platform plugin.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${CMAKE_BINARY_DIR}/bin)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
include(CPack)
