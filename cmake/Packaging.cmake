# Installing like any other desktop program: the two programs (installed by
# src/), a desktop entry and the icon in their FHS places below the prefix,
# and a Debian package that declares what it needs.
include(GNUInstallDirs)

install(FILES "${PROJECT_SOURCE_DIR}/packaging/mealwise.desktop"
        DESTINATION "${CMAKE_INSTALL_DATADIR}/applications")
install(FILES "${PROJECT_SOURCE_DIR}/packaging/mealwise.svg"
        DESTINATION "${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps")
install(FILES "${PROJECT_SOURCE_DIR}/packaging/org.mealwise.mealwise.metainfo.xml"
        DESTINATION "${CMAKE_INSTALL_DATADIR}/metainfo")
install(FILES "${PROJECT_SOURCE_DIR}/README.md"
        DESTINATION "${CMAKE_INSTALL_DATADIR}/doc/mealwise" OPTIONAL)
# The copyright file names the licence; Debian keeps its full text in
# /usr/share/common-licenses, so LICENSE itself is not installed twice.
install(FILES "${PROJECT_SOURCE_DIR}/packaging/copyright"
        DESTINATION "${CMAKE_INSTALL_DATADIR}/doc/mealwise")

# Manual pages and the changelog, compressed as Debian wants them: gzip -9,
# without a time stamp or name, so that two builds give the same bytes.
find_program(MEALWISE_GZIP gzip REQUIRED)
set(_compressed)
foreach(_src man/mealwise.1 man/mealwise-setup.1 man/mealwise-diary.1 changelog)
    get_filename_component(_name "${_src}" NAME)
    set(_out "${PROJECT_BINARY_DIR}/packaging/${_name}.gz")
    add_custom_command(OUTPUT "${_out}"
                       COMMAND "${CMAKE_COMMAND}" -E make_directory "${PROJECT_BINARY_DIR}/packaging"
                       COMMAND "${MEALWISE_GZIP}" -9nc "${PROJECT_SOURCE_DIR}/packaging/${_src}" > "${_out}"
                       DEPENDS "${PROJECT_SOURCE_DIR}/packaging/${_src}" VERBATIM)
    list(APPEND _compressed "${_out}")
endforeach()
add_custom_target(mealwise_docs ALL DEPENDS ${_compressed})
list(FILTER _compressed EXCLUDE REGEX "changelog")
install(FILES ${_compressed} DESTINATION "${CMAKE_INSTALL_MANDIR}/man1")
install(FILES "${PROJECT_BINARY_DIR}/packaging/changelog.gz"
        DESTINATION "${CMAKE_INSTALL_DATADIR}/doc/mealwise")

set(CPACK_PACKAGE_NAME "mealwise")
set(CPACK_PACKAGE_VENDOR "MEALWISE")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Food and digestion diary")
# The extended description (the summary goes before it), in lines under 80
# columns, as Debian shows it.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "MEALWISE keeps a diary of meals, drinks, medications and bowel movements,
and ranks the days from the best to the worst so that you can see what
agrees with you. mealwise-setup creates the diary file; mealwise-diary
works on it from the command line.")
set(CPACK_PACKAGE_DESCRIPTION "MEALWISE keeps a diary of meals, drinks, medications and bowel movements.")
set(CPACK_PACKAGE_CONTACT "MEALWISE maintainers <maintainers@mealwise.invalid>")
set(CPACK_PACKAGING_INSTALL_PREFIX "/usr")
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION "utils")
set(CPACK_DEBIAN_PACKAGE_PRIORITY "optional")
# Directories and files with Debian's modes, whatever the builder's umask.
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
# The Qt libraries, the two plugins found only at run time (the SQLite
# driver and the X11/Wayland platform plugins), Liberation Sans, the face
# every window is drawn in, and libmdb (mdbtools, LGPL), which reads diaries
# kept in Access files. dpkg-shlibdeps adds the C and
# C++ run-time libraries from the programs themselves.
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "libqt6core6 (>= 6.4), libqt6gui6 (>= 6.4), libqt6widgets6 (>= 6.4), libqt6sql6 (>= 6.4), libqt6sql6-sqlite (>= 6.4), qt6-qpa-plugins, fonts-liberation2, libmdb3 (>= 1.0)")
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
    # The installed metadata as the desktop's own tools read it (Debian's
    # appstream and desktop-file-utils).
    add_test(NAME metainfo_valid
             COMMAND appstreamcli validate --no-net "${PROJECT_SOURCE_DIR}/packaging/org.mealwise.mealwise.metainfo.xml")
    add_test(NAME desktop_entry_valid
             COMMAND desktop-file-validate "${PROJECT_SOURCE_DIR}/packaging/mealwise.desktop")
endif()
