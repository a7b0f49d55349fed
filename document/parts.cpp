#include "document/parts.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "core/chars.h"
#include "core/memory.h"
#include "core/port.h"
#include "core/result.h"
#include "document/attributes.h"
#include "document/cirdoc.h"
#include "document/component_defs.h"
#include "document/ctdoc.h"
#include "document/nodelabels.h"
#include "document/pages.h"
#include "platform/app.h"
#include "platform/draw.h"
#include "platform/image.h"
#include "shell/dialogs.h"
#include "shell/fonts.h"
#include "shell/preferences.h"

namespace {

// ---- ports ----------------------------------------------------------------------------------

class pt_PlainNameRules final : public NameRulesPort {
public:
    bool IsValidName(const char* text) override { return text && text[0] && HasOnlyCharClass(text, CC_NAME); }
};

class pt_FallbackMetrics final : public TextMetricsPort {
public:
    void MeasureText(const FontSpec& font, const char* text, int* width, int* height) override {
        if (platform::Application::Instance()) {
            platform::Image image(1, 1);
            if (auto surface = platform::CreateImageSurface(image)) {
                surface->SetFont(CreateFontFromSpec(font));
                *width = surface->GetTextExtent(text).cx;
                *height = surface->LineHeight();
                return;
            }
        }
        // No window layer (a tool or test run): a plain estimate from the height.
        int h = font.height ? font.height : DefaultFontHeight();
        h = std::abs(h ? h : 12);
        *height = h;
        *width = static_cast<int>(std::strlen(text)) * ((h + 1) / 2);
    }
};

PortSlot<NameRulesPort, pt_PlainNameRules> pt_nameRules;
PortSlot<TextMetricsPort, pt_FallbackMetrics> pt_textMetrics;

}  // namespace

NameRulesPort& NameRules() { return pt_nameRules.Get(); }
NameRulesPort* InstallNameRules(NameRulesPort* port) { return pt_nameRules.Install(port); }
TextMetricsPort& TextMetrics() { return pt_textMetrics.Get(); }
TextMetricsPort* InstallTextMetrics(TextMetricsPort* port) { return pt_textMetrics.Install(port); }

