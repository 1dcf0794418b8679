# Installs the build at BUILD_DIR with the prefix /opt/mealwise-check below
# DESTDIR=STAGE and checks that every file is in its place.
file(REMOVE_RECURSE "${STAGE}")
set(_prefix "/opt/mealwise-check")
set(ENV{DESTDIR} "${STAGE}")
execute_process(COMMAND "${CMAKE_COMMAND}" --install "${BUILD_DIR}" --prefix "${_prefix}"
                RESULT_VARIABLE _rc OUTPUT_VARIABLE _out ERROR_VARIABLE _err)
if(NOT _rc EQUAL 0)
    message(FATAL_ERROR "cmake --install failed (${_rc}): ${_out} ${_err}")
endif()
set(_root "${STAGE}${_prefix}")
foreach(_f bin/mealwise bin/mealwise-setup bin/mealwise-diary share/applications/mealwise.desktop
           share/icons/hicolor/scalable/apps/mealwise.svg share/metainfo/org.mealwise.mealwise.metainfo.xml
           share/man/man1/mealwise.1.gz share/man/man1/mealwise-setup.1.gz share/man/man1/mealwise-diary.1.gz
           share/doc/mealwise/copyright share/doc/mealwise/changelog.gz)
    if(NOT EXISTS "${_root}/${_f}")
        message(FATAL_ERROR "not installed: ${_prefix}/${_f}")
    endif()
endforeach()
foreach(_f bin/mealwise bin/mealwise-setup)
    file(GET_RUNTIME_DEPENDENCIES EXECUTABLES "${_root}/${_f}" RESOLVED_DEPENDENCIES_VAR _deps
         UNRESOLVED_DEPENDENCIES_VAR _missing)
    if(_missing)
        message(FATAL_ERROR "${_f} needs libraries that are not found: ${_missing}")
    endif()
endforeach()
# Nothing outside the prefix.
file(GLOB _top RELATIVE "${STAGE}" "${STAGE}/*")
if(NOT _top STREQUAL "opt")
    message(FATAL_ERROR "files installed outside the prefix: ${_top}")
endif()
file(STRINGS "${_root}/share/applications/mealwise.desktop" _desktop)
foreach(_line "Exec=mealwise" "Icon=mealwise" "Name=MEALWISE" "Type=Application")
    list(FIND _desktop "${_line}" _at)
    if(_at LESS 0)
        message(FATAL_ERROR "the desktop entry lacks ${_line}")
    endif()
endforeach()
# Each manual page reads with man, names its program and draws no warning
# from the formatter.
find_program(_man man)
if(NOT _man)
    message(FATAL_ERROR "man (man-db) is needed to check the manual pages")
endif()
foreach(_page mealwise mealwise-setup mealwise-diary)
    execute_process(COMMAND "${CMAKE_COMMAND}" -E env MANWIDTH=80 LC_ALL=C.UTF-8
                            MANPATH=${_root}/share/man "${_man}" --warnings -P cat ${_page}
                    RESULT_VARIABLE _rc OUTPUT_VARIABLE _out ERROR_VARIABLE _err)
    string(REGEX REPLACE "-\n *" "-" _joined "${_out}")
    if(NOT _rc EQUAL 0 OR NOT _err STREQUAL "" OR NOT _joined MATCHES "NAME\n +${_page} - ")
        message(FATAL_ERROR "man ${_page} (${_rc}): ${_err}${_out}")
    endif()
endforeach()
# The setup program runs from its installed place.
execute_process(COMMAND "${_root}/bin/mealwise-setup" --path "${STAGE}/diary/Records.mdb" --sample-days 3
                RESULT_VARIABLE _rc ERROR_VARIABLE _err)
if(NOT _rc EQUAL 0 OR NOT EXISTS "${STAGE}/diary/Records.mdb")
    message(FATAL_ERROR "the installed mealwise-setup failed (${_rc}): ${_err}")
endif()
file(REMOVE_RECURSE "${STAGE}")
message(STATUS "installed layout is complete below ${_prefix}")
