cmake_minimum_required(VERSION 3.25)
# Fails when a source file includes a folder above its own in the code map (README "Code map").
#   cmake -DSOURCE_DIR=<tree> -P check_layers.cmake
# Each rule: a folder, then the folders its files may include (their own always allowed).
set(rules
    "platform|"
    "platform/qt|platform"
    "fileformat|"
    "toolkit|platform"
    "toolkit/ua|toolkit/ua/security toolkit platform"
    "toolkit/ua/security|toolkit/ua toolkit"
    "north/mqtt|toolkit/ua toolkit/ua/security toolkit platform"
    "modbus|toolkit platform"
    "modbus/tcp|modbus toolkit platform"
    "modbus/rtu|modbus toolkit platform"
    "config|modbus toolkit fileformat platform"
    "engine|config modbus toolkit fileformat platform"
    "server|engine config modbus modbus/tcp modbus/rtu north/mqtt toolkit toolkit/ua toolkit/ua/security fileformat platform"
    "ui|server engine config modbus modbus/tcp modbus/rtu toolkit fileformat platform platform/qt"
    "web|ui server engine config modbus toolkit toolkit/ua toolkit/ua/security fileformat platform"
    "editor|fileformat platform"
    "editor/window|editor fileformat platform platform/qt"
    "apps|web ui server engine config modbus modbus/tcp modbus/rtu north/mqtt toolkit toolkit/ua toolkit/ua/security fileformat platform platform/qt editor editor/window"
    "tools|"
    "tools/vorn-users|north/mqtt toolkit/ua/security toolkit/ua fileformat platform"
    "tools/vorn-pki|server toolkit/ua/security toolkit/ua toolkit fileformat platform")
# Folders that must stay free of Qt whatever they include.
set(qt_free platform toolkit toolkit/ua toolkit/ua/security north/mqtt tools/vorn-users tools/vorn-pki modbus modbus/tcp modbus/rtu config engine server editor
    fileformat web)

set(folders "")
foreach(rule ${rules})
    string(REPLACE "|" ";" parts "${rule}")
    list(GET parts 0 folder)
    list(APPEND folders ${folder})
endforeach()

# The deepest known folder that holds `path` (a path relative to the tree), or "" for none.
function(owning_folder path out)
    set(best "")
    foreach(folder ${folders})
        string(LENGTH "${folder}/" n)
        string(SUBSTRING "${path}" 0 ${n} head)
        string(LENGTH "${best}" best_length)
        if(head STREQUAL "${folder}/" AND n GREATER best_length)
            set(best ${folder})
        endif()
    endforeach()
    set(${out} "${best}" PARENT_SCOPE)
endfunction()

get_filename_component(SOURCE_DIR "${SOURCE_DIR}" ABSOLUTE)
set(violations 0)
foreach(rule ${rules})
    string(REPLACE "|" ";" parts "${rule}")
    list(GET parts 0 folder)
    set(allowed "")
    list(LENGTH parts count)
    if(count GREATER 1)
        list(GET parts 1 allowed)
        string(REPLACE " " ";" allowed "${allowed}")
    endif()
    list(APPEND allowed ${folder})
    file(GLOB sources RELATIVE ${SOURCE_DIR} ${SOURCE_DIR}/${folder}/*.h ${SOURCE_DIR}/${folder}/*.cpp)
    foreach(source ${sources})
        file(STRINGS ${SOURCE_DIR}/${source} lines REGEX "^[ \t]*#[ \t]*include")
        foreach(line ${lines})
            if(line MATCHES "#[ \t]*include[ \t]*\"([^\"]+)\"")
                owning_folder("${CMAKE_MATCH_1}" target)
                if(NOT target STREQUAL "" AND NOT target IN_LIST allowed)
                    message(STATUS "layer violation: ${source} includes ${CMAKE_MATCH_1} (${folder}/ may not use ${target}/)")
                    math(EXPR violations "${violations} + 1")
                endif()
            elseif(line MATCHES "#[ \t]*include[ \t]*<(Q[A-Za-z]+)" AND folder IN_LIST qt_free)
                message(STATUS "layer violation: ${source} includes <${CMAKE_MATCH_1}> (${folder}/ stays free of Qt)")
                math(EXPR violations "${violations} + 1")
            endif()
        endforeach()
    endforeach()
endforeach()
if(violations GREATER 0)
    message(FATAL_ERROR "${violations} include(s) against the code map's layers")
endif()
message(STATUS "every include follows the code map's layers")
