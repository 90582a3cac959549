# What `cmake --install` puts where, and the Debian package made from it (cpack).
include(GNUInstallDirs)

set(PELMORA_DATA_DIR ${CMAKE_INSTALL_DATADIR}/pelmora)
set(PELMORA_APP_ID io.github.pelmora.Pelmora)
set(data ${PROJECT_SOURCE_DIR}/data)

install(TARGETS pelmora pelmora-cli pelmora-printer-sim RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# The print module the program opens on first use, in its private library folder
# (PELMORA_PRINT_MODULE_INSTALL_DIR, src/app). A folder further down than lib/pelmora, since
# CPack has the package run ldconfig for a library in lib/ or one folder below it.
install(TARGETS pelmora_print LIBRARY DESTINATION ${PELMORA_PRINT_MODULE_INSTALL_DIR})

# The help file the program falls back on, the sample working folder, and the network
# simulator's FTP server (run with python3).
install(FILES ${PROJECT_SOURCE_DIR}/examples/VORSETTA.HLP sim/sim_ftp_server.py
        DESTINATION ${PELMORA_DATA_DIR})
install(DIRECTORY ${PROJECT_SOURCE_DIR}/examples/ DESTINATION ${PELMORA_DATA_DIR}/examples)

# The desktop menu entry, the software-centre metadata and the theme icon.
install(FILES ${data}/${PELMORA_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${data}/${PELMORA_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${data}/icons/pelmora.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps
        RENAME ${PELMORA_APP_ID}.svg)
foreach(size 16 24 32 48 64 128 256)
  install(FILES ${data}/icons/pelmora-${size}.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
          RENAME ${PELMORA_APP_ID}.png)
endforeach()

# Manual pages, compressed as Debian wants them; bash completion.
foreach(page pelmora pelmora-cli pelmora-printer-sim)
  set(gz ${CMAKE_CURRENT_BINARY_DIR}/man/${page}.1.gz)
  add_custom_command(OUTPUT ${gz}
                     COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_CURRENT_BINARY_DIR}/man
                     COMMAND gzip -9n -c ${data}/man/${page}.1 > ${gz}
                     DEPENDS ${data}/man/${page}.1 VERBATIM)
  list(APPEND man_pages ${gz})
endforeach()
add_custom_target(pelmora_man_pages ALL DEPENDS ${man_pages})
install(FILES ${man_pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${data}/completion/pelmora-cli
        DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions)

# The settings file's example, the licence and the package's change log.
set(changelog ${CMAKE_CURRENT_BINARY_DIR}/changelog.gz)
add_custom_command(OUTPUT ${changelog}
                   COMMAND gzip -9n -c ${data}/changelog > ${changelog}
                   DEPENDS ${data}/changelog VERBATIM)
add_custom_target(pelmora_changelog ALL DEPENDS ${changelog})
install(FILES ${data}/pelmora.conf.example ${data}/copyright ${changelog}
        DESTINATION ${CMAKE_INSTALL_DOCDIR})

# What lintian reports of the package and is meant so (explained in the file).
install(FILES ${data}/lintian-overrides DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides
        RENAME pelmora)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME pelmora)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "The Pelmora developers <pelmora@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "configure TAVEN printers")
# The summary is the control file's first description line; this is the rest.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Pelmora edits the settings of TAVEN printers: it opens a printer model's
definition or a saved configuration, shows its settings, saves configurations
and sends them to a printer over a serial line, a parallel port, USB or TCP/IP,
and reads them back. The package holds the desktop application, the
command-line tool pelmora-cli and the printer simulator pelmora-printer-sim.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# The programs load libcurl (the TCP/IP update) and libcups (the USB driver check) when
# they first need them, so dpkg-shlibdeps cannot see them; the simulated network
# printers' FTP server is a python3 program.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libcurl4")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "libcups2")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "python3, python3-pyftpdlib")
set(CPACK_STRIP_FILES ON)
include(CPack)
