# The CRM screens are tested as the client meets them: the plugin is loaded
# from the program's folder through the package list, and its screens are
# created by class name.
add_dependencies(tst_customerscreens crm)
target_compile_definitions(tst_customerscreens PRIVATE CRM_PLUGIN_DIR="$<TARGET_FILE_DIR:crm>/")
