// The circuit document: its set-up, defaults, release, and the document
// operations a circuit overrides.
#include "document/cirdoc.h"
#include "document/docstats.h"
#include "document/dotpathwriter.h"
#include "document/circuitfile.h"
#include "document/cirio.h"

#include <cstring>
#include <memory>

#include "core/memory.h"
#include "core/port.h"
#include "core/result.h"
#include "document/cfanalysis.h"
#include "document/docmessages.h"
#include "document/parts.h"
#include "shell/app.h"
#include "shell/mainframe.h"
#include "shell/preferences.h"
#include "shell/report.h"

// ---- title block ------------------------------------------------------------------------------

TitleBlockSettings& DefaultTitleBlock() {
    static TitleBlockSettings block;
    return block;
}

void FreeTitleBlock(TitleBlockSettings* block) {
    if (!block) return;
    for (char*& f : block->fields) FreeString(&f);
}

namespace {

void cd_CopyTitleBlock(TitleBlockSettings* to, const TitleBlockSettings& from) {
    if (to == &from) return;
    for (int i = 0; i < 5; ++i) SetString(&to->fields[i], from.fields[i] ? from.fields[i] : "");
    to->oneTitle = from.oneTitle;
    to->border = from.border;
    to->show = from.show;
}

}  // namespace

void LoadDefaultTitleBlock(TitleBlockSettings* block) {
    if (block) cd_CopyTitleBlock(block, DefaultTitleBlock());
}

void StoreDefaultTitleBlock(const TitleBlockSettings& block) { cd_CopyTitleBlock(&DefaultTitleBlock(), block); }

// ---- construction and release -------------------------------------------------------------------

CCirDoc::CCirDoc() : CCTDoc(kDocCircuit) {
    for (char*& f : titleBlock.fields) f = SharedEmptyString();
    paneCount = kMaxPanes;
    fileVersion = kCircuitFileVersion;
    ApplyDefaultFontsAndColors();
    LoadDefaultTitleBlock(&titleBlock);
    splitterX = splitterY = 0;
    // A circuit's own pages replace the text document's two.
    FreePages();
    AppendPage(kPageSchematic, "Main");
    AppendPage(kPageText, "Text");
    AppendPage(kPageText, "Models");
    AppendPage(kPageInfo, "Info");
    printerScale = 1.0;
    fonts.zoom = 1.0;
    displayFlags = kDefaultDisplayFlags;
    gridType = kCmdNoGrid;
    userGrid = Prefs().gridUser;
    needsNumbering = 1;
    for (int32_t& w : selectionWords) w = -1;
    modeCommand = kCmdModeComponent;
}

CCirDoc::~CCirDoc() {
    // A Step or Mirror Box copy left unfinished must not leak its table.
    EndUniqueTextSession(this);
    ClearUndo();
    FreeStoredTexts();
    MemFree(nodeLabels);
    nodeLabels = nullptr;
    nodeLabelCount = 0;
    MemFree(connectionPoints);
    connectionPoints = nullptr;
    connectionPointCount = 0;
    MemFree(valueTable);
    valueTable = nullptr;
    FreeKeptSections(this);
    FreeAnalysisSettings(this);
    FreeTitleBlock(&titleBlock);
}

void CCirDoc::FreeStoredTexts() {
    for (int i = 0; i < pageCount; ++i) FreeString(&pages[i].storedText);
}

void CCirDoc::ApplyDefaultFontsAndColors() {
    const FontSpec* s = ItemStyleTable;
    backgroundStyle = s[kItemCircuitBackground];
    selectStyle = s[kItemSelect];
    selectBoxStyle = s[kItemSelectBox];
    defaultObject = Prefs().objectDefaults;
    textPageFont = s[kItemTextArea];
    textCommentColor = s[kItemTextAreaComment];
    textBackgroundColor = s[kItemTextAreaBackground];
    fonts.digitalPath = s[kItemDigitalPath];
    fonts.blockSelect = s[kItemBlockSelect];
    fonts.nodeHighlight = s[kItemNodeHighlight];
    for (int i = 0; i < 6; ++i) fonts.digitalState[i] = s[kItemDigital0 + i];
    fonts.nodeNumber = s[kItemNodeNumber];
    fonts.nodeVoltage = s[kItemNodeVoltage];
    fonts.dynamicAcVoltage = s[kItemDynamicAcVoltage];
    fonts.current = s[kItemCurrent];
    fonts.powerCondition = s[kItemPower];
    fonts.pinConnection = s[kItemPin];
    fonts.component = s[kItemComponent];
    fonts.wire = s[kItemWire];
    fonts.attributeText = s[kItemAttributeText];
    fonts.gridText = s[kItemGridText];
    fonts.titleBlock = s[kItemTitleBlock];
    fonts.textBanner = s[kItemTextBannerText];
    fonts.titleBlockBackground = s[kItemTextBannerBackground];
}

// ---- overridden operations ------------------------------------------------------------------------

