# Helpers shared by every folder's CMakeLists.txt.

# tarvio_library(NAME [SOURCES ...] [DEPS ...])
# A static library of one folder; headers are included as "folder/File.h" from src/.
function(tarvio_library name)
    cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
    add_library(${name} STATIC ${ARG_SOURCES})
    target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(${name} PUBLIC ${ARG_DEPS})
endfunction()

set(TARVIO_TEST_LABELS "" CACHE STRING
    "Build only the test executables carrying one of these labels (empty: all)")

# tarvio_test(NAME LABEL unit|integration|gui SOURCES ... [DEPS ...])
# One GoogleTest executable; every TEST becomes a CTest test carrying LABEL.
function(tarvio_test name)
    # PARSE_ARGV keeps a quoted label list ("integration;threaded") together as one value.
    cmake_parse_arguments(PARSE_ARGV 1 ARG "" "LABEL;TIMEOUT" "SOURCES;DEPS;ENV")
    if(NOT ARG_LABEL)
        set(ARG_LABEL unit)
    endif()
    if(NOT ARG_TIMEOUT)
        set(ARG_TIMEOUT 120)
    endif()
    add_executable(${name} ${ARG_SOURCES})
    target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/src ${PROJECT_SOURCE_DIR}/tests)
    target_link_libraries(${name} PRIVATE ${ARG_DEPS} GTest::gtest GTest::gmock GTest::gtest_main Threads::Threads)
    # A sanitizer build that runs only some labels builds only their executables; the others
    # stay defined (folders set properties on them) but are neither built nor registered.
    if(TARVIO_TEST_LABELS)
        set(wanted FALSE)
        foreach(label IN LISTS ARG_LABEL)
            if(label IN_LIST TARVIO_TEST_LABELS)
                set(wanted TRUE)
            endif()
        endforeach()
        if(NOT wanted)
            set_target_properties(${name} PROPERTIES EXCLUDE_FROM_ALL TRUE)
            return()
        endif()
    endif()
    list(GET ARG_LABEL 0 firstLabel)
    gtest_discover_tests(${name}
        PROPERTIES LABELS ${firstLabel} TIMEOUT ${ARG_TIMEOUT} ENVIRONMENT "${ARG_ENV}"
        DISCOVERY_TIMEOUT 60)
    # gtest_discover_tests() cannot hand a list on as one property value, so every discovered
    # test gets its full label list from a file CTest reads after the discovered tests.
    set(labelFile ${CMAKE_CURRENT_BINARY_DIR}/${name}_labels.cmake)
    file(WRITE ${labelFile}
        "foreach(t IN LISTS ${name}_TESTS)\n"
        "    set_tests_properties(\"\${t}\" PROPERTIES LABELS \"${ARG_LABEL}\")\n"
        "endforeach()\n")
    set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES ${labelFile})
endfunction()

# tarvio_bench(NAME SOURCES ... [DEPS ...]): one Google Benchmark executable in bench/.
function(tarvio_bench name)
    cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/src ${PROJECT_SOURCE_DIR}/tests)
    target_link_libraries(${name} PRIVATE ${ARG_DEPS} benchmark::benchmark Threads::Threads)
endfunction()
