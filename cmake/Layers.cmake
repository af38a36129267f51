# The core's layers, util <- image <- psd <- job <- app, each a static library of its own.
# A layer's headers are reached as "layer/…" through an include root that holds that layer's
# folder alone, and a library sees only the roots of the layers it links: an include of a
# higher layer, or of one that is not linked, fails to build.
#
#   quillane_add_layer(job SOURCES CreatePSD.cpp … PUBLIC quillane_psd PRIVATE PkgConfig::X)
function(quillane_add_layer name)
  cmake_parse_arguments(PARSE_ARGV 1 layer "" "" "SOURCES;PUBLIC;PRIVATE")
  add_library(quillane_${name} STATIC ${layer_SOURCES})
  set(root ${CMAKE_BINARY_DIR}/layers/${name})
  file(MAKE_DIRECTORY ${root})
  file(CREATE_LINK ${CMAKE_CURRENT_SOURCE_DIR} ${root}/${name} SYMBOLIC)
  target_include_directories(quillane_${name} PUBLIC ${root})
  target_link_libraries(quillane_${name} PUBLIC ${layer_PUBLIC} PRIVATE ${layer_PRIVATE})
endfunction()