void CCirDoc::OnObjectsChanged() {
    MarkDirty();
    needsNumbering = 1;
    const RunStateValues& run = RunState();
    const CMainFrame* main = GetMainFrame();
    if (run.activeAnalysis != -1 || (main && main->dynamicMode)) return;
    SchematicEditor().Rewire(this, rewireRequest);
    selectionWords[0] = selectionWords[1] = -1;
    if ((displayFlags & kShowNodeValues) && mainView) mainView->Invalidate();
}

namespace {

// Moves the selected records of a pool to its end (front of the drawing) or
// its start (back), keeping their relative order.
template <class T>
void cd_ReorderPool(ObjectPool& pool, bool toFront) {
    PoolItem* selected[2] = {nullptr, nullptr};  // head and tail of the taken records
    for (PoolItem* i = pool.first; i;) {
        PoolItem* next = i->next;
        if (i->type != kPoolItemDead && static_cast<T*>(i)->IsSelected()) {
            pool.Unlink(i);
            i->next = nullptr;
            i->prev = selected[1];
            if (selected[1])
                selected[1]->next = i;
            else
                selected[0] = i;
            selected[1] = i;
        }
        i = next;
    }
    if (toFront) {
        for (PoolItem* i = selected[0]; i;) {
            PoolItem* next = i->next;
            pool.InsertAfter(nullptr, i);
            i = next;
        }
    } else {
        for (PoolItem* i = selected[1]; i;) {
            PoolItem* prev = i->prev;
            pool.InsertBefore(nullptr, i);
            i = prev;
        }
    }
}

}  // namespace

void CCirDoc::ReorderSelected(int where) {
    const bool toFront = where == 2;
    cd_ReorderPool<SchematicObject>(objects, toFront);
    cd_ReorderPool<GridTextObject>(gridTexts, toFront);
}

int CCirDoc::SaveInCurrentVersion(const char* path) { return SaveCircuitFile(this, path, kCirVersion801); }

int CCirDoc::SaveToFile(const char* path) { return SaveInCurrentVersion(path); }

CIODoc* CCirDoc::ReloadFromFile() { return ReloadCircuitDocument(this); }

long CCirDoc::GetPageTextLength(int page) { return CCTDoc::GetPageTextLength(page); }

GridTextObject* CCirDoc::NewGridText() {
    GridTextObject* g = CCTDoc::NewGridText();
    if (!g) return nullptr;
    g->font = fonts.gridText;
    g->page = GetActiveSchematicPage();
    return g;
}

SchematicObject* CCirDoc::NewSchematicObject() {
    SchematicObject* o = CCTDoc::NewSchematicObject();
    if (!o) return nullptr;
    o->page = GetActiveSchematicPage();
    o->borderColor = kColorNone;
    o->fillColor = kColorNone;
    o->lineWeight = 1;
    o->showCurrent = o->showPower = o->showCondition = 1;
    return o;
}

int CCirDoc::GetActiveSchematicPage() const {
    if (PageKind(activeSchematicPage) == kPageSchematic) return activeSchematicPage;
    for (int i = 0; i < pageCount; ++i)
        if (pages[i].kind == kPageSchematic) return i;
    return -1;
}

int CCirDoc::GetActiveTextPage() const {
    const int k = PageKind(activeTextPage);
    if (k == kPageText || k == kPageInfo) return activeTextPage;
    return GetFirstTextPage();
}

// ---- template and creation ------------------------------------------------------------------------

namespace {

bool cd_PrepareCircuit(CDoc& document) {
    auto* doc = dynamic_cast<CCTDoc*>(&document);
    return !doc || AnalysisDocuments().AttachAnalysisDocument(doc);
}

}  // namespace

void RegisterCircuitTemplate() {
    DocumentTemplate t = MakeDocumentTemplate<CCirDoc, CCTFrame, CCTView>(kDocCircuit);
    t.prepareDocument = cd_PrepareCircuit;
    RegisterDocumentTemplate(std::move(t));
}

CCirDoc* NewCircuitDocument() {
    const DocumentTemplate* t = FindDocumentTemplate(kDocCircuit);
    if (!t || !t->createDocument) return nullptr;
    std::unique_ptr<CDoc> doc = t->createDocument();
    auto* circuit = dynamic_cast<CCirDoc*>(doc.get());
    if (!circuit) return nullptr;
    doc.release();
    return circuit;
}

namespace {

// Messages name the file of the current circuit's source entry they are about.
class cd_SourceFiles final : public MessageSourceFiles {
public:
    bool SourceEntry(int index, const char** instanceName, const char** fileName) override {
        CCTDoc* doc = CurrentCircuitDocument();
        if (!doc || index < 0 || size_t(index) >= doc->sourceFiles.size()) return false;
        const SourceFileEntry& e = doc->sourceFiles[size_t(index)];
        if (instanceName) *instanceName = e.instanceName.c_str();
        if (fileName) *fileName = e.fileName.c_str();
        return true;
    }
};

}  // namespace

void InstallCircuitDocument() {
    RegisterDocumentMessages();
    RegisterCircuitTemplate();
    InstallDocumentTextSource();
    static cd_SourceFiles sourceFiles;
    InstallReportSourceFiles(&sourceFiles);
    InstallCircuitFile();
    InstallDotPathWriterOfCircuits();
    InstallDocumentStatistics();
}
