#pragma once

namespace brackenly::EnginePump {

// Qt WebEngine 6.4 can lose the wake-up of its message pump while an event loop runs nested
// in a handler (seen under heavy CPU load): the engine's answers and load reports then wait
// until the outer loop resumes, and a call waiting for one runs out of time. Posting the pump
// a wake-up of its own lets the work through; a spurious one costs an empty pass.

// Starts looking for the pump (it shows itself with its first event). Idempotent.
void watch();
// Wakes the pump; false while it has not been seen (or the engine changed and has no such
// object any more, when waits simply go on as before).
bool nudge();

} // namespace brackenly::EnginePump
