# The Debian package: `cpack -G DEB` in a build tree (scripts/package.sh) gives
# velkorisp_<version>_<arch>.deb with the three programs, their manual pages, the menu entry, the
# icon and the notes on parallel port access. Installed under /usr, where the window keeps its
# settings in the user's configuration folder (files/settings.h).
include(GNUInstallDirs)

set(velkor_packaging ${PROJECT_SOURCE_DIR}/packaging)

install(TARGETS velkorisp velkorisp-cli velkorisp-dude RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

# Debian keeps manual pages and the changelog compressed, with no name or time stamp in the
# gzip header so that the package is the same from build to build.
find_program(VELKOR_GZIP gzip REQUIRED)
set(velkor_compressed)
foreach(page velkorisp.1 velkorisp-cli.1 velkorisp-dude.1 changelog.Debian)
  set(compressed ${CMAKE_CURRENT_BINARY_DIR}/packaging/${page}.gz)
  add_custom_command(
    OUTPUT ${compressed}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_CURRENT_BINARY_DIR}/packaging
    COMMAND ${VELKOR_GZIP} -9n -c ${velkor_packaging}/${page} > ${compressed}
    DEPENDS ${velkor_packaging}/${page}
    VERBATIM)
  list(APPEND velkor_compressed ${compressed})
endforeach()
add_custom_target(velkor_package_files ALL DEPENDS ${velkor_compressed})
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/packaging/velkorisp.1.gz
              ${CMAKE_CURRENT_BINARY_DIR}/packaging/velkorisp-cli.1.gz
              ${CMAKE_CURRENT_BINARY_DIR}/packaging/velkorisp-dude.1.gz
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

install(FILES ${velkor_packaging}/velkorisp.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
# The application icon (the grey chip) as drawn; every desktop of the distribution scales SVG.
install(FILES ${PROJECT_SOURCE_DIR}/resources/icons/128.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps
        RENAME velkorisp.svg)
install(FILES ${velkor_packaging}/README.Debian ${velkor_packaging}/copyright
              ${CMAKE_CURRENT_BINARY_DIR}/packaging/changelog.Debian.gz
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/velkorisp)

set(CPACK_PACKAGE_NAME velkorisp)
set(CPACK_PACKAGE_VENDOR "VelkorISP")
set(CPACK_PACKAGE_CONTACT "VelkorISP developers <velkorisp@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "in-system programmer for AVR and AT89S5x chips on a PC parallel port")
# Debian shows the description in 80 columns, one leading space included.
set(CPACK_PACKAGE_DESCRIPTION
    "VelkorISP erases, writes, verifies and reads the flash and EEPROM memory of
AVR (AT90S, ATtiny, ATmega, AT90CAN) and AT89S5x microcontrollers in-system,
through a programming cable on a PC parallel port (ppdev, group lp), and reads
and writes their fuse, lock and calibration bytes. It comes as a Qt window
(velkorisp) and a command-line program (velkorisp-cli) that also tests the
cable; velkorisp-dude takes avrdude's command line, so AVR Makefiles work
unchanged, and ELF files from avr-gcc are read directly. Without a port all
run on a built-in simulated cable and chip.")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_INSTALL_DIRECTORY velkorisp)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# dpkg-shlibdeps names the libraries the programs link (Qt, libelf, the C++ runtime) with
# their versions, so that apt brings them along.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-wqy-microhei | fonts-wqy-zenhei | fonts-noto-cjk")
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS OFF)
include(CPack)
