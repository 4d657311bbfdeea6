# The relauncher test starts a helper that registers a restart and ends, to
# see the restart carried out when the library unloads.
add_executable(relaunch_probe ${dir}/relaunch_probe.cpp)
target_link_libraries(relaunch_probe PRIVATE Zelt::com_internal)
add_dependencies(tst_relauncher relaunch_probe)
target_compile_definitions(tst_relauncher PRIVATE RELAUNCH_PROBE="$<TARGET_FILE:relaunch_probe>")
