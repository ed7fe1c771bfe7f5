# Fails when a file of src/ or tools/ below ROOT includes a header of a layer it may not see.
# Run as: cmake -DROOT=<checkout> -P check_layers.cmake
#
# A layer is a folder; a header without a folder in its name is the including file's own layer.
# Each layer sees itself and the layers listed for it: those directly below, and inside the
# engine every engine layer below. A layer missing from the table sees nothing but itself, so a
# new folder has to be placed here before anything may include it or be included by it.
cmake_minimum_required(VERSION 3.20)
get_filename_component(ROOT "${ROOT}" ABSOLUTE)

set(engine_layers engine/error engine/storage engine/format engine/catalog engine/database
    engine/sql)
set("sees_engine/error" "")
set("sees_engine/storage" engine/error)
set("sees_engine/format" engine/storage engine/error)
set("sees_engine/catalog" engine/format engine/storage engine/error)
set("sees_engine/database" engine/catalog engine/format engine/storage engine/error)
set("sees_engine/sql" engine/database engine/catalog engine/format engine/storage engine/error)
set("sees_ado" ${engine_layers})
set("sees_tools" ${engine_layers})
set("sees_app" "")
set("sees_db" ado app)
set("sees_ui/layouts" app)
set("sees_ui/icon_theme" ui/layouts)
set("sees_ui/selection" ui/layouts db app)
set("sees_ui/tables" ui/layouts db app)
set("sees_ui" ui/selection ui/tables db app)
# The program's entry point puts the whole together.
set("sees_main" ui ui/selection db ado app)

# The layer of a path relative to src/ (a header as included, or a source file).
function(layer_of path out)
    if(path STREQUAL "engine/error.h")
        set(layer engine/error)
    elseif(path MATCHES "^engine/[^/]+$")
        set(layer engine/database)
    elseif(path MATCHES "^(engine|ui)/([^/]+)/")
        set(layer "${CMAKE_MATCH_1}/${CMAKE_MATCH_2}")
    elseif(path MATCHES "^([^/]+)/")
        set(layer "${CMAKE_MATCH_1}")
    elseif(path STREQUAL "main.cpp")
        set(layer main)
    else()
        set(layer "?")
    endif()
    set(${out} "${layer}" PARENT_SCOPE)
endfunction()

file(GLOB_RECURSE files RELATIVE "${ROOT}" "${ROOT}/src/*.h" "${ROOT}/src/*.cpp"
     "${ROOT}/tools/*.h" "${ROOT}/tools/*.cpp")
list(SORT files)
set(violations "")
foreach(file IN LISTS files)
    if(file MATCHES "^tools/")
        set(own tools)
    else()
        string(REGEX REPLACE "^src/" "" relative "${file}")
        layer_of("${relative}" own)
    endif()
    file(STRINGS "${ROOT}/${file}" includes REGEX "^[ \t]*#[ \t]*include[ \t]*\"")
    foreach(line IN LISTS includes)
        string(REGEX REPLACE "^[^\"]*\"([^\"]+)\".*$" "\\1" header "${line}")
        if(NOT header MATCHES "/")
            continue()
        endif()
        layer_of("${header}" target)
        if(target STREQUAL own OR target IN_LIST "sees_${own}")
            continue()
        endif()
        string(APPEND violations "\n  ${file} includes ${header} (${own} may not see ${target})")
    endforeach()
endforeach()

if(violations)
    message(FATAL_ERROR "Includes that go up or skip a layer:${violations}")
endif()
