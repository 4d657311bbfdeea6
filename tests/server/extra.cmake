# The server suite starts the real zelt-server program and reads and writes
# the database file it keeps.
add_dependencies(tst_zeltserver zelt-server)
target_compile_definitions(tst_zeltserver PRIVATE ZELT_SERVER_BIN="$<TARGET_FILE:zelt-server>")
target_link_libraries(tst_zeltserver PRIVATE Qt6::Network Qt6::Sql PkgConfig::sodium)
# The same suite against PostgreSQL: run-tests.sh starts a throw-away server
# and sets ZELT_TEST_PG_URL; without it the test skips.
add_test(NAME tst_zeltserver_pg COMMAND tst_zeltserver)
get_test_property(tst_zeltserver ENVIRONMENT server_env)
set_tests_properties(tst_zeltserver_pg PROPERTIES
    ENVIRONMENT "${server_env};ZELT_TEST_STORE=postgresql" LABELS server TIMEOUT 300)
