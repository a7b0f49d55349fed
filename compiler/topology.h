// The topology checks a compile runs before the circuit goes to the analog
// engine: nodes with too few connections, loops made only of voltage-defined
// branches (a singular matrix), the controlling elements of switches and W
// devices, the lossy-line model chains, core winding turns, part names that
// are also node names, and the warning that no source drives an AC run. Each
// check stops at the first fault it reports: 0, or 15055 after a message
// (the part recorded as the place of the error).
#pragma once

#include <string>

class CCTDoc;

// The name of an analog node for messages: its name in the circuit's node
// table, the name the set-up gave an internal node, else its number.
std::string AnalogNodeName(CCTDoc* document, int node);

// floatingCheck: the "Floating Nodes Check" preference (0 while the Attribute
// dialog is open). Runs on the document's parts and pins, before the set-up.
int CheckNodeConnections(CCTDoc* document, int floatingCheck);
// After numbering: a loop of inductors and voltage sources gives 10853.
int CheckVoltageLoops(CCTDoc* document, int analogNodeCount);
// Switches in current-controlled mode need an inductor across their control
// nodes. Switches are not built yet: nothing to check.
int CheckSwitchInductors(CCTDoc* document);
// W switches and their controlling sources. Not built yet: nothing to resolve.
int ResolveWDeviceSources(CCTDoc* document);
// Chains the lossy lines of each lossy-line model. Not built yet: none.
void LinkLossyLineInstances(CCTDoc* document);
// The inductors of a K part with a core model count turns: below 1, 10848.
int CheckTransformerTurns(CCTDoc* document);
// Warns (10866) about the first part whose name is also a node name; skipped
// in batch runs. Always 0.
int CheckPartNodeNames(CCTDoc* document);
// AC runs: warns (11891) when every source of the circuit has AC magnitude 0.
void WarnZeroAcMagnitudes(CCTDoc* document);

// The checks' message texts (start-up; RegisterCompilerMessages calls it).
void RegisterCircuitCheckMessages();
