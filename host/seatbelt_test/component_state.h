// The power-on state of the seatbelt chain, kept so that one process can run many scenarios.
//
// The four components and the runtime layer keep their state in file-scope variables and have
// no init operation. The linker gathers the .data and .bss of exactly those five libraries into
// one region of the program (component_state.ld); a worker saves that region before its first
// scenario and copies it back before each one, which puts the chain in the state a fresh
// process has. Any state the five kept elsewhere (none today: no heap, no thread-local storage,
// no static locals) would leak from one scenario to the next; the campaign's tests run
// scenarios in one worker and compare them with fresh processes to catch that.
#ifndef HOST_SEATBELT_TEST_COMPONENT_STATE_H
#define HOST_SEATBELT_TEST_COMPONENT_STATE_H

namespace seatbelt_test {

// Whether the program was linked with the region (which holds g_time_ms). Without it, each
// scenario needs a process of its own.
bool ComponentStateRegionUsable();

// Saves the region as it is now, the power-on state when nothing has run yet.
void SaveComponentState();

// Copies the saved state back into the region.
void RestoreComponentState();

}  // namespace seatbelt_test

#endif  // HOST_SEATBELT_TEST_COMPONENT_STATE_H