namespace {

// ---- small text helpers ------------------------------------------------------------------

bool pt_IsValidName(const char* text) { return NameRules().IsValidName(text); }

bool pt_SameText(const char* a, const char* b) { return a && b && CompareNoCase(a, b) == 0; }

// The length of a dot keyword at the start of the text (after leading blanks,
// which *start skips), or 0: the keyword must be followed by a separator.
size_t pt_MatchKeyword(const char* text, const char* keyword) {
    size_t n = std::strlen(keyword);
    if (CompareNoCaseN(text, keyword, n) != 0) return 0;
    char c = text[n];
    return HasCharClass(c, CC_SPACE | CC_DELIM_SPACE) ? n : 0;
}

const char* pt_SkipBlanks(const char* text) {
    while (*text && HasCharClass(*text, CC_SPACE)) ++text;
    return text;
}

// The statements whose texts may name parts: .DEFINE, .IC, .NODESET, .PARAM
// and its synonym .FUNC.
bool pt_IsPartNameStatement(const char* text) {
    text = pt_SkipBlanks(text);
    static const char* const kKeywords[] = {".DEFINE", ".IC", ".NODESET", ".PARAM", ".FUNC"};
    for (const char* k : kKeywords)
        if (pt_MatchKeyword(text, k)) return true;
    return false;
}

bool pt_IsDotStatement(const char* text) { return *pt_SkipBlanks(text) == '.'; }

// The offset of the part list of a ".TIE type pin parts..." statement, or -1
// when the text is no such statement.
long pt_TiePartListOffset(const char* text) {
    const char* p = pt_SkipBlanks(text);
    size_t n = pt_MatchKeyword(p, ".TIE");
    if (!n) return -1;
    p += n;
    for (int word = 0; word < 2; ++word) {
        p = pt_SkipBlanks(p);
        while (*p && !HasCharClass(*p, CC_SPACE)) ++p;
    }
    return static_cast<long>(pt_SkipBlanks(p) - text);
}

bool pt_IsWordSeparator(char c) {
    return c == '\r' || c == '\n' || c == '\t' || (c != 0 && std::strchr(" ,;=()[]<>{}^~*/+-='!|&.", c) != nullptr);
}

// A heap text of n characters c.
char* pt_Fill(size_t n, char c) {
    char* s = static_cast<char*>(MemAlloc(n + 1));
    if (!s) return nullptr;
    std::memset(s, c, n);
    s[n] = 0;
    return s;
}

// head + middle + tail as a new heap text; null when out of memory.
char* pt_Splice(const char* text, size_t at, size_t cut, const char* middle, size_t middleLength) {
    size_t length = std::strlen(text);
    size_t tail = length - at - cut;
    char* s = static_cast<char*>(MemAlloc(at + middleLength + tail + 1));
    if (!s) return nullptr;
    std::memcpy(s, text, at);
    std::memcpy(s + at, middle, middleLength);
    std::memcpy(s + at + middleLength, text + at + cut, tail);
    s[at + middleLength + tail] = 0;
    return s;
}

// Replaces a heap text with a new block (the shared empty string and null are
// never freed by FreeString).
void pt_Take(char** field, char* block) {
    FreeString(field);
    *field = block;
}

// ---- texts of the text pages -----------------------------------------------------------------

char* pt_CopyPageText(CCTDoc* document, int page) {
    PageRecord* p = document->Page(page);
    if (!p || p->kind != kPageText) return nullptr;
    if (p->storedText) return DuplicateString(p->storedText);
    if (p->editor) return TextEditor().DuplicateText(p->editor);
    return nullptr;
}

void pt_StorePageText(CCTDoc* document, int page, const char* text) {
    PageRecord* p = document->Page(page);
    if (!p) return;
    if (p->editor && !p->storedText) {
        TextEditor().SetText(p->editor, text);
        return;
    }
    char* copy = DuplicateString(text);
    if (copy) pt_Take(&p->storedText, copy);
}

// A text built piece by piece (MemAlloc'd, doubling), so that rebuilding a
// long page stays linear.
struct pt_Builder {
    char* data = nullptr;
    size_t length = 0;
    size_t capacity = 0;

    bool Append(const char* text, size_t n) {
        if (length + n + 1 > capacity) {
            size_t wanted = std::max(length + n + 1, capacity * 2 + 64);
            auto* grown = static_cast<char*>(ReallocRetry(data, wanted));
            if (!grown) return false;
            data = grown;
            capacity = wanted;
        }
        std::memcpy(data + length, text, n);
        length += n;
        data[length] = 0;
        return true;
    }
    void Free() {
        MemFree(data);
        data = nullptr;
        length = capacity = 0;
    }
};

// Calls edit(line) for every line of a statement the test picks on every text
// page ("+" lines continue a statement, "*" comment lines stand between its
// lines) and stores a page back when a line changed. Out of memory leaves the
// page as it was.
template <class Test, class Edit>
void pt_EditTextPageStatements(CCTDoc* document, Test test, Edit edit) {
    for (int page = 0; page < document->PageCount(); ++page) {
        char* text = pt_CopyPageText(document, page);
        if (!text) continue;
        pt_Builder rebuilt;
        bool changed = false, ok = true, picked = false;
        for (const char* line = text; ok && *line;) {
            const char* end = line;
            while (*end && *end != '\r' && *end != '\n') ++end;
            const char* next = end;
            if (*next == '\r') ++next;
            if (*next == '\n') ++next;
            char* copy = DuplicatePrefix(line, static_cast<int>(end - line));
            if (!copy) {
                ok = false;
                break;
            }
            const char* first = pt_SkipBlanks(copy);
            if (*first != '+' && *first != '*' && *first) picked = test(copy);  // "+" continues the statement
            if (picked && *first != '*' && edit(&copy)) changed = true;
            ok = rebuilt.Append(copy, std::strlen(copy)) && rebuilt.Append(end, static_cast<size_t>(next - end));
            FreeString(&copy);
            line = next;
        }
        if (ok && changed) pt_StorePageText(document, page, rebuilt.data ? rebuilt.data : "");
        rebuilt.Free();
        FreeString(&text);
    }
}

// ---- attribute values --------------------------------------------------------------------

// Runs edit over a copy of the attribute's value and stores the result when it
// changed; out of memory keeps the old value.
template <class Edit>
void pt_EditAttributeValue(PartAttribute* attribute, Edit edit) {
    if (!attribute || !attribute->HasValue()) return;
    char* text = DuplicateString(attribute->Value());
    if (!text) return;
    if (edit(&text)) attribute->SetValue(text);
    FreeString(&text);
}

}  // namespace

