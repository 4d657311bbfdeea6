# The layer checks of com (cmake/ZeltLayers.cmake) configure a small tree for
# each way a layer can be broken; every broken one must stop configure with
# its message, the clean one must configure.
set(layer_cases
    "widgets_header|includes <QLabel>"
    "widgets_module_path|includes <QtWidgets/QLabel> \\(Qt Widgets\\)"
    "printsupport_header|includes <QPrinter>"
    "visual_project_header|includes \"Visual.h\", which is above the core"
    "links_widgets|must not link Qt6::Widgets"
    "private_header_published|ui/Hidden_p.h is a private header"
    "public_includes_private|includes \"Hidden_p.h\", which is not public"
    "libs_includes_form|libs reach a form:.*Unit.cpp: includes \"Form.h\""
    "clean|Generating done")
foreach(entry IN LISTS layer_cases)
    string(REPLACE "|" ";" parts "${entry}")
    list(GET parts 0 case)
    list(GET parts 1 expected)
    set(name layers_${case})
    add_test(NAME ${name}
             COMMAND ${CMAKE_COMMAND} -S ${CMAKE_CURRENT_LIST_DIR}/fixture
                     -B ${CMAKE_CURRENT_BINARY_DIR}/layers/${case} -G Ninja
                     -DCASE=${case} -DZELT_SOURCE_DIR=${PROJECT_SOURCE_DIR}
                     -DCMAKE_PREFIX_PATH=${Qt6_DIR}/..)
    set_tests_properties(${name} PROPERTIES PASS_REGULAR_EXPRESSION "${expected}" LABELS layers TIMEOUT 120)
endforeach()
