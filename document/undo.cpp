#include "document/undo.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "core/memory.h"
#include "core/result.h"
#include "document/attributes.h"
#include "document/cirdoc.h"
#include "document/nodes.h"
#include "shell/app.h"
#include "shell/mainframe.h"

namespace {

// Exchanges the contents of two records of the same type, leaving each one's
// list links where they are (the live record stays in its list).
template <class Record>
void ud_SwapContents(Record* a, Record* b) {
    static_assert(std::is_base_of_v<PoolItem, Record>);
    constexpr size_t header = sizeof(PoolItem);
    unsigned char buffer[sizeof(Record)];
    auto* pa = reinterpret_cast<unsigned char*>(a);
    auto* pb = reinterpret_cast<unsigned char*>(b);
    std::memcpy(buffer, pa + header, sizeof(Record) - header);
    std::memcpy(pa + header, pb + header, sizeof(Record) - header);
    std::memcpy(pb + header, buffer, sizeof(Record) - header);
}

void ud_InitObjectPool(ObjectPool* pool) {
    pool->Init();
    pool->Holds<SchematicObject, &DestroySchematicObject>();
}

void ud_InitTextPool(ObjectPool* pool) {
    pool->Init();
    pool->Holds<GridTextObject, &DestroyGridTextObject>();
}

// No step while an analysis holds the circuit, unless a Dynamic mode runs.
bool ud_AnalysisHoldsCircuits() {
    const CMainFrame* frame = GetMainFrame();
    return RunState().activeAnalysis != -1 && !(frame && frame->dynamicMode);
}

CircuitUndoEntry* ud_Current(CDoc& document) { return static_cast<CircuitUndoEntry*>(document.currentUndo); }

// Exchanges the live page table with the entry's. The live table keeps its
// editors (SwapPageTable hands them over); the entry then holds fresh copies
// of what was live, so that the same entry serves the way back. False, with
// nothing changed, when the copies cannot be had.
bool ud_SwapPages(CCTDoc& document, CircuitUndoEntry& entry) {
    if (!entry.holdsPages) return true;
    PageRecord* live = nullptr;
    int32_t liveCount = 0;
    if (CopyPageTable(document, &live, &liveCount) != 0) return false;
    document.SwapPageTable(&entry.pages, &entry.pageCount);
    // What came back are the records that were live: their editors were
    // handed over or destroyed.
    for (int i = 0; i < entry.pageCount; ++i) entry.pages[i].editor = nullptr;
    FreePageTable(&entry.pages, &entry.pageCount);
    entry.pages = live;
    entry.pageCount = liveCount;
    for (int pane = 0; pane < kMaxPanes; ++pane) {
        std::swap(entry.paneCurrentPage[pane], document.paneCurrentPage[pane]);
        std::swap(entry.paneFirstTab[pane], document.paneFirstTab[pane]);
        if (document.paneCurrentPage[pane] > document.PageCount() - 1)
            document.paneCurrentPage[pane] = std::max(0, document.PageCount() - 1);
    }
    return true;
}

// The font and the base step of a whole-document swap.
void ud_FinishSwap(CCTDoc& document, CircuitUndoEntry* entry) {
    if (entry) {
        std::swap(entry->textFont, document.textPageFont);
        document.ApplyTextFont(nullptr, 1);
    }
    document.CDoc::SwapUndoState();
}

}  // namespace

CircuitUndoEntry::CircuitUndoEntry() {
    InitAttributeList(&heldObject.attributes);
    ud_InitObjectPool(&objects);
    ud_InitTextPool(&gridTexts);
}

CircuitUndoEntry::~CircuitUndoEntry() {
    FreePageTable(&pages, &pageCount);
    // The held component does not own its definition.
    heldObject.definition = nullptr;
    DestroySchematicObject(&heldObject);
    DestroyGridTextObject(&heldText);
    objects.DeleteAll();
    gridTexts.DeleteAll();
}

void UseCircuitUndoEntries(CDoc& document) {
    document.ClearUndo();
    document.undoPool.Holds<CircuitUndoEntry, &DestroyUndoEntry>();
}