char* CopyTextPageText(CCTDoc* document, int page) { return document ? pt_CopyPageText(document, page) : nullptr; }

void StoreTextPageText(CCTDoc* document, int page, const char* text) {
    if (document) pt_StorePageText(document, page, text ? text : "");
}

// ---- grid texts -------------------------------------------------------------------------------

void GridTextObject::UpdateNodeNameFlag() {
    bool namesNode = text && text[0] && !(flags & kGridTextIsFlag) && pt_IsValidName(text);
    if (namesNode)
        flags |= kGridTextNamesNode;
    else
        flags &= static_cast<uint8_t>(~kGridTextNamesNode);
}

bool HasTwinGridText(const CCTDoc* document, const GridTextObject* text) {
    if (!document || !text || !text->text) return false;
    for (const PoolItem* item = document->gridTexts.first; item; item = item->next) {
        const auto* other = static_cast<const GridTextObject*>(item);
        if (other != text && pt_SameText(other->text, text->text)) return true;
    }
    return false;
}

bool IsNodeNameTaken(const CCTDoc* document, const char* text) {
    if (!document || !text) return false;
    for (const PoolItem* item = document->gridTexts.first; item; item = item->next) {
        const auto* g = static_cast<const GridTextObject*>(item);
        if (g->node != -1 && pt_SameText(g->text, text)) return true;
    }
    return false;
}

GridTextObject* FindGridText(const CCTDoc* document, const char* text) {
    if (!document || !text) return nullptr;
    for (PoolItem* item = document->gridTexts.first; item; item = item->next) {
        auto* g = static_cast<GridTextObject*>(item);
        if (pt_SameText(g->text, text)) return g;
    }
    return nullptr;
}

namespace {

// True when a grid text other than `self` has the text.
bool pt_TextTakenByOther(const CCTDoc* document, const GridTextObject* self, const char* text) {
    for (const PoolItem* item = document->gridTexts.first; item; item = item->next) {
        const auto* g = static_cast<const GridTextObject*>(item);
        if (g != self && pt_SameText(g->text, text)) return true;
    }
    return false;
}

UniqueTextEntry* pt_FindUniquePrefix(CCirDoc* document, const char* prefix) {
    for (int i = 0; i < document->uniqueTextCount; ++i)
        if (pt_SameText(document->uniqueTexts[i].prefix, prefix)) return &document->uniqueTexts[i];
    return nullptr;
}

// Numbers stay well inside int so that counting on never overflows.
constexpr long long kPtNumberLimit = 1000000000LL;

}  // namespace

int BeginUniqueTextSession(CCirDoc* document) {
    if (!document) return kOk;
    EndUniqueTextSession(document);
    int capacity = std::max(document->gridTexts.count, 1);
    auto* table = static_cast<UniqueTextEntry*>(MemAllocZero(sizeof(UniqueTextEntry) * static_cast<size_t>(capacity)));
    if (!table) return kResultNoMemory;
    document->uniqueTexts = table;
    document->uniqueTextCapacity = capacity;
    document->uniqueTextCount = 0;
    return kOk;
}

void EndUniqueTextSession(CCirDoc* document) {
    if (!document) return;
    for (int i = 0; i < document->uniqueTextCount; ++i) FreeString(&document->uniqueTexts[i].prefix);
    MemFree(document->uniqueTexts);
    document->uniqueTexts = nullptr;
    document->uniqueTextCount = 0;
    document->uniqueTextCapacity = 0;
}

