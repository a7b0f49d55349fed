// Initial conditions and node sets: .IC and .NODESET statements are stored
// while a circuit is read and applied into the circuit's initial-condition
// table once its nodes and parts exist, together with the initial values of
// capacitors and inductors. Everything lives in the compile session of the
// circuit (compiler/stmtstate.h), so circuits compiled side by side keep
// their own.
#pragma once

#include <vector>

class CCTDoc;
struct InitialConditionEntry;

enum InitialConditionMode : int {
    kInitialClear = 1,  // forget the stored statements
    kInitialStore = 2,  // store one statement with its scope
    kInitialApply = 3,  // apply the stored statements and the parts' own values
    kInitialFree = 4,   // free the stored statements and the table
};

// One step of the initial-condition store of the document's circuit: 0, 15002
// when out of memory, 15055 after a shown message (apply), or the code of a
// failed split.
int ReadInitialConditions(CCTDoc* document, const char* statement, int mode, int scope);

// The table the last apply built; null when the document has no compile session.
const std::vector<InitialConditionEntry>* InitialConditionTable(const CCTDoc* document);
// Whether the last apply saw a .NODESET / an initial condition (.IC or a part's own).
bool NodeSetsPresent(const CCTDoc* document);
bool InitialConditionsPresent(const CCTDoc* document);

void RegisterInitialConditionMessages();

// Installs the store as the compiler's initial-condition port (start-up).
void InstallInitialConditionStore();
