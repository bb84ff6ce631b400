find_package(GTest REQUIRED)
include(GoogleTest)

# tessary_add_test(name SOURCES a.cpp b.cpp LIBS image ...)
# Builds one GoogleTest executable into build/bin and registers its tests with ctest.
function(tessary_add_test name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main)
  target_compile_definitions(${name} PRIVATE
    TESSARY_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
    TESSARY_BINARY_DIR="${PROJECT_BINARY_DIR}")
  gtest_discover_tests(${name}
    DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT 60
    PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen;QT_QUICK_BACKEND=software;TESSARY_SOURCE_DIR=${PROJECT_SOURCE_DIR}")
endfunction()

# tessary_add_tests_in_folder(LIBS ...): one test executable per *_test.cpp file of the folder.
function(tessary_add_tests_in_folder prefix)
  cmake_parse_arguments(T "" "" "LIBS" ${ARGN})
  file(GLOB tests CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*_test.cpp)
  file(GLOB helpers CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*_support.cpp)
  foreach(t ${tests})
    get_filename_component(base ${t} NAME_WE)
    tessary_add_test(${prefix}_${base} SOURCES ${t} ${helpers} LIBS ${T_LIBS})
  endforeach()
endfunction()
