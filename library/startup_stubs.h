// Component and shape library services that start-up and the program defaults
// call. The libraries are not built yet: each keeps the contract its callers
// rely on and does the least honest thing meanwhile.
#pragma once

struct ComponentDef;

// Opens the configured shape libraries; 0 or a result code (each failure
// reported by the loader itself).
int LoadShapeLibraries();
// Loads the configured component libraries; 0 or a result code (fatal at start-up).
int LoadComponentLibraries();
// Loads the package files the settings name; start-up ignores the result.
int LoadPackageFile();
// Makes the component that placement starts with the current one; null when
// there is no library.
ComponentDef* SelectStartComponent();
// Frees the texts of the recent-components list's slots; the count stays.
void ClearRecentComponents();
