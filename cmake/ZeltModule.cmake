include_guard(GLOBAL)

# zelt_add_module(<name> SOURCES <files...> [LIBS <targets...>])
# A module plugin: a shared library linked with com, named so that the
# server's package file "<name>.bpl" finds it (lib<name>.so, <name>.dll,
# lib<name>.dylib) and placed beside the program.
function(zelt_add_module name)
    cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
    add_library(${name} SHARED ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE Zelt::com ${ARG_LIBS})
    if(WIN32)
        # MinGW would add "lib"; the client looks for <name>.dll
        set_target_properties(${name} PROPERTIES PREFIX "")
    endif()
endfunction()
