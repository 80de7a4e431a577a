#pragma once
// Unit Decisioncubebugworkaround: sets the pivot cubes' memory capacity once,
// when the module loads, from the machine's free memory and swap.
void Decisioncubebugworkaround_Initialization();
