# The list reader's test replays the fuzz target's seed corpus.
target_compile_definitions(tst_jsonrowreader PRIVATE ZELT_FUZZ_CORPUS="${CMAKE_SOURCE_DIR}/tests/fuzz/corpus")