void CCirDoc::MakeUniqueGridText(GridTextObject* text) {
    if (!text || !text->text) return;
    if (!(text->flags & kGridTextIsFlag) && !Prefs().textIncrement) return;
    size_t prefixLength = LengthWithoutTrailingDigits(text->text);
    char* prefix = DuplicatePrefix(text->text, static_cast<int>(prefixLength));
    if (!prefix) return;
    long long number = 0;
    for (const char* d = text->text + prefixLength; *d && number < kPtNumberLimit; ++d)
        number = number * 10 + (*d - '0');
    UniqueTextEntry* entry = uniqueTexts ? pt_FindUniquePrefix(this, prefix) : nullptr;
    if (entry) number = entry->number;
    // Even inside a copy session every candidate is checked against all grid
    // texts: a name that already exists would join two nets.
    char* candidate = nullptr;
    bool ok = true;
    do {
        if (number >= kPtNumberLimit) number = 0;
        ++number;
        ok = FormatString(&candidate, "%s%lld", prefix, number) != nullptr;
    } while (ok && pt_TextTakenByOther(this, text, candidate));
    if (ok) {
        pt_Take(&text->text, candidate);
        candidate = nullptr;
        if (entry) {
            entry->number = static_cast<int32_t>(number);
        } else if (uniqueTexts && uniqueTextCount < uniqueTextCapacity) {
            uniqueTexts[uniqueTextCount].prefix = prefix;
            uniqueTexts[uniqueTextCount].number = static_cast<int32_t>(number);
            ++uniqueTextCount;
            prefix = nullptr;
        }
        text->UpdateNodeNameFlag();
    }
    FreeString(&candidate);
    FreeString(&prefix);
}

// ---- selection --------------------------------------------------------------------------------

int CCirDoc::CountSelected(int kindMask, PoolItem** last) {
    int count = 0;
    PoolItem* found = nullptr;
    if (kindMask & kSelectObjects)
        for (PoolItem* item = objects.first; item; item = item->next)
            if (static_cast<SchematicObject*>(item)->IsSelected()) {
                ++count;
                found = item;
            }
    if (kindMask & kSelectGridTexts)
        for (PoolItem* item = gridTexts.first; item; item = item->next)
            if (static_cast<GridTextObject*>(item)->IsSelected()) {
                ++count;
                found = item;
            }
    if ((kindMask & kSelectNodeLabel) && selectionWords[kSelectedNodeLabelWord] >= 1 &&
        selectionWords[kSelectedNodeLabelWord] <= nodeLabelCount)
        ++count;
    if (last) *last = found;
    return count;
}

int CCirDoc::SelectObjects(int kindMask, int on) {
    bool changed = false;
    selectionWords[kSelectedNodeLabelWord] = -1;
    if (!on && nodeLabels)
        for (int i = 1; i <= nodeLabelCount; ++i)
            if (nodeLabels[i].selection & kNodeLabelSelected) {
                nodeLabels[i].selection &= static_cast<uint8_t>(~kNodeLabelSelected);
                changed = true;
            }
    // Selecting reaches only the page in view; deselecting reaches them all.
    int page = GetActiveSchematicPage();
    uint8_t want = on ? kObjectSelected : 0;
    if (kindMask & kSelectObjects)
        for (PoolItem* item = objects.first; item; item = item->next) {
            auto* o = static_cast<SchematicObject*>(item);
            if (on && o->page != page) continue;
            if ((o->state & kObjectSelected) != want) {
                o->state = want;
                changed = true;
            }
        }
    if (kindMask & kSelectGridTexts)
        for (PoolItem* item = gridTexts.first; item; item = item->next) {
            auto* g = static_cast<GridTextObject*>(item);
            if (on && g->page != page) continue;
            if ((g->state & kObjectSelected) != want) {
                g->state = want;
                changed = true;
            }
        }
    return changed ? 1 : 0;
}

int CountSelectedOfKind(CDoc* document, int kind, PoolItem** last) {
    if (last) *last = nullptr;
    auto* circuit = dynamic_cast<CCirDoc*>(document);
    if (!circuit || (kind != kSelectObjects && kind != kSelectGridTexts)) return 0;
    return circuit->CountSelected(kind, last);
}

