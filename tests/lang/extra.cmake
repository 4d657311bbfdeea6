# lang.ini also translates the sample module's texts: the language check
# knows them from the module's own resource unit.
target_sources(tst_langres PRIVATE ${CMAKE_SOURCE_DIR}/source/modules/crm/CrmResU.cpp)
target_include_directories(tst_langres PRIVATE ${CMAKE_SOURCE_DIR}/source/modules/crm)
