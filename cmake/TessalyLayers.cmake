# Every folder of the program is a layer: a static library whose headers others include as
# "<folder>/<file>.h". A layer's include root holds nothing but a link to its own folder, so a
# header is reachable only from the layers that link it; an include across an edge that the
# links below do not declare fails to compile ("No such file or directory").
#
#   tessaly_layer(<target> <folder> <sources>...)
function(tessaly_layer target folder)
    set(root ${CMAKE_BINARY_DIR}/layers/${folder})
    file(MAKE_DIRECTORY ${root})
    file(CREATE_LINK ${CMAKE_SOURCE_DIR}/${folder} ${root}/${folder} SYMBOLIC)
    add_library(${target} STATIC ${ARGN})
    target_include_directories(${target} PUBLIC ${root})
endfunction()

# A check that a layer cannot reach a header it must not use: a source that includes `header`
# is compiled with the usage requirements of `layer`, and the test passes when the compiler
# reports the header missing. Built by the test only (not part of "all").
#
#   tessaly_layer_probe(<name> <layer> <header>)
function(tessaly_layer_probe name layer header)
    set(source ${CMAKE_BINARY_DIR}/layer_probes/${name}.cpp)
    file(WRITE ${source} "#include <${header}>\n")
    add_library(layer_probe_${name} OBJECT EXCLUDE_FROM_ALL ${source})
    target_link_libraries(layer_probe_${name} PRIVATE ${layer})
    add_test(NAME layers.${name}
             COMMAND ${CMAKE_COMMAND} --build ${CMAKE_BINARY_DIR} --target layer_probe_${name})
    string(REPLACE "." "\\." pattern "${header}")
    set_tests_properties(layers.${name} PROPERTIES
        PASS_REGULAR_EXPRESSION "${pattern}: No such file or directory"
        RESOURCE_LOCK layer_probes LABELS "core;layers" TIMEOUT 120)
endfunction()