int CopyComponentRecord(SchematicObject* target, const SchematicObject* source) {
    if (!target || !source || target == source) return 0;
    DestroySchematicObject(target);
    ObjectPool attributes = std::move(target->attributes);
    PoolItem header = *target;
    // Plain fields first, then every owned part is copied afresh so that the
    // two records never share a block.
    std::memcpy(reinterpret_cast<unsigned char*>(target) + sizeof(PoolItem),
                reinterpret_cast<const unsigned char*>(source) + sizeof(PoolItem),
                sizeof(SchematicObject) - sizeof(PoolItem));
    static_cast<PoolItem&>(*target) = header;
    std::memcpy(static_cast<void*>(&target->attributes), &attributes, sizeof attributes);
    target->pinNodes = nullptr;
    target->pinBox = nullptr;
    target->ownedObject = nullptr;
    target->ownedText = nullptr;
    target->compilerData = nullptr;
    const int pins = source->pinNodes ? source->pinCount : 0;
    target->pinCount = 0;
    int result = 0;
    if (pins > 0) {
        target->pinNodes = static_cast<int32_t*>(MemAlloc(sizeof(int32_t) * static_cast<size_t>(pins)));
        if (target->pinNodes) {
            std::memcpy(target->pinNodes, source->pinNodes, sizeof(int32_t) * static_cast<size_t>(pins));
            target->pinCount = pins;
        } else {
            result = kResultNoMemory;
        }
    }
    if (source->pinBox) {
        target->pinBox = AllocPinBox(source->pinBox->pinCount);
        if (target->pinBox) {
            std::memcpy(static_cast<void*>(target->pinBox), source->pinBox,
                        sizeof(PinBox) + sizeof(ComponentPin) * static_cast<size_t>(source->pinBox->pinCount));
        } else {
            result = kResultNoMemory;
        }
    }
    if (source->ownedText && !SetString(&target->ownedText, source->ownedText)) result = kResultNoMemory;
    const int attributesCopied = CopyAttributesFrom(target, source);
    return result ? result : attributesCopied;
}

int CopyTextRecord(GridTextObject* target, const GridTextObject* source) {
    if (!target || !source || target == source) return 0;
    DestroyGridTextObject(target);
    PoolItem header = *target;
    std::memcpy(reinterpret_cast<unsigned char*>(target) + sizeof(PoolItem),
                reinterpret_cast<const unsigned char*>(source) + sizeof(PoolItem),
                sizeof(GridTextObject) - sizeof(PoolItem));
    static_cast<PoolItem&>(*target) = header;
    target->text = target->formulaResult = target->thirdText = nullptr;
    int result = 0;
    if (source->text && !SetString(&target->text, source->text)) result = kResultNoMemory;
    if (source->formulaResult && !SetString(&target->formulaResult, source->formulaResult)) result = kResultNoMemory;
    if (source->thirdText && !SetString(&target->thirdText, source->thirdText)) result = kResultNoMemory;
    return result;
}

int CopyObjectLists(const CCTDoc& document, ObjectPool* objects, ObjectPool* gridTexts) {
    for (PoolItem* p = document.objects.first; p; p = p->next) {
        if (p->type == kPoolItemDead) continue;
        auto* copy = objects->AddNewConstructed<SchematicObject>(p->type);
        if (!copy) return kResultNoMemory;
        InitAttributeList(&copy->attributes);
        if (int rc = CopyComponentRecord(copy, static_cast<const SchematicObject*>(p))) return rc;
    }
    for (PoolItem* p = document.gridTexts.first; p; p = p->next) {
        if (p->type == kPoolItemDead) continue;
        auto* copy = gridTexts->AddNewConstructed<GridTextObject>(p->type);
        if (!copy) return kResultNoMemory;
        if (int rc = CopyTextRecord(copy, static_cast<const GridTextObject*>(p))) return rc;
    }
    return 0;
}

int CopyPageTable(const CCTDoc& document, PageRecord** table, int32_t* count) {
    *table = nullptr;
    *count = 0;
    const int n = document.PageCount();
    if (n <= 0) return 0;
    auto* copy = static_cast<PageRecord*>(MemAllocZero(sizeof(PageRecord) * static_cast<size_t>(n)));
    if (!copy) return kResultNoMemory;
    for (int i = 0; i < n; ++i) {
        if (CopyPageRecord(&copy[i], *document.Page(i))) continue;
        int32_t made = i;
        FreePageTable(&copy, &made);
        return kResultNoMemory;
    }
    *table = copy;
    *count = n;
    return 0;
}

void FreePageTable(PageRecord** table, int32_t* count) {
    if (!*table) return;
    for (int i = 0; i < *count; ++i) FreePageRecord(&(*table)[i]);
    MemFree(*table);
    *table = nullptr;
    *count = 0;
}

int CircuitUndoLimit(int objectCount) {
    const double limit = 1000.0 / (static_cast<double>(objectCount) + 1.0) * 100.0;
    return static_cast<int>(std::clamp(limit, 10.0, 200.0));
}

