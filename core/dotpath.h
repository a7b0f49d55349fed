// ".PATH" statements written into a circuit: the statement text of a path
// kind, telling a statement's kind, and taking the statements a rewrite
// replaces or drops out of a text page.
//
// When the user writes the path settings into a circuit, each kind that is
// written keeps exactly one statement: the first existing statement of a
// written kind is replaced by the new one (grid texts) or dropped so that the
// new one is appended at the end (text pages), every later one is dropped,
// and statements of the kinds left out stay as they are.
#pragma once

#include <string>

// "DATA", "LIBRARY", "PICTURE" for kinds 0-2; null otherwise.
const char* DotPathKindName(int kind);
// ".PATH <KIND> <folders>".
std::string FormatDotPathStatement(int kind, const char* folders);
// The path kind of a ".PATH" statement (its first word ".PATH" without case,
// then DATA, LIB, LIBRARY, PIC or PICTURE); -1 for any other text.
int DotPathStatementKind(const char* text);

// What a rewrite does with each kind: written (its box checked) and, while
// the rewrite goes, whether the new statement has taken the place of an old
// one.
struct DotPathRewrite {
    bool checked[3] = {false, false, false};
    bool written[3] = {false, false, false};
};

enum class DotPathAction { Keep, Replace, Delete };
// The fate of one existing statement of a kind; marks the kind written on Replace.
DotPathAction DecideDotPath(DotPathRewrite& rewrite, int kind);

// Takes the statements the rewrite replaces or drops out of a text page:
// each ".PATH" line together with its "+" continuation lines (comment lines
// between them, beginning with "*" or ";", stay). A replaced kind is marked
// unwritten again, so that its new statement is appended at the end. Lines
// end in CR LF or LF and keep their own ends. Returns the number of lines
// removed.
int RemoveDotPathStatements(std::string& text, DotPathRewrite& rewrite);
