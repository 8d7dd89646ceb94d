# The fonts the tests may see, as file globs: the project's own fonts and
# the fonts of the Debian packages build.sh installs. Nothing else on the
# machine reaches a test. To add a package's fonts, add its package to
# build.sh and its files here.
set(QUILLMAP_TEST_FONTS
    # the embedded fonts (resources/fonts/)
    "${PROJECT_SOURCE_DIR}/resources/fonts/*.ttf"
    # fonts-dejavu-core (the files of fonts-dejavu-extra share the folder)
    "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf"
    "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf"
    "/usr/share/fonts/truetype/dejavu/DejaVuSansMono.ttf"
    "/usr/share/fonts/truetype/dejavu/DejaVuSansMono-Bold.ttf"
    "/usr/share/fonts/truetype/dejavu/DejaVuSerif.ttf"
    "/usr/share/fonts/truetype/dejavu/DejaVuSerif-Bold.ttf"
    # fonts-liberation2
    "/usr/share/fonts/truetype/liberation2/*.ttf"
)

# Writes the tests' fonts.conf from cmake/fonts.conf.in into the build tree.
function(quillmap_write_test_fonts_conf output)
    set(dirs "")
    set(globs "")
    set(dir_globs "")
    set(seen "")
    foreach(glob ${QUILLMAP_TEST_FONTS})
        get_filename_component(dir "${glob}" DIRECTORY)
        string(APPEND globs "            <glob>${glob}</glob>\n")
        if(NOT dir IN_LIST seen)
            list(APPEND seen "${dir}")
            string(APPEND dirs "    <dir>${dir}</dir>\n")
            string(APPEND dir_globs "            <glob>${dir}/*</glob>\n")
        endif()
    endforeach()
    string(STRIP "${dirs}" dirs)
    string(STRIP "${globs}" globs)
    string(STRIP "${dir_globs}" dir_globs)
    set(QUILLMAP_FONT_DIRS "    ${dirs}")
    set(QUILLMAP_FONT_GLOBS "            ${globs}")
    set(QUILLMAP_FONT_DIR_GLOBS "            ${dir_globs}")
    set(QUILLMAP_FONT_CACHE_DIR "${CMAKE_BINARY_DIR}/fontconfig-cache")
    configure_file(${PROJECT_SOURCE_DIR}/cmake/fonts.conf.in "${output}" @ONLY)
endfunction()

set(QUILLMAP_TEST_FONTS_CONF "${CMAKE_BINARY_DIR}/fonts.conf")
quillmap_write_test_fonts_conf("${QUILLMAP_TEST_FONTS_CONF}")

# quillmap_add_test(<name> SOURCES <files...> [UI] [LABELS <labels...>])
#
# Builds a QTest executable linked against the core library (and the UI
# library when UI is given) and registers it with CTest. Every test runs
# with the offscreen platform, so that no display is needed, and with the
# fonts.conf above. The helpers shared across test folders are included as
# "common/<name>.h"; every test program starts through common/testmain.h
# (QUILLMAP_TEST_MAIN and its GUILESS and APPLESS forms, which QTEST_MAIN and
# its forms lead to as well), which runs the application's own start-up in
# UI tests.
function(quillmap_add_test name)
    cmake_parse_arguments(ARG "UI" "" "SOURCES;LABELS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE quillmap_core Qt6::Test)
    if(ARG_UI)
        target_link_libraries(${name} PRIVATE quillmap_ui)
        target_compile_definitions(${name} PRIVATE QUILLMAP_TEST_UI)
    endif()
    target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
    # The shared start comes first, so that QTEST_MAIN leads to it as well.
    target_compile_options(${name} PRIVATE -include ${PROJECT_SOURCE_DIR}/tests/common/testmain.h)
    target_compile_definitions(${name} PRIVATE
        QUILLMAP_TEST_DATA_DIR="${PROJECT_SOURCE_DIR}/tests/data")
    add_test(NAME ${name} COMMAND ${name})
    set_tests_properties(${name} PROPERTIES
        ENVIRONMENT "QT_QPA_PLATFORM=offscreen;LC_ALL=C.UTF-8;FONTCONFIG_FILE=${QUILLMAP_TEST_FONTS_CONF}"
        LABELS "${ARG_LABELS}"
        TIMEOUT 300)
endfunction()