SchPoint GetSelectionOriginOnPage(const CCTDoc* document, int page) {
    SchPoint origin{kNoSelectionOrigin, kNoSelectionOrigin};
    if (!document) return origin;
    bool any = false;
    auto take = [&](int32_t x, int32_t y) {
        origin.x = any ? std::min(origin.x, x) : x;
        origin.y = any ? std::min(origin.y, y) : y;
        any = true;
    };
    for (const PoolItem* item = document->objects.first; item; item = item->next) {
        const auto* o = static_cast<const SchematicObject*>(item);
        if (o->page == page && o->IsSelected()) take(o->x1, o->y1);
    }
    for (const PoolItem* item = document->gridTexts.first; item; item = item->next) {
        const auto* g = static_cast<const GridTextObject*>(item);
        if (g->page == page && g->IsSelected()) take(g->x, g->y);
    }
    return origin;
}

void CCTView::GetSelectionOrigin(platform::Point* out) {
    if (!out) return;
    CCTDoc* document = GetCTDoc();
    SchPoint origin{kNoSelectionOrigin, kNoSelectionOrigin};
    if (document) origin = GetSelectionOriginOnPage(document, document->GetPanePageIndex(GetActivePane()));
    out->x = origin.x;
    out->y = origin.y;
}

// ---- object order -----------------------------------------------------------------------------

void SortObjects(CCTDoc* document, bool columnFirst) {
    if (!document || document->objects.count < 2) return;
    size_t count = static_cast<size_t>(document->objects.count);
    auto** order = static_cast<SchematicObject**>(MemAlloc(sizeof(SchematicObject*) * count));
    if (!order) return;  // the list simply keeps its order
    size_t n = 0;
    for (PoolItem* item = document->objects.first; item && n < count; item = item->next)
        order[n++] = static_cast<SchematicObject*>(item);
    // Keys compare as signed positions, so parts at negative coordinates sort
    // like any others; stable_sort keeps the list order of equal keys.
    std::stable_sort(order, order + n, [columnFirst](const SchematicObject* a, const SchematicObject* b) {
        bool ga = a->objectKind == kObjectGraphic, gb = b->objectKind == kObjectGraphic;
        if (ga || gb) return ga && !gb;
        if (columnFirst) return a->x1 != b->x1 ? a->x1 < b->x1 : a->y1 < b->y1;
        return a->y1 != b->y1 ? a->y1 < b->y1 : a->x1 < b->x1;
    });
    for (size_t i = 0; i < n; ++i) document->objects.Unlink(order[i]);
    for (size_t i = 0; i < n; ++i) document->objects.Append(order[i]);
    MemFree(order);
}

// ---- renaming ---------------------------------------------------------------------------------

int ReplaceWholeWord(char** text, char** mask, const char* oldWord, const char* newWord) {
    if (!text || !*text || !oldWord || !*oldWord) return 0;
    if (!newWord) newWord = "";
    if (mask && !*mask) mask = nullptr;
    const size_t oldLength = std::strlen(oldWord), newLength = std::strlen(newWord);
    size_t length = std::strlen(*text);
    if (mask && std::strlen(*mask) != length) {
        // A mask always runs exactly along the text.
        char* fitted = pt_Fill(length, 'x');
        if (!fitted) return 0;
        std::memcpy(fitted, *mask, std::min(length, std::strlen(*mask)));
        pt_Take(mask, fitted);
    }
    int replaced = 0;
    for (size_t i = 0; i + oldLength <= length;) {
        const char* t = *text;
        bool hit = (i == 0 || pt_IsWordSeparator(t[i - 1])) && CompareNoCaseN(t + i, oldWord, oldLength) == 0 &&
                   (t[i + oldLength] == 0 || pt_IsWordSeparator(t[i + oldLength])) && !(mask && (*mask)[i] == ' ');
        if (!hit) {
            ++i;
            continue;
        }
        char* rebuilt = pt_Splice(t, i, oldLength, newWord, newLength);
        char* newMask = nullptr;
        if (rebuilt && mask) {
            char* blanks = pt_Fill(newLength, ' ');
            if (blanks) newMask = pt_Splice(*mask, i, oldLength, blanks, newLength);
            FreeString(&blanks);
        }
        if (!rebuilt || (mask && !newMask)) {
            FreeString(&rebuilt);
            FreeString(&newMask);
            break;  // out of memory: keep what was done so far
        }
        pt_Take(text, rebuilt);
        if (mask) pt_Take(mask, newMask);
        ++replaced;
        length = length - oldLength + newLength;
        i += newLength;
    }
    return replaced;
}

