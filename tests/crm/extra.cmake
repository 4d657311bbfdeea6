# The CRM screens are tested as the client meets them: the plugin is loaded
# from the program's folder through the package list, and its screens are
# created by class name.
foreach(crm_test tst_customerlist tst_customerentry)
    add_dependencies(${crm_test} crm)
    target_compile_definitions(${crm_test} PRIVATE CRM_PLUGIN_DIR="$<TARGET_FILE_DIR:crm>/")
endforeach()
