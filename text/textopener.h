// Text documents as a kind the shell opens by file type and makes by File >
// New (document/docopen.h).
#pragma once

// Installs the text kind's opener; once at start-up, after
// InstallTextDocuments.
void InstallTextFileOpener();
