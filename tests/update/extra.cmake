# Fixture archives are built with QuaZip; the launcher suite drives the
# applying library directly and the real ZeltLauncher program, with a small
# program standing in for the client (kept out of bin/, which is the
# installed folder).
set(update_fixtures ${dir}/UpdateFixtures.cpp ${dir}/UpdateFixtures.h)
target_sources(tst_updater PRIVATE ${update_fixtures})
target_link_libraries(tst_updater PRIVATE QuaZip::QuaZip PkgConfig::sodium zelt_updaterecord)

add_executable(update_standin ${dir}/standin_client.cpp)
target_link_libraries(update_standin PRIVATE Qt6::Core)
set_target_properties(update_standin PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/fixtures/update)

target_sources(tst_launcher PRIVATE ${update_fixtures})
target_link_libraries(tst_launcher PRIVATE QuaZip::QuaZip zelt_launcher_apply)
add_dependencies(tst_launcher ZeltLauncher update_standin)
target_compile_definitions(tst_launcher PRIVATE
    ZELT_LAUNCHER_BIN="$<TARGET_FILE:ZeltLauncher>"
    STANDIN_BIN="$<TARGET_FILE:update_standin>")

target_sources(tst_updateguard PRIVATE ${update_fixtures})
target_link_libraries(tst_updateguard PRIVATE QuaZip::QuaZip)
