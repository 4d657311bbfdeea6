# The end-to-end test runs the real server and loads the real crm plugin from
# the program folder, and drives the host's own main window.
add_dependencies(tst_endtoend zelt-server crm)
target_link_libraries(tst_endtoend PRIVATE zelt_host Qt6::Sql)
target_compile_definitions(tst_endtoend PRIVATE ZELT_BIN_DIR="$<TARGET_FILE_DIR:zelt-server>/")
