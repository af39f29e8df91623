// Heater manager: the update that the variables blocks call.
//
// Minimal version: a model without heaters switches nothing. The heater
// manager replaces this file.
#pragma once

// Runs the heater manager's update for the block named in OPBLOK.
void HEATER_UPDATE();
