// Opening and saving circuit files: finding or creating the document, telling
// sectioned, old and protected files apart, reading, the checks after a read
// with their messages, and writing through a temporary file with a backup of
// the previous file.
//
// Saving writes "<path>$$TEMP$$" first; only when that file is complete and
// closed does it replace the target (renamed over it in one step), with the
// previous file kept as "<path>_bak". The document counts as saved only then.
#pragma once

#include <cstddef>
#include <cstdint>

#include "document/circuitfile.h"

class CDoc;
class CCirDoc;
class CIODoc;

// CDoc::flags bit of a circuit opened hidden (subcircuits, macros, libraries).
constexpr uint32_t kDocFlagOpenedHidden = 0x2000;

// Opens a circuit file (kind 1) with the load flags; the document or null,
// the result code through `code` (may be null).
CCirDoc* OpenCircuitDocument(const char* path, uint32_t loadFlags, int* code = nullptr);
// Kind 1 circuits; kind -1 a name that cannot be resolved (15055 after 15022
// unless silent); kind 2 text files (Not yet built: 15055).
CDoc* OpenCircuitFile(const char* path, int kind, uint32_t loadFlags, int* code);
// Reads the file into the document (the objects deleted first when asked).
int ReadCircuitFile(CCirDoc* document, CircuitFile& file, const char* path, bool deleteObjects);
// Writes the document in the version through "<path>$$TEMP$$", then replaces
// the target keeping "<path>_bak". The document is marked saved only when all
// of it succeeded; on failure the target and its backup are as they were.
int SaveCircuitFile(CCirDoc* document, const char* path, int32_t version);
// File > Protect: the circuit written as a protected file under the password
// (at most 26 characters; 15009 when longer).
int SaveProtectedCircuitFile(CCirDoc* document, const char* path, const char* password);

// The password prompt of protected files. Until the window layer installs
// one, no password is asked for and the empty one is tried.
class PasswordPromptPort {
public:
    virtual ~PasswordPromptPort() = default;
    // The answer into `out`; false when cancelled (the empty password is
    // used then).
    virtual bool AskPassword(char* out, size_t size) = 0;
};
PasswordPromptPort& PasswordPrompt();
// Returns the prompt installed before; nullptr restores the null object.
PasswordPromptPort* InstallPasswordPrompt(PasswordPromptPort* port);

// Installs the section routines. Safe to call more than once.
void InstallCircuitFile();

// A circuit re-read from its file into a fresh document (Revert); the old one
// is closed only when the new one could be read. Null when it could not.
CIODoc* ReloadCircuitDocument(CIODoc* circuit);
