# The end-to-end test runs the real server and loads the real crm plugin from
# the program folder, and drives the host's own main window.
add_dependencies(tst_endtoend zelt-server crm)
target_link_libraries(tst_endtoend PRIVATE zelt_host Qt6::Sql)
target_compile_definitions(tst_endtoend PRIVATE ZELT_BIN_DIR="$<TARGET_FILE_DIR:zelt-server>/")
# Again against PostgreSQL (ZELT_TEST_PG_URL from run-tests.sh; skips without it).
add_test(NAME tst_endtoend_pg COMMAND tst_endtoend)
get_test_property(tst_endtoend ENVIRONMENT e2e_env)
set_tests_properties(tst_endtoend_pg PROPERTIES ENVIRONMENT "${e2e_env};ZELT_TEST_STORE=postgresql" LABELS e2e TIMEOUT 300)
