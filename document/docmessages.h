// The circuit document's rows of the string table. Helpers of this folder add
// their rows to the table in docmessages.cpp (kept grouped by topic).
#pragma once

// File-backed documents.
constexpr int kMsgFileNameInUse = 13510;   // "%EThat file name is already in use.\n%s." (core)
constexpr int kMsgRevertQuestion = 13511;  // "Revert to the disk version ?"
constexpr int kMsgSaveChanges = 13556;     // "Save changes in '%s'?"
// Pages.
constexpr int kMsgPageNameTaken = 13515;  // "%ECannot rename a page with the same name as another page."
constexpr int kMsgKeepOnePage = 13553;    // "%EMust keep at least one Page."
constexpr int kMsgPageNotEmpty = 13555;   // "%WPage '%s' is not empty. ... Delete anyhow?"
constexpr int kMsgTabStripPrompt = 12363;

// Registers the rows (once; later calls do nothing).
void RegisterDocumentMessages();
