# kalvir_add_model_program(<name> MAIN <main source> [BLOCKS <sources>...])
#
# Builds a model program the way a preprocessor's output is built: the
# model's block sources become a static library <name>_blocks (linked with the
# runtime, so tests can call the blocks without the main routine), and the
# main routine's source with that library becomes the executable <name>.
function(kalvir_add_model_program name)
  cmake_parse_arguments(MODEL "" "MAIN" "BLOCKS" ${ARGN})
  if(NOT MODEL_MAIN)
    message(FATAL_ERROR "kalvir_add_model_program(${name}): MAIN <source> is required")
  endif()
  add_library(${name}_blocks STATIC ${MODEL_BLOCKS})
  target_link_libraries(${name}_blocks PUBLIC kalvir_runtime)
  add_executable(${name} ${MODEL_MAIN})
  target_link_libraries(${name} PRIVATE ${name}_blocks)
endfunction()
