# Warnings and, with TW_SANITIZE, the sanitizers: one call per target.
function(tw_defaults target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wshadow -Wnon-virtual-dtor
                                           -Wno-missing-field-initializers)
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
    # GCC 12 reports false out-of-bounds and overlapping copies inside std::string's operator+
    # and append.
    target_compile_options(${target} PRIVATE -Wno-array-bounds -Wno-stringop-overflow
                                             -Wno-restrict)
  endif()
  if(TW_SANITIZE)
    target_compile_options(${target} PRIVATE -fsanitize=address,undefined
                                             -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
    target_link_options(${target} PRIVATE -fsanitize=address,undefined)
  endif()
  if(TW_TSAN)
    target_compile_options(${target} PRIVATE -fsanitize=thread -fno-omit-frame-pointer)
    target_link_options(${target} PRIVATE -fsanitize=thread)
  endif()
endfunction()

# Precompiles the heavy library headers nearly every file of a target includes; `ARGN` adds
# more (such as <gtest/gtest.h> for tests).
function(tw_precompile target)
  target_precompile_headers(${target} PRIVATE <nlohmann/json.hpp> <spdlog/logger.h>
                                              <fmt/format.h> ${ARGN})
endfunction()

# One static library per layer of the plug-in, named after its folder. Its headers are found as
# "FOLDER/x.h" through a directory of the build that holds only a link to FOLDER, and a layer
# links only the layers below it: a file that includes a folder above its own finds no such
# header and fails to build. `BELOW` lists the layers (and packages) this one uses.
function(tw_layer folder)
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "" "SOURCES;BELOW")
  set(target tw_${folder})
  set(root ${PROJECT_BINARY_DIR}/layers/${folder})
  file(MAKE_DIRECTORY ${root})
  file(CREATE_LINK ${PROJECT_SOURCE_DIR}/${folder} ${root}/${folder} SYMBOLIC)
  if(arg_SOURCES)
    add_library(${target} STATIC ${arg_SOURCES})
    target_include_directories(${target} PUBLIC ${root})
    target_link_libraries(${target} PUBLIC ${arg_BELOW})
    # Each library keeps its own template statics, so that unloading the plug-in really unloads
    # it.
    target_compile_options(${target} PRIVATE -fno-gnu-unique)
    tw_defaults(${target})
  else()
    add_library(${target} INTERFACE)
    target_include_directories(${target} INTERFACE ${root})
    target_link_libraries(${target} INTERFACE ${arg_BELOW})
  endif()
endfunction()
