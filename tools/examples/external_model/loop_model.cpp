// The model program of this example project: the fluid-loop model program of
// the Kalvir tests, whose model data and blocks it takes over unchanged.
#include "tests/support/models/fluid_model.cpp"
