# Module plugins for the package-list test, one source in three variants,
# built into a folder of their own: the test copies what it needs into a
# temporary application folder.
include(${PROJECT_SOURCE_DIR}/cmake/ZeltModule.cmake)

set(fixture_plugin_dir ${CMAKE_BINARY_DIR}/fixtures/plugins)
set(fixture_plugins)
foreach(variant good fail_start fail_stop)
    string(REPLACE "_" "" libname "fixture${variant}")
    string(TOUPPER "FIXTURE_${variant}" define)
    zelt_add_module(${libname} SOURCES ${PROJECT_SOURCE_DIR}/tests/fixtures/plugins/fixture_plugin.cpp)
    target_link_libraries(${libname} PRIVATE Qt6::Widgets)
    target_compile_definitions(${libname} PRIVATE ${define})
    set_target_properties(${libname} PROPERTIES
        LIBRARY_OUTPUT_DIRECTORY ${fixture_plugin_dir}
        RUNTIME_OUTPUT_DIRECTORY ${fixture_plugin_dir})
    list(APPEND fixture_plugins ${libname})
endforeach()

add_dependencies(tst_packagelist ${fixture_plugins})
target_compile_definitions(tst_packagelist PRIVATE FIXTURE_PLUGIN_DIR="${fixture_plugin_dir}")

# The controller's tests: a module whose screen opens from the menus.
zelt_add_module(fixturescreen SOURCES ${PROJECT_SOURCE_DIR}/tests/fixtures/plugins/fixture_screen_plugin.cpp)
# a test probe: it counts live requests, which only com's insides show
target_link_libraries(fixturescreen PRIVATE Qt6::Widgets Zelt::com_internal)
set_target_properties(fixturescreen PROPERTIES
    LIBRARY_OUTPUT_DIRECTORY ${fixture_plugin_dir}
    RUNTIME_OUTPUT_DIRECTORY ${fixture_plugin_dir})
if(TARGET tst_appcontroller)
    add_dependencies(tst_appcontroller fixturescreen)
    target_compile_definitions(tst_appcontroller PRIVATE FIXTURE_PLUGIN_DIR="${fixture_plugin_dir}")
endif()

# The host's main window, as the program builds it.
if(TARGET tst_mainwindow)
    target_link_libraries(tst_mainwindow PRIVATE zelt_host)
endif()
