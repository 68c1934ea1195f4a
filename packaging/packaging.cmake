# Install rules and the Debian package (CPack, DEB generator); scripts/package
# builds it. Included last from the top CMakeLists.txt, once every program
# target exists.
include(GNUInstallDirs)

install(TARGETS torvelin RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
foreach(tool torvelin-sim torvelin-eval torvelin-records)
    if(TARGET ${tool})
        install(TARGETS ${tool} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
    endif()
endforeach()
if(UNIX)
    install(FILES ${CMAKE_CURRENT_LIST_DIR}/torvelin.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
    install(FILES ${PROJECT_SOURCE_DIR}/resources/images/Torvelin.png
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/128x128/apps RENAME torvelin.png)
    install(FILES ${PROJECT_SOURCE_DIR}/resources/images/Torvelin.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps RENAME torvelin.svg)
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME torvelin)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Torvelin")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "control and data acquisition for a motorised spring tester")
string(CONCAT CPACK_PACKAGE_DESCRIPTION
    "Torvelin drives a motorised spring testing machine over a Modbus RTU serial\n"
    "line, shows the live force and distance, and records the forward and return\n"
    "force-distance curves of a test; curves are saved as text and exported as\n"
    "JPEG, BMP or PDF. English and Chinese interface. torvelin-sim, a simulated\n"
    "tester on a virtual serial line, lets the program run without a machine.")
set(CPACK_PACKAGE_CONTACT "Torvelin developers <torvelin@localhost>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
# torvelin_<version>_<arch>.deb
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
# Depends as dpkg-shlibdeps finds them from the binaries' libraries.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Qt loads its database drivers as plugins, which dpkg-shlibdeps cannot see:
# the test records' SQLite file by default, a PostgreSQL server when chosen.
# Without a CJK font the Chinese interface shows boxes; without Qt's own
# catalogue its standard buttons and dialogs stay English.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-wqy-microhei | fonts-noto-cjk, qttranslations5-l10n")
if(TARGET Qt5::Sql)
    set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt5sql5-sqlite")
    string(APPEND CPACK_DEBIAN_PACKAGE_RECOMMENDS ", libqt5sql5-psql")
endif()
include(CPack)
