#pragma once

// Lets the busy indicator turn while the GUI thread does long work behind
// it, such as taking a large file into the model and onto the canvas. The
// indicator opens a pumping scope around such work; inside it,
// step() runs the event loop, user input excluded, at most once per
// IntervalMs (longer after a pass that took long), and outside of one it
// does nothing, so that the same loops stay still when they run on behalf
// of a command without the indicator.
namespace eventpump {

constexpr int IntervalMs = 20;

// Pumping is on while at least one scope lives (GUI thread only).
class Scope
{
public:
    Scope();
    ~Scope();
    Scope(const Scope&) = delete;
    Scope& operator=(const Scope&) = delete;
};

// Whether a scope is open.
bool active();

// Runs pending events (user input excluded) when a scope is open and the
// last pass is IntervalMs ago or more; says whether it ran them. Cheap
// enough to call once per item.
bool step();

} // namespace eventpump
