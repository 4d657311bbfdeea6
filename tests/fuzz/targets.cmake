# One call per reader of outside input (see extra.cmake).
# compared with what Qt's parser gives (tests/support/JsonReaderDifferential.h)
zelt_add_fuzz_target(jsonrowreader LIBS Zelt::com_internal)
zelt_add_fuzz_target(errorenvelope LIBS Zelt::com_internal)
zelt_add_fuzz_target(menutree LIBS Zelt::com_internal)
zelt_add_fuzz_target(packagelist LIBS Zelt::com_internal)
zelt_add_fuzz_target(pagemeta LIBS Zelt::com_internal)
zelt_add_fuzz_target(config LIBS Zelt::com_internal)
zelt_add_fuzz_target(updaterecord LIBS zelt_updaterecord)
# the launcher's apply reading "updates.json" beside a staging on disk
zelt_add_fuzz_target(stagedapply LIBS zelt_launcher_apply)
zelt_add_fuzz_target(inifile LIBS Zelt::com_internal)
zelt_add_fuzz_target(qtystr LIBS Zelt::com_internal)
zelt_add_fuzz_target(sqlin LIBS Zelt::com_internal)
zelt_add_fuzz_target(reportlayout LIBS Zelt::com_internal)
# an update archive fetched from a local server and unpacked into "updates/"
zelt_add_fuzz_target(updatearchive LIBS zelt_testsupport)
# a document's record and detail lines read from the text, against the document
zelt_add_fuzz_target(detailrows LIBS Zelt::com_internal)
