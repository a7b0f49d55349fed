// Opening named files as documents: the command line's files, the recent
// files and files dropped on the main window all come through here.
#pragma once

// The document kind of a file by its extension: circuits (".cir", ".mac") are
// kind 1 (kDocCircuit); -1 for a file of no kind that opens yet.
int DocumentKindOfPath(const char* path);

class CDoc;

// The empty circuit window of an interactive start that named no file; it
// carries the next untitled name. Its document, or null.
CDoc* OpenNewCircuitWindow();

// Installs the document layer's opener as the core's (core/cmdline.h):
// circuits open through OpenCircuitFile, with their messages shown; other
// kinds fail with kResultNotBuilt until their documents exist.
void InstallDocumentFileOpener();
