// Shell services that start-up and the program defaults call, not yet built.
//
// Each keeps the contract its callers rely on and does the least honest thing
// meanwhile: nothing, and success where nothing exists yet. Replace each one
// with the real service when its part of the shell is built.
#pragma once

#include <cstddef>

// Sets up the tool-bar geometry.
void InitToolBarGeometry();
// Binds the palette buttons to the components they name.
void BindPaletteButtonsToComponents();
// Rebuilds the Component menu from the component libraries.
void RebuildComponentMenu();
// The document kind of a path by its extension (may complete the path within
// `size` bytes); -1 when the path is no file of a known kind.
int ResolveDocumentExtension(char* path, size_t size, int mode, int kind);
// Opens a file as a document of that kind; the document, or null.
void* OpenFileOfKind(const char* path, int kind);
// Program defaults: palette buttons and names, tool-bar visibility and text
// styles.
void ResetPaletteButtons();
void ResetPaletteNames();
void ResetDefaultVisibility();
void SetDefaultTextStyles();
