# kalvir_add_model_program(<name> MAIN <main source> [BLOCKS <sources>...])
#
# Builds a model program the way a preprocessor's output is built: the
# model's block sources become a static library <name>_blocks (linked with the
# runtime, so tests can call the blocks without the main routine), and the
# main routine's source with that library becomes the executable <name>. A
# program whose blocks live in its main source gives no BLOCKS.
function(kalvir_add_model_program name)
  cmake_parse_arguments(MODEL "" "MAIN" "BLOCKS" ${ARGN})
  if(NOT MODEL_MAIN)
    message(FATAL_ERROR "kalvir_add_model_program(${name}): MAIN <source> is required")
  endif()
  add_executable(${name} ${MODEL_MAIN})
  if(MODEL_BLOCKS)
    add_library(${name}_blocks STATIC ${MODEL_BLOCKS})
    target_link_libraries(${name}_blocks PUBLIC kalvir::runtime)
    target_link_libraries(${name} PRIVATE ${name}_blocks)
  else()
    target_link_libraries(${name} PRIVATE kalvir::runtime)
  endif()
endfunction()
