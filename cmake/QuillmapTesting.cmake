# quillmap_add_test(<name> SOURCES <files...> [UI] [LABELS <labels...>])
#
# Builds a QTest executable linked against the core library (and the UI
# library when UI is given) and registers it with CTest. Every test runs
# with the offscreen platform so that no display is needed. The helpers
# shared across test folders are included as "common/<name>.h".
function(quillmap_add_test name)
    cmake_parse_arguments(ARG "UI" "" "SOURCES;LABELS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE quillmap_core Qt6::Test)
    if(ARG_UI)
        target_link_libraries(${name} PRIVATE quillmap_ui)
    endif()
    target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
    target_compile_definitions(${name} PRIVATE
        QUILLMAP_TEST_DATA_DIR="${PROJECT_SOURCE_DIR}/tests/data")
    add_test(NAME ${name} COMMAND ${name})
    set_tests_properties(${name} PROPERTIES
        ENVIRONMENT "QT_QPA_PLATFORM=offscreen;LC_ALL=C.UTF-8"
        LABELS "${ARG_LABELS}"
        TIMEOUT 300)
endfunction()