bool RenameInText(CCirDoc* document, char** text, const char* oldWord, const char* newWord) {
    if (!text || !*text) return false;
    if (oldWord) return ReplaceWholeWord(text, nullptr, oldWord, newWord) > 0;
    if (!document) return false;
    char* mask = pt_Fill(std::strlen(*text), 'x');
    if (!mask) return false;
    bool changed = false;
    for (PoolItem* item = document->objects.first; item; item = item->next) {
        auto* o = static_cast<SchematicObject*>(item);
        if (!IsNumberedComponent(o)) continue;
        const char* temporary = GetAttributeText(o, kAttrTempPart);
        if (!HasCharClass(temporary[0], CC_ALPHA)) continue;
        if (ReplaceWholeWord(text, &mask, temporary, GetAttributeText(o, kAttrPart)) > 0) changed = true;
    }
    FreeString(&mask);
    return changed;
}

namespace {

constexpr int kPtRenameDialog = 295;
constexpr int kPtLeftToRight = 1001;
constexpr int kPtTopToBottom = 1002;

// Rename Components: the order in which parts are numbered.
class CRenameComponentDlg : public CDialog2 {
public:
    CRenameComponentDlg(platform::Window* parent, int order)
        : CDialog2(kPtRenameDialog, nullptr, parent), order_(order) {
        platform::DialogDesc d;
        d.caption = "Rename Components";
        d.cx = 170;
        d.cy = 62;
        d.controls.push_back({platform::ControlKind::GroupBox, -1, "Order", 7, 4, 100, 50, 0});
        d.controls.push_back({platform::ControlKind::RadioButton, kPtLeftToRight, "Left to Right", 14, 18, 88, 12,
                              platform::style::Group});
        d.controls.push_back({platform::ControlKind::RadioButton, kPtTopToBottom, "Top to Bottom", 14, 34, 88, 12, 0});
        d.controls.push_back({platform::ControlKind::DefaultButton, platform::dlgid::Ok, "OK", 114, 8, 50, 14, 0});
        d.controls.push_back({platform::ControlKind::Button, platform::dlgid::Cancel, "Cancel", 114, 26, 50, 14, 0});
        SetDescription(d);
    }
    bool OnInitDialog() override {
        CDialog2::OnInitDialog();
        CheckRadio(kPtLeftToRight, kPtTopToBottom, order_ ? kPtTopToBottom : kPtLeftToRight);
        return true;
    }
    void OnOK() override {
        order_ = GetCheckedRadio(kPtLeftToRight, kPtTopToBottom) == kPtTopToBottom ? 1 : 0;
        CDialog2::OnOK();
    }
    int Order() const { return order_; }

private:
    int order_;
};

void pt_UpdateViews(CCirDoc* document) { SchematicView().UpdateViews(document); }

// Renames the part names in the list of a ".TIE" statement, which joins pins
// by PART name; the rest of any other text as RenameInText.
bool pt_RenameInStatement(CCirDoc* document, char** text) {
    long listAt = pt_TiePartListOffset(*text);
    if (listAt < 0) return RenameInText(document, text, nullptr, nullptr);
    char* list = DuplicateString(*text + listAt);
    if (!list) return false;
    bool changed = RenameInText(document, &list, nullptr, nullptr);
    if (changed) {
        char* rebuilt =
            pt_Splice(*text, static_cast<size_t>(listAt), std::strlen(*text + listAt), list, std::strlen(list));
        if (rebuilt)
            pt_Take(text, rebuilt);
        else
            changed = false;
    }
    FreeString(&list);
    return changed;
}

bool pt_IsRenamedStatement(const char* text) { return pt_IsPartNameStatement(text) || pt_TiePartListOffset(text) >= 0; }

}  // namespace

int& RenameComponentsOrder() {
    static int order = 0;
    return order;
}

