// Undo entries of circuit-or-text documents and the record copies they hold.
#pragma once

#include "core/fontspec.h"
#include "core/pool.h"
#include "document/ctdoc.h"
#include "shell/document.h"

// The entry record of circuit and text documents: the base entry, the
// text-page font of font steps, the held copy of one changed object (kind 7)
// and, for circuits, the object and grid-text lists of a whole-document step.
struct CircuitUndoEntry : UndoEntry {
    CircuitUndoEntry();
    ~CircuitUndoEntry();
    CircuitUndoEntry(const CircuitUndoEntry&) = delete;
    CircuitUndoEntry& operator=(const CircuitUndoEntry&) = delete;

    FontSpec textFont{};
    SchematicObject heldObject{};
    GridTextObject heldText{};
    ObjectPool objects;    // SchematicObject copies
    ObjectPool gridTexts;  // GridTextObject copies
    bool holdsLists = false;
    // The page table of a whole-document step (records copied without
    // editors, texts in copiedText) and the pages the panes showed.
    PageRecord* pages = nullptr;
    int32_t pageCount = 0;
    bool holdsPages = false;
    int32_t paneCurrentPage[kMaxPanes] = {};
    int32_t paneFirstTab[kMaxPanes] = {};
};

// Makes the document's undo pool hold CircuitUndoEntry records (empty pool).
void UseCircuitUndoEntries(CDoc& document);

// Record copies for undo and paste. The target is an initialised record
// (its attribute list a list); what it owned is released first. 0, or 15002
// with the target left holding what could be copied.
int CopyComponentRecord(SchematicObject* target, const SchematicObject* source);
int CopyTextRecord(GridTextObject* target, const GridTextObject* source);

// Copies the document's page table for an undo step: 0, or 15002 with
// nothing allocated.
int CopyPageTable(const CCTDoc& document, PageRecord** table, int32_t* count);
void FreePageTable(PageRecord** table, int32_t* count);

// Copies every record of the document's two lists into empty pools that
// hold the same record types. 0 or 15002.
int CopyObjectLists(const CCTDoc& document, ObjectPool* objects, ObjectPool* gridTexts);

// The largest history a circuit of `objectCount` objects keeps: 100 000 /
// (objects + 1), between 10 and 200.
int CircuitUndoLimit(int objectCount);
