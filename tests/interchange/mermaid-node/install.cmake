# Installs the pinned Mermaid into DIR (which holds package.json and
# package-lock.json) with "npm ci", unless the copy there was installed
# from the same lock file. Run by ctest before the tests that use
# Mermaid's own parser.
#
# Without node and npm, or when npm fails (no network), nothing is
# installed and those tests skip, unless QUILLMAP_REQUIRE_NODE=1 asks for
# them, as the CI run does: then this fails.
cmake_minimum_required(VERSION 3.16)

set(required FALSE)
if("$ENV{QUILLMAP_REQUIRE_NODE}" STREQUAL "1")
    set(required TRUE)
endif()

function(give_up reason)
    if(required)
        message(FATAL_ERROR "${reason}")
    endif()
    message(STATUS "${reason}; the tests that run Mermaid's parser will skip.")
endfunction()

find_program(NODE_EXECUTABLE node)
find_program(NPM_EXECUTABLE npm)
if(NOT NODE_EXECUTABLE OR NOT NPM_EXECUTABLE)
    give_up("node or npm is not installed")
    return()
endif()

file(SHA256 "${DIR}/package-lock.json" lock_hash)
set(stamp "${DIR}/node_modules/.quillmap-lock-sha256")
if(EXISTS "${stamp}")
    file(READ "${stamp}" installed_hash)
    if(installed_hash STREQUAL lock_hash AND EXISTS "${DIR}/node_modules/mermaid/package.json")
        message(STATUS "Mermaid is installed in ${DIR}")
        return()
    endif()
endif()

execute_process(
    COMMAND "${NPM_EXECUTABLE}" ci --no-audit --no-fund --loglevel=error
    WORKING_DIRECTORY "${DIR}"
    RESULT_VARIABLE npm_result)
if(NOT npm_result EQUAL 0)
    give_up("npm ci failed in ${DIR} (${npm_result})")
    return()
endif()
file(WRITE "${stamp}" "${lock_hash}")
message(STATUS "Mermaid installed in ${DIR}")
