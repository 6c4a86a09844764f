# install.cmake
# What `cmake --install build --prefix P` puts under P: both programs in bin/, the data folder in
# share/kestrane/data (found from there relative to bin/, so the prefix may be moved), a desktop
# entry, the icon and the man page. scripts/package turns the same files into a Debian package.

# The icon comes from the picture generator, like every other picture.
set(KESTRANE_ICON ${CMAKE_BINARY_DIR}/packaging/kestrane.png)
add_custom_command(
  OUTPUT ${KESTRANE_ICON}
  COMMAND kestrane-datagen --icon ${KESTRANE_ICON}
  DEPENDS kestrane-datagen
  COMMENT "Writing the program icon"
  VERBATIM)
add_custom_target(icon ALL DEPENDS ${KESTRANE_ICON})
configure_file(${CMAKE_CURRENT_LIST_DIR}/kestrane.6.in ${CMAKE_BINARY_DIR}/packaging/kestrane.6 @ONLY)

install(TARGETS kestrane kestrane-render RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# The generated pictures, model and music and the committed shaders (build first: `data` makes them).
install(DIRECTORY ${CMAKE_SOURCE_DIR}/data/3d ${CMAKE_SOURCE_DIR}/data/music ${CMAKE_SOURCE_DIR}/data/shaders
                  ${CMAKE_SOURCE_DIR}/data/textures
        DESTINATION ${CMAKE_INSTALL_DATADIR}/kestrane/data)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/kestrane.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${KESTRANE_ICON} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/256x256/apps)
install(FILES ${CMAKE_BINARY_DIR}/packaging/kestrane.6 DESTINATION ${CMAKE_INSTALL_MANDIR}/man6)

# The Debian package: kestrane_<version>_<arch>.deb, its library dependencies computed from the
# installed programs by dpkg-shlibdeps; ffmpeg only for kestrane-render's video export, zenity for
# the start question on Wayland (SDL shows message boxes there through it).
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kestrane)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR vel)
set(CPACK_PACKAGE_CONTACT "vel <kestrane@vel.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "real-time audiovisual demo by vel")
set(CPACK_PACKAGE_DESCRIPTION "Kestrane plays one piece of music and, in step with it, draws a fixed \
sequence of animated OpenGL scenes for 203 seconds, then ends by itself. kestrane-render draws the \
same frames offline as PNG files or an MP4 video.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION games)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# SDL loads the GL and EGL libraries at run time, so no linked library names them: GLX for the
# demo's window, EGL for the renderer's offscreen context (each pulls in Mesa or another vendor).
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libgl1, libegl1")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "ffmpeg, zenity")
set(CPACK_STRIP_FILES ON)
set(CPACK_OUTPUT_FILE_PREFIX ${CMAKE_BINARY_DIR}/packages)
include(CPack)
