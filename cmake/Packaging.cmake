# Installing like any other desktop program: the two programs (installed by
# src/), a desktop entry and the icon in their FHS places below the prefix,
# and a Debian package that declares what it needs.
include(GNUInstallDirs)

install(FILES "${PROJECT_SOURCE_DIR}/packaging/mealwise.desktop"
        DESTINATION "${CMAKE_INSTALL_DATADIR}/applications")
install(FILES "${PROJECT_SOURCE_DIR}/packaging/mealwise.svg"
        DESTINATION "${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps")
install(FILES "${PROJECT_SOURCE_DIR}/README.md"
        DESTINATION "${CMAKE_INSTALL_DATADIR}/doc/mealwise" OPTIONAL)

set(CPACK_PACKAGE_NAME "mealwise")
set(CPACK_PACKAGE_VENDOR "MEALWISE")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Food and digestion diary")
set(CPACK_PACKAGE_DESCRIPTION
    "MEALWISE keeps a diary of meals, drinks, medications and bowel movements, and ranks the days from best to worst so that you can see what agrees with you. mealwise-setup creates the diary file.")
set(CPACK_PACKAGE_CONTACT "MEALWISE maintainers <maintainers@mealwise.invalid>")
set(CPACK_PACKAGING_INSTALL_PREFIX "/usr")
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION "utils")
set(CPACK_DEBIAN_PACKAGE_PRIORITY "optional")
# The Qt libraries, the two plugins found only at run time (the SQLite
# driver and the X11/Wayland platform plugins) and Liberation Sans, the face
# every window is drawn in. dpkg-shlibdeps adds the C and
# C++ run-time libraries from the programs themselves.
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "libqt6core6 (>= 6.4), libqt6gui6 (>= 6.4), libqt6widgets6 (>= 6.4), libqt6sql6 (>= 6.4), libqt6sql6-sqlite (>= 6.4), qt6-qpa-plugins, fonts-liberation2")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_GENERATOR "DEB")
include(CPack)

# cmake --install into a scratch prefix below a DESTDIR: every file lands
# where a desktop looks for it.
if(BUILD_TESTING)
    add_test(NAME install_layout
             COMMAND "${CMAKE_COMMAND}" -DBUILD_DIR=${PROJECT_BINARY_DIR}
                     -DSTAGE=${PROJECT_BINARY_DIR}/install-check -P "${PROJECT_SOURCE_DIR}/cmake/InstallCheck.cmake")
    set_tests_properties(install_layout PROPERTIES TIMEOUT 120)
endif()
