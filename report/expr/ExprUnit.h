#pragma once

class TQRFunctionLibrary;
class TQREvEnvironment;

namespace qrexpr {

// The process-wide objects of the expression layer: made on first use (the registry with its built-ins,
// then the global environment) and freed at process exit in that order.
struct Unit {
    Unit();
    ~Unit();
    TQRFunctionLibrary *registry = nullptr;
    TQREvEnvironment *global = nullptr;
    // Guards the release of the global environment against re-entry through its own entries.
    bool releasingGlobal = false;
};

// The unit; null from the start of its destruction on, so an evaluator that outlives it finds nothing
// instead of a freed object.
Unit *unit();

} // namespace qrexpr
