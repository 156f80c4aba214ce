# The files from examples/ the tool carries built in (the default world and config, the game's
# real paths), written into OUT from sim/tool/embedded.cpp.in; the build reconfigures when one
# changes.
function(tw_embed_examples out)
  set(files default_world.tws config.json creatures.tsv items.tsv)
  file(READ ${PROJECT_SOURCE_DIR}/examples/default_world.tws TW_DEFAULT_WORLD_TEXT)
  file(READ ${PROJECT_SOURCE_DIR}/examples/config.json TW_DEFAULT_CONFIG_TEXT)
  file(READ ${PROJECT_SOURCE_DIR}/examples/creatures.tsv TW_CREATURES_TEXT)
  file(READ ${PROJECT_SOURCE_DIR}/examples/items.tsv TW_ITEMS_TEXT)
  configure_file(${PROJECT_SOURCE_DIR}/sim/tool/embedded.cpp.in ${out} @ONLY)
  list(TRANSFORM files PREPEND ${PROJECT_SOURCE_DIR}/examples/)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${files})
endfunction()
