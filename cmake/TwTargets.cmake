# Warnings and, with TW_SANITIZE, the sanitizers: one call per target.
function(tw_defaults target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wshadow -Wnon-virtual-dtor
                                           -Wno-missing-field-initializers)
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
    # GCC 12 reports false out-of-bounds copies inside std::string's operator+.
    target_compile_options(${target} PRIVATE -Wno-array-bounds -Wno-stringop-overflow)
  endif()
  if(TW_SANITIZE)
    target_compile_options(${target} PRIVATE -fsanitize=address,undefined
                                             -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
    target_link_options(${target} PRIVATE -fsanitize=address,undefined)
  endif()
endfunction()

# Precompiles the heavy library headers nearly every file of a target includes; `ARGN` adds
# more (such as <gtest/gtest.h> for tests).
function(tw_precompile target)
  target_precompile_headers(${target} PRIVATE <nlohmann/json.hpp> <spdlog/logger.h>
                                              <fmt/format.h> ${ARGN})
endfunction()
