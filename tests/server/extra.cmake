# The server suite starts the real zelt-server program and reads and writes
# the database file it keeps.
add_dependencies(tst_zeltserver zelt-server)
target_compile_definitions(tst_zeltserver PRIVATE ZELT_SERVER_BIN="$<TARGET_FILE:zelt-server>")
target_link_libraries(tst_zeltserver PRIVATE Qt6::Network Qt6::Sql PkgConfig::sodium)
