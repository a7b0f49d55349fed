#include "shell/startup_stubs.h"

// Not yet built: tool bars (no geometry to set up).
void InitToolBarGeometry() {}

// Not yet built: palette buttons (no buttons to bind).
void BindPaletteButtonsToComponents() {}

// Not yet built: the Component menu.
void RebuildComponentMenu() {}

// Not yet built: the table of document kinds by extension; no kind is known.
int ResolveDocumentExtension(char*, size_t, int, int) { return -1; }

// Not yet built: document windows; nothing is opened.
void* OpenFileOfKind(const char*, int) { return nullptr; }

// Not yet built: palette buttons and their pictures.
void ResetPaletteButtons() {}

// Not yet built: component palettes.
void ResetPaletteNames() {}

// Not yet built: the main tool bar's entries.
void ResetDefaultVisibility() {}

// Not yet built: named text styles.
void SetDefaultTextStyles() {}
