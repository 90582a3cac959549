# A layer's headers are named "<folder>/<file>.h" (e.g. "model/item.h"). Each
# target exports an include root of its own in the build tree that holds only a
# link to its own folder, so a target sees its own headers and those of the
# targets it links, and a lower layer cannot reach the headers of a higher one.
function(pelmora_layer_includes target folder)
  set(root "${PROJECT_BINARY_DIR}/include/${target}")
  cmake_path(GET folder PARENT_PATH parent)
  file(MAKE_DIRECTORY "${root}/${parent}")
  file(CREATE_LINK "${PROJECT_SOURCE_DIR}/src/${folder}" "${root}/${folder}" SYMBOLIC)
  target_include_directories(${target} PUBLIC "${root}")
endfunction()
