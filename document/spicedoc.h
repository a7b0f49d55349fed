// SPICE text circuits held without a window: a circuit-or-text document of the
// text kind whose only page is the text. The compiler reads them like the text
// documents the editor shows; batch runs and the command line use them before
// (and without) a text window.
#pragma once

#include <memory>

class CCTDoc;

// A text circuit holding `text`, named by `path` (may be empty).
std::unique_ptr<CCTDoc> MakeSpiceTextDocument(const char* path, const char* text);
// Reads the file into a new text circuit: 0, or the file's result code.
int LoadSpiceTextDocument(const char* path, std::unique_ptr<CCTDoc>* out);
