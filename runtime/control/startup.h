// The start-up driver: records the model name and brings a run up to the
// parameter-case loop.
#pragma once

#include <string_view>

// Hands the model name to the global flags (kept cut or padded to 24 characters).
void SVMNAM(std::string_view MODELNAME);

// Sizes and allocates the global arrays and sets the run up.
void MAINA(std::string_view MODELNAME);
