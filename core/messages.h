// The program's string table: message and prompt texts by id.
//
// Each subsystem contributes its own rows with RegisterMessages at start-up (core's
// own rows are always present). Texts beginning "%E" are errors, "%W" warnings.
#pragma once

struct MessageRow {
    int id;
    const char* text;
};

// Adds a table of rows; later tables win over earlier ones for the same id.
// The rows must outlive the program (static tables).
void RegisterMessages(const MessageRow* rows, int count);
// The text of an id, or null when the table has none.
const char* GetMessageText(int id);