// ---- circuit-or-text documents ------------------------------------------------------------

void CCTDoc::PushUndoWithSelection(const char* label) {
    if (undoSuspended) return;
    CDoc::PushUndoWithSelection(label);
    CircuitUndoEntry* entry = ud_Current(*this);
    if (!entry || entry->kind != 12 || undoPool.last != entry) return;
    entry->textFont = textPageFont;
    // Without memory for the copy the step keeps no pages (and swaps none).
    entry->holdsPages = CopyPageTable(*this, &entry->pages, &entry->pageCount) == 0;
    for (int pane = 0; pane < kMaxPanes; ++pane) {
        entry->paneCurrentPage[pane] = paneCurrentPage[pane];
        entry->paneFirstTab[pane] = paneFirstTab[pane];
    }
}

void CCTDoc::SwapUndoState() {
    if (RunState().activeAnalysis != -1) return;
    CircuitUndoEntry* entry = ud_Current(*this);
    if (entry && !ud_SwapPages(*this, *entry)) return;
    ud_FinishSwap(*this, entry);
}

void CCTDoc::BeginObjectChange(PoolItem* object, const char* label) {
    if (!object || !PushUndo(7, label)) return;
    CircuitUndoEntry* entry = ud_Current(*this);
    if (!entry || undoSuspended) return;
    entry->object = object;
    int rc = 0;
    if (object->type == kPoolSchematicObject)
        rc = CopyComponentRecord(&entry->heldObject, static_cast<SchematicObject*>(object));
    else if (object->type == kPoolGridText)
        rc = CopyTextRecord(&entry->heldText, static_cast<GridTextObject*>(object));
    // Without its copy the entry could not give the object back.
    if (rc) PopUndo(false);
}

void CCTDoc::UndoObjectChange(PoolItem* object) {
    CircuitUndoEntry* entry = ud_Current(*this);
    if (!entry || !object || entry->object != object) return;
    if (object->type == kPoolSchematicObject)
        ud_SwapContents(static_cast<SchematicObject*>(object), &entry->heldObject);
    else if (object->type == kPoolGridText)
        ud_SwapContents(static_cast<GridTextObject*>(object), &entry->heldText);
}

bool CCTDoc::RunUndoStep(UndoEntry& entry) {
    if (entry.kind == 10) {
        auto& held = static_cast<CircuitUndoEntry&>(entry);
        std::swap(held.textFont, textPageFont);
        ApplyTextFont(nullptr, 1);
        MarkDirty();
        return true;
    }
    if ((entry.kind == 7 || entry.kind == 12) && !UndoAllowed()) return false;
    return CDoc::RunUndoStep(entry);
}

bool CCTDoc::UndoAllowed() const { return !ud_AnalysisHoldsCircuits(); }

// ---- circuits ------------------------------------------------------------------------------------

int CCirDoc::PushUndo(int kind, const char* label) {
    if (undoSuspended) return undoSuspended;
    const int limit = CircuitUndoLimit(objects.count);
    while (undoPool.count > limit && undoPool.first) {
        if (undoPool.first == currentUndo) currentUndo = nullptr;
        undoPool.Delete(undoPool.first);
    }
    return CCTDoc::PushUndo(kind, label);
}

void CCirDoc::PushUndoWithSelection(const char* label) {
    if (undoSuspended) return;
    CCTDoc::PushUndoWithSelection(label);
    CircuitUndoEntry* entry = ud_Current(*this);
    if (!entry || entry->kind != 12 || !undoPool.last || undoPool.last != entry) return;
    if (CopyObjectLists(*this, &entry->objects, &entry->gridTexts) != 0) {
        // A partial snapshot would lose objects on undo: no entry instead.
        PopUndo(false);
        return;
    }
    entry->holdsLists = true;
}

void CCirDoc::SwapUndoState() {
    if (ud_AnalysisHoldsCircuits()) return;
    CircuitUndoEntry* entry = ud_Current(*this);
    // Pages first: when their copies cannot be had nothing changes at all.
    if (entry && !ud_SwapPages(*this, *entry)) return;
    if (entry && entry->holdsLists) {
        std::swap(objects, entry->objects);
        std::swap(gridTexts, entry->gridTexts);
    }
    ud_FinishSwap(*this, entry);
    AfterPagesRemoved();
}

bool CCirDoc::RunUndoStep(UndoEntry& entry) {
    const bool ran = CCTDoc::RunUndoStep(entry);
    RecountPartNumbers();
    return ran;
}
