# One set of warnings for every target the project builds: libraries,
# programs, tests, the bench, tools and fuzzers. MEALWISE_WERROR (on in the
# presets scripts/test builds) makes them errors. Qt's, Boost's and Eigen's
# headers come in as system headers, so only our own code is judged; moc's
# generated sources are our targets' too, and are clean under this set.
add_library(mealwise_warnings INTERFACE)
target_compile_options(mealwise_warnings INTERFACE
    -Wall -Wextra -Wformat=2 -Wnon-virtual-dtor -Woverloaded-virtual -Wold-style-cast -Wshadow
    # GCC only: clang builds the fuzzers and knows none of them.
    $<$<CXX_COMPILER_ID:GNU>:-Wduplicated-branches -Wduplicated-cond -Wlogical-op>
    # Clang only: GCC 12's flow-based check reports a null through every
    # QPointer read after its own test and inside libstdc++'s std::function
    # swap (about a hundred, none real); clang's, in the fuzz build, judges
    # our sources without that noise.
    $<$<CXX_COMPILER_ID:Clang>:-Wnull-dereference>
    $<$<BOOL:${MEALWISE_WERROR}>:-Werror>)

# Called at the end of the top-level list: every compiled target of every
# folder gets the set.
function(mealwise_warn_everywhere dir)
    get_property(_targets DIRECTORY "${dir}" PROPERTY BUILDSYSTEM_TARGETS)
    foreach(_t IN LISTS _targets)
        get_target_property(_type ${_t} TYPE)
        if(_type MATCHES "^(EXECUTABLE|STATIC_LIBRARY|SHARED_LIBRARY|MODULE_LIBRARY|OBJECT_LIBRARY)$")
            target_link_libraries(${_t} PRIVATE mealwise_warnings)
        endif()
    endforeach()
    get_property(_subdirs DIRECTORY "${dir}" PROPERTY SUBDIRECTORIES)
    foreach(_d IN LISTS _subdirs)
        mealwise_warn_everywhere("${_d}")
    endforeach()
endfunction()
