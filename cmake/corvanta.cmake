# corvanta_library(NAME DIR [FOLDERS ...] [DEPS ...]): a static library of every .cpp in DIR and
# in the named sub-folders of it, with src/ as the include root. New files are picked up on the
# next build.
function(corvanta_library name dir)
    cmake_parse_arguments(ARG "" "" "DEPS;FOLDERS" ${ARGN})
    file(GLOB sources CONFIGURE_DEPENDS ${dir}/*.cpp)
    foreach(folder ${ARG_FOLDERS})
        file(GLOB folder_sources CONFIGURE_DEPENDS ${dir}/${folder}/*.cpp)
        list(APPEND sources ${folder_sources})
    endforeach()
    if(sources)
        add_library(${name} STATIC ${sources})
        target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
        target_link_libraries(${name} PUBLIC ${ARG_DEPS})
    else()
        add_library(${name} INTERFACE)
        target_include_directories(${name} INTERFACE ${PROJECT_SOURCE_DIR}/src)
        target_link_libraries(${name} INTERFACE ${ARG_DEPS})
    endif()
endfunction()

# corvanta_test(NAME DIR [MAIN target] [DEPS ...]): one GoogleTest program of every *_test.cpp in
# DIR. MAIN names the target that provides main() (GoogleTest's own by default).
function(corvanta_test name dir)
    cmake_parse_arguments(ARG "" "MAIN" "DEPS" ${ARGN})
    if(NOT ARG_MAIN)
        set(ARG_MAIN GTest::gtest_main)
    endif()
    file(GLOB sources CONFIGURE_DEPENDS ${dir}/*_test.cpp)
    if(NOT sources)
        return()
    endif()
    add_executable(${name} ${sources})
    # The tests' own code needs no full optimisation (the code under test has it): -O1 compiles
    # it a fifth faster.
    target_compile_options(${name} PRIVATE $<$<CONFIG:Release>:-O1>)
    target_link_libraries(${name} PRIVATE ${ARG_DEPS} GTest::gtest ${ARG_MAIN})
    target_compile_definitions(${name} PRIVATE
        CORVANTA_FIXTURES_DIR="${PROJECT_SOURCE_DIR}/../shared/fixtures"
        CORVANTA_BUILD_DIR="${PROJECT_BINARY_DIR}")
    # The tests' writers keep their journal registry (storage/journal_registry.h) in the build
    # folder, not in the user's own.
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 600
        ENVIRONMENT "CORVANTA_JOURNAL_REGISTRY=${PROJECT_BINARY_DIR}/journal-registry")
endfunction()
