#pragma once

namespace quellion {

// The application-wide hint delays: once set, every hint of the program (every widget's
// tool tip, not only the results grid's own hint) appears 250 ms after the mouse came to
// rest and disappears 5000 ms after it appeared. Set on the GUI thread; setting them
// again changes nothing.
void SetProgramHintDelays();

// Whether they have been set in this program run.
bool ProgramHintDelaysSet();

}  // namespace quellion