int RenameComponents(CCirDoc* document) {
    if (!document) return 0;
    CRenameComponentDlg dialog(document->MainView(), RenameComponentsOrder());
    if (dialog.DoModal() != platform::dlgid::Ok) return 0;
    RenameComponentsOrder() = dialog.Order();
    RenameComponentsInOrder(document, dialog.Order() != 0);
    return 1;
}

void RenameComponentsInOrder(CCirDoc* document, bool columnFirst) {
    if (!document) return;
    document->PushUndoWithSelection("Rename Components");
    std::fill(std::begin(document->partCounters), std::end(document->partCounters), 0);
    SortObjects(document, columnFirst);

    for (int page = 0; page < document->PageCount(); ++page)
        for (PoolItem* item = document->objects.first; item; item = item->next) {
            auto* o = static_cast<SchematicObject*>(item);
            if (o->page != page || !IsNumberedComponent(o)) continue;
            PartAttribute* temporary = SetAttribute(document, o, kAttrTempPart, GetAttributeText(o, kAttrPart));
            if (!temporary) continue;  // out of memory: this part keeps its name
            temporary->flags |= kAttrTemporary;
            char name[64];
            document->NextPartName(name, sizeof name, o->definition->type);
            SetAttribute(document, o, kAttrPart, name);
        }

    auto rename = [document](char** text) { return RenameInText(document, text, nullptr, nullptr); };
    static const int kPtRenamedAttributes[] = {kAttrValue, kAttrFreq, 24 /* LAPLACE */, 21 /* INDUCTORS */};
    for (PoolItem* item = document->objects.first; item; item = item->next) {
        auto* o = static_cast<SchematicObject*>(item);
        if (!IsNumberedComponent(o)) continue;
        for (int id : kPtRenamedAttributes) pt_EditAttributeValue(FindAttribute(o, id), rename);
    }
    for (PoolItem* item = document->gridTexts.first; item; item = item->next) {
        auto* g = static_cast<GridTextObject*>(item);
        if (!g->text || (g->flags & kGridTextIsFlag) || !pt_IsRenamedStatement(g->text)) continue;
        pt_RenameInStatement(document, &g->text);
    }
    AnalysisDocuments().ForEachAnalysisText(
        document, [document](char** text) { RenameInText(document, text, nullptr, nullptr); });
    pt_EditTextPageStatements(document, pt_IsRenamedStatement,
                              [document](char** line) { return pt_RenameInStatement(document, line); });

    for (PoolItem* item = document->objects.first; item; item = item->next)
        RemoveTemporaryAttributes(static_cast<SchematicObject*>(item));
    document->MarkDirty();
    // Renamed parts can change what a .TIE statement joins.
    document->needsNumbering = 1;
    pt_UpdateViews(document);
}

namespace {

constexpr size_t kPtDefineSymbolMax = 500;

// The symbol of a ".DEFINE symbol value" text, or "" when the text is none.
std::string pt_DefineSymbol(const char* text) {
    const char* p = pt_SkipBlanks(text);
    size_t n = pt_MatchKeyword(p, ".DEFINE");
    if (!n) return {};
    p = pt_SkipBlanks(p + n);
    const char* start = p;
    while (*p && !HasCharClass(*p, CC_SPACE | CC_DELIM) && static_cast<size_t>(p - start) < kPtDefineSymbolMax) ++p;
    return std::string(start, p);
}

}  // namespace

