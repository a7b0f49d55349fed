// The DC path to ground check: a node joined to ground only through
// capacitors, current sources or insulated gates has no DC solution. Run when
// the "DC Path to Ground Check" preference is on, after numbering.
#pragma once

class CCTDoc;
struct SchematicObject;

// Builds the graph of DC-conducting connections between the analog nodes 0 to
// N from every device list and finds the nodes that cannot reach ground. With
// the "Add DC Path to Ground" preference (or while a schematic runs a dynamic
// DC or AC mode) each such node is tied to ground by a resistor of the
// circuit's R_NODE_GND and a warning names them (10861/10862, none in dynamic
// mode); otherwise the compile fails with 10856/10863. The message names at
// most nine nodes and points at a part on the first. 0, or 15055.
int BuildNodeAdjacency(CCTDoc* document, int N);
// The first part (not skipped) with a pin on the node, or null.
SchematicObject* FindPartOnNode(CCTDoc* document, int node);
