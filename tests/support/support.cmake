# What tests and benchmarks share: the recording HTTP server, the recording
# dialog presenter, temporary application folders.
file(GLOB support_sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/*.cpp ${CMAKE_CURRENT_LIST_DIR}/*.h)
add_library(zelt_testsupport STATIC ${support_sources})
target_include_directories(zelt_testsupport PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(zelt_testsupport PUBLIC Zelt::com_internal Qt6::Test Qt6::Network)
# the tests reuse this target's precompiled header, so it carries QtTest too
zelt_precompile_qt(zelt_testsupport)
if(ZELT_PCH)
    target_precompile_headers(zelt_testsupport PRIVATE <QtTest/QtTest>)
endif()

# Screens and the host window that widget tests share; a target of its own
# (in a folder the glob above does not see) because its header needs moc.
add_library(zelt_screenfixtures STATIC ${CMAKE_CURRENT_LIST_DIR}/screens/ScreenFixtures.cpp
                                       ${CMAKE_CURRENT_LIST_DIR}/screens/ScreenFixtures.h)
target_include_directories(zelt_screenfixtures PUBLIC ${CMAKE_CURRENT_LIST_DIR}/screens)
target_link_libraries(zelt_screenfixtures PUBLIC Zelt::com_internal Qt6::Widgets)
target_link_libraries(zelt_testsupport PUBLIC zelt_screenfixtures)
