# zelt_precompile_qt(<target>)
# Precompiles the Qt headers nearly every unit includes; on two cores this
# roughly halves a clean build, which keeps CI's two full builds short.
# zelt_precompile_qt(<target> [CORE]): CORE leaves the widgets out, so that
# the non-visual core cannot use them without saying so.
function(zelt_precompile_qt target)
    if(ZELT_PCH)
        set(headers
            <QString> <QStringList> <QList> <QHash> <QVariant> <QDateTime> <QPointer>
            <QJsonArray> <QJsonDocument> <QJsonObject> <QJsonValue> <QCoreApplication>
            <functional> <memory> <vector>)
        if(NOT "CORE" IN_LIST ARGN)
            list(APPEND headers <QWidget> <QDialog> <QLabel> <QLineEdit> <QPushButton> <QComboBox>
                                <QVBoxLayout> <QHBoxLayout>)
        endif()
        target_precompile_headers(${target} PRIVATE ${headers})
    endif()
endfunction()

# zelt_add_test(<name> SOURCES <files...> [LIBS <targets...>] [LABELS <labels...>])
# The environment every test runs in: offscreen, and under the sanitizers
# their options and the suppressions for system libraries.
function(zelt_test_environment out)
    set(env "QT_QPA_PLATFORM=offscreen")
    if(ZELT_SANITIZE)
        list(APPEND env
            "ASAN_OPTIONS=detect_leaks=1:abort_on_error=0:detect_odr_violation=0"
            "LSAN_OPTIONS=suppressions=${PROJECT_SOURCE_DIR}/tests/lsan.supp:print_suppressions=0"
            "UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1")
    endif()
    set(${out} "${env}" PARENT_SCOPE)
endfunction()

# One QtTest executable registered with CTest, run offscreen.
function(zelt_add_test name)
    cmake_parse_arguments(ARG "" "" "SOURCES;LIBS;LABELS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE Zelt::com_internal zelt_testsupport Qt6::Test ${ARG_LIBS})
    if(ZELT_PCH)
        # compiled once for all tests; a test whose extra libraries change the
        # flags the header depends on just compiles without it
        target_precompile_headers(${name} REUSE_FROM zelt_testsupport)
    endif()
    add_test(NAME ${name} COMMAND ${name})
    zelt_test_environment(env)
    set_tests_properties(${name} PROPERTIES ENVIRONMENT "${env}" LABELS "${ARG_LABELS}" TIMEOUT 300)
endfunction()

# Every tests/<subsystem>/tst_<unit>.cpp becomes one test executable of that
# name. A folder that needs more (fixture plugins, extra sources) keeps an
# extra.cmake beside its tests; it runs after the automatic ones.
function(zelt_add_test_folder dir)
    get_filename_component(subsystem ${dir} NAME)
    file(GLOB tests CONFIGURE_DEPENDS ${dir}/tst_*.cpp)
    foreach(src IN LISTS tests)
        get_filename_component(name ${src} NAME_WE)
        zelt_add_test(${name} SOURCES ${src} LABELS ${subsystem})
    endforeach()
    if(EXISTS ${dir}/extra.cmake)
        include(${dir}/extra.cmake)
    endif()
endfunction()
