# One static library per source folder, built from every source in it, so that
# adding a file needs no edit here.
function(mealwise_library name dir)
    file(GLOB _sources CONFIGURE_DEPENDS "${dir}/*.cpp" "${dir}/*.h")
    add_library(${name} STATIC ${_sources})
    target_include_directories(${name} PUBLIC "${PROJECT_SOURCE_DIR}/src")
    target_link_libraries(${name} PUBLIC ${ARGN})
endfunction()

# Every test runs headless, with a home folder of its own so that no test can
# reach a real diary or real settings; tests that need an empty home make a
# temporary one (TempHome).
function(mealwise_test name)
    cmake_parse_arguments(T "" "TIMEOUT" "SOURCES;LIBS" ${ARGN})
    add_executable(${name} ${T_SOURCES})
    target_link_libraries(${name} PRIVATE ${T_LIBS} mw_testsupport Qt6::Test)
    add_test(NAME ${name} COMMAND ${name})
    if(NOT T_TIMEOUT)
        set(T_TIMEOUT 120)
    endif()
    set(_home "${CMAKE_CURRENT_BINARY_DIR}/home-${name}")
    set_tests_properties(${name} PROPERTIES
        TIMEOUT ${T_TIMEOUT}
        ENVIRONMENT "QT_QPA_PLATFORM=offscreen;HOME=${_home};XDG_CONFIG_HOME=${_home}/.config;QT_LOGGING_RULES=qt.qpa.*=false")
endfunction()