int RenameCollidingDefines(CCirDoc* document) {
    if (!document) return 0;
    std::vector<std::string> symbols;
    auto note = [&symbols](const char* text) {
        std::string symbol = pt_DefineSymbol(text);
        if (symbol.empty()) return;
        for (const std::string& s : symbols)
            if (CompareNoCase(s.c_str(), symbol.c_str()) == 0) return;
        symbols.push_back(std::move(symbol));
    };
    for (PoolItem* item = document->gridTexts.first; item; item = item->next) {
        auto* g = static_cast<GridTextObject*>(item);
        if (g->text && !(g->flags & kGridTextIsFlag)) note(g->text);
    }
    pt_EditTextPageStatements(
        document, [](const char* line) { return !pt_DefineSymbol(line).empty(); },
        [&note](char** line) {
            note(*line);
            return false;
        });

    int renamed = 0;
    for (const std::string& symbol : symbols) {
        if (!IsNodeNameTaken(document, symbol.c_str())) continue;
        std::string newName = "_" + symbol;
        while (IsNodeNameTaken(document, newName.c_str())) newName = "_" + newName;
        const char* from = symbol.c_str();
        const char* to = newName.c_str();
        auto replace = [from, to](char** text) { return ReplaceWholeWord(text, nullptr, from, to) > 0; };
        for (PoolItem* item = document->objects.first; item; item = item->next) {
            auto* o = static_cast<SchematicObject*>(item);
            if (!o->IsComponent()) continue;
            for (PoolItem* a = o->attributes.first; a; a = a->next) {
                auto* attribute = static_cast<PartAttribute*>(a);
                if (attribute->nameId != kAttrPart) pt_EditAttributeValue(attribute, replace);
            }
        }
        for (PoolItem* item = document->gridTexts.first; item; item = item->next) {
            auto* g = static_cast<GridTextObject*>(item);
            if (g->text && !(g->flags & kGridTextIsFlag) && pt_IsDotStatement(g->text)) replace(&g->text);
        }
        pt_EditTextPageStatements(document, pt_IsDotStatement, replace);
        ++renamed;
    }
    if (renamed) document->MarkDirty();
    pt_UpdateViews(document);
    return renamed;
}

// ---- attribute texts around a part ---------------------------------------------------------

namespace {

void pt_MeasureText(const FontSpec& font, const char* text, int* width, int* height) {
    TextMetrics().MeasureText(font, text, width, height);
}

constexpr int kPtAnimatedMeter = 142;

}  // namespace

void SchematicObject::LayoutAttributeTexts() {
    if (!definition) return;
    const int32_t hx = definition->labelOffsets[0].x, vx = definition->labelOffsets[1].x;
    int32_t runH = definition->labelOffsets[0].y, runV = definition->labelOffsets[1].y;
    const int o = orientation & 7;
    for (PoolItem* item = attributes.first; item; item = item->next) {
        auto* a = static_cast<PartAttribute*>(item);
        bool mustFree = false;
        const char* text = AttributeText(a, a->flags ? a->flags : kAttrShowValue, &mustFree, false);
        if (!text || !text[0]) {
            a->offsetX = a->offsetY = 0;
            if (mustFree) MemFree(const_cast<char*>(text));
            continue;
        }
        int w = 0, h = 0;
        pt_MeasureText(a->font, text, &w, &h);
        if (mustFree) MemFree(const_cast<char*>(text));
        switch (o) {
        case 0:
            a->offsetX = hx;
            a->offsetY = runH;
            break;
        case 1:
            a->offsetX = vx;
            a->offsetY = runV;
            break;
        case 2:
            a->offsetX = -hx - w;
            a->offsetY = -runH - h;
            break;
        case 3:
            a->offsetX = -vx - w;
            a->offsetY = -runV - h;
            break;
        case 4:
            a->offsetX = hx;
            a->offsetY = -runH - h;
            break;
        case 5:
            a->offsetX = vx;
            a->offsetY = -runV - h;
            break;
        case 6:
            a->offsetX = -hx - w;
            a->offsetY = runH;
            break;
        default:
            a->offsetX = -vx - w;
            a->offsetY = runV;
            break;
        }
        runH += h;
        runV += h;
    }
    int32_t rect[4];
    if (definition->type == kPtAnimatedMeter && ShapeLibrary().ShapeRect(this, rect)) {
        if (PartAttribute* low = FindAttribute(this, kAttrLow)) {
            SchPoint p = TransformByOrientation(o, rect[0] + 8, rect[3] - 16);
            low->offsetX = p.x;
            low->offsetY = p.y;
        }
        if (PartAttribute* high = FindAttribute(this, kAttrHigh)) {
            SchPoint p = TransformByOrientation(o, rect[2] - 16, rect[3] - 16);
            high->offsetX = p.x;
            high->offsetY = p.y;
        }
    }
}
