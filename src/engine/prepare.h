// The engine's optional warm-up.
#pragma once

namespace engine {

// Runs the engine's `monitorprepare` when the loaded engine exports one; false when it does not.
// Looked up by name at run time, so an engine that exports only `monitormain` still runs (its
// first capture just takes longer).
bool prepare();

}  // namespace engine
