// Circuit file sections of everything that is not a drawn object: fonts and
// colours, pages with the raw text of text pages, pane layout and zoom, tool
// bars, and the print, DSP and transfer-function settings.
#include <strings.h>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "core/memory.h"
#include "core/properties.h"
#include "core/result.h"
#include "document/cfsections.h"
#include "document/circuitfile.h"
#include "document/cirdoc.h"
#include "document/pages.h"

namespace {

const char* const cfp_KindLetters[kCircuitAnalysisKinds] = {"T", "A", "D", "DIST"};

// The next key line of the section being read: 1 with key (upper case) and
// value; 0 at the next header (made current), at the end or on an error.
// `raw` receives the line as read, before it is split in place.
int cfp_NextKey(CircuitFile& file, char*& key, char*& value, std::string* raw = nullptr) {
    if (!file.ReadLongEntry()) return 0;
    if (raw) *raw = file.lineBuffer;
    file.SplitLineBuffer(key, value);
    return 1;
}

// Consumes the section without looking at it.
int cfp_SkipLines(CircuitFile& file) {
    while (file.ReadLongEntry()) {}
    return file.error;
}

void cfp_Row(std::vector<PropertyEntry>& rows, const char* key, void* value, int kind) {
    rows.push_back(PropertyEntry{key, 0, value, kind});
}

int cfp_Serialize(CircuitFile& file, const char* header, std::vector<PropertyEntry>& rows) {
    int code = SerializeSection(file, header, rows.data(), int(rows.size()));
    return code ? code : file.error;
}

void cfp_WriteTwoInts(CircuitFile& file, const char* key, int a, int b) {
    char text[40];
    FormatBounded(text, sizeof text, "%d,%d", a, b);
    file.WriteKey(key, text);
}

// Raw bytes, untouched by the line-end translation of the text writer.
void cfp_WriteRaw(CircuitFile& file, const char* bytes, size_t length) {
    if (!length || file.error) return;
    if (!file.stream) {
        file.error = kResultCannotAccess;
        return;
    }
    errno = 0;
    if (fwrite(bytes, 1, length, file.stream) != length) file.error = ErrnoToResult(errno ? errno : EIO);
}

// Bytes left to read from the current position.
long cfp_BytesLeft(CircuitFile& file) {
    if (file.buffer) return file.bufferLength - file.readPosition;
    if (!file.stream) return 0;
    long here = ftell(file.stream);
    if (here < 0 || fseek(file.stream, 0, SEEK_END) != 0) return 0;
    long end = ftell(file.stream);
    fseek(file.stream, here, SEEK_SET);
    return end > here ? end - here : 0;
}

// Reads `length` raw bytes into a heap text; 15009 when the data ends first.
int cfp_ReadRaw(CircuitFile& file, long length, char** out) {
    *out = nullptr;
    if (length > cfp_BytesLeft(file)) return kResultBadFormat;
    char* text = static_cast<char*>(MemAlloc(size_t(length) + 1));
    if (!text) return kResultNoMemory;
    if (file.buffer) {
        memcpy(text, file.buffer + file.readPosition, size_t(length));
        file.readPosition += length;
    } else if (fread(text, 1, size_t(length), file.stream) != size_t(length)) {
        MemFree(text);
        return kResultBadFormat;
    }
    text[length] = 0;
    *out = text;
    return kOk;
}

// Skips what is left of the current line, its line end included.
void cfp_SkipLineRest(CircuitFile& file) {
    if (file.buffer) {
        while (file.readPosition < file.bufferLength) {
            char c = file.buffer[file.readPosition++];
            if (c == '\n') return;
        }
        return;
    }
    if (!file.stream) return;
    int c;
    while ((c = getc(file.stream)) != EOF && c != '\n') {}
}

// The number of pages a file of this version stores: before 8.00 the last
// page is the single text page and is not written as a Page section.
int cfp_WrittenPageCount(const CircuitFile& file) {
    int count = file.document->PageCount();
    if (file.version <= kCirVersion700 && count > 0) --count;
    return count;
}

const char* cfp_PageText(CCirDoc* document, int index, long* length) {
    PageRecord* page = document->Page(index);
    *length = 0;
    if (!page) return "";
    if (page->editor) {
        const char* text = TextEditor().GetTextBuffer(page->editor);
        *length = TextEditor().GetTextLength(page->editor);
        return text ? text : "";
    }
    if (page->storedText) {
        *length = long(strlen(page->storedText));
        return page->storedText;
    }
    return "";
}

// Gives a page the text read for it: its editor when it has one (and the
// open is not hidden), else the page record keeps it.
void cfp_StorePageText(CircuitFile& file, int index, char* text) {
    PageRecord* page = file.document->Page(index);
    if (!page) {
        MemFree(text);
        return;
    }
    if (!file.Hidden() && page->editor) {
        TextEditor().SetText(page->editor, text ? text : "");
        MemFree(text);
        FreeString(&page->storedText);
        return;
    }
    FreeString(&page->storedText);
    page->storedText = text;  // null clears it
    if (file.Hidden()) file.document->storedTexts = 1;
}

void cfp_MakeTextPage(CircuitFile& file, int index, int kind) {
    PageRecord* page = file.document->Page(index);
    if (!page) return;
    page->kind = kind;
    if (kind == kPageInfo) page->print = 0;
    if (!page->editor) page->editor = TextEditor().Create();
    if (!file.Hidden() && page->editor) file.document->CreatePageEditor(index);
}

// Placements stored on another screen, or by a version before 8.00, would
// put the circuit window in the wrong place: they are dropped (not written).
void cfp_DropStalePlacements(CircuitFile& file) {
    if (!file.screenChanged && file.AtLeast(kCirVersion800)) return;
    file.document->fileSettings.windowPlacement.length = 0;
    file.document->analysisPlacement.length = 0;
    file.document->probePlacement.length = 0;
}

}  // namespace

// ---- zoom ----------------------------------------------------------------------------

double SnapZoomValue(double value) {
    static const double allowed[] = {8.0, 4.0, 8.0 / 3.0, 2.0, 4.0 / 3.0, 1.0, 2.0 / 3.0, 0.5, 0.25};
    if (!std::isfinite(value) || std::fabs(value) > 1e6) return 1.0;
    long own = long(value * 100.0);
    for (double a : allowed)
        if (long(a * 100.0) == own) return a;
    return 1.0;
}

// ---- Circuit ---------------------------------------------------------------------------

int SerializeCircuitSection(CircuitFile& file) {
    CCirDoc* d = file.document;
    if (!d) return file.IsWriting() ? 0 : cfp_SkipLines(file);
    bool reading = file.IsReading();
    CircuitFontBlock& f = d->fonts;
    TitleBlockSettings& tb = d->titleBlock;
    static const char* const fieldKeys[5] = {"TitleBlock Field_1", "TitleBlock Field_2", "TitleBlock Field_3",
                                             "TitleBlock Field_4", "TitleBlock Field_5"};
    static const char* const digitalKeys[6] = {"Digital 0 Color", "Digital R Color", "Digital F Color",
                                               "Digital 1 Color", "Digital X Color", "Digital Z Color"};
    bool v8 = file.AtLeast(kCirVersion800);
    bool v7 = file.AtLeast(kCirVersion700);
    if (!v8) {
        // The font of older files carries the default object colour.
        file.defaultObjectFont = d->defaultObject.font;
        file.defaultObjectFont.color = d->defaultObject.style.color;
    }
    std::vector<PropertyEntry> rows;
    cfp_Row(rows, "Window Placement", &d->fileSettings.windowPlacement, kPropPlacement);
    if (v8) {
        if (reading) cfp_Row(rows, "Object Default", &d->defaultObject.style, kPropGraphicAttr);
        cfp_Row(rows, "Default Object", &d->defaultObject.style, kPropGraphicAttr);
        cfp_Row(rows, "Default Object Font", &d->defaultObject.font, kPropFont);
        cfp_Row(rows, "Default Object Apply Border To Text", &d->defaultObject.applyBorderToText, kPropYesNo);
        cfp_Row(rows, "Default Object Apply Fill To Text", &d->defaultObject.applyFillToText, kPropYesNo);
    } else {
        cfp_Row(rows, "Object Default", &file.defaultObjectFont, kPropFont);
    }
    cfp_Row(rows, "WinBackGround Color", &d->backgroundStyle.color, kPropColor8);
    cfp_Row(rows, "Select Color", &d->selectStyle.color, kPropColor8);
    cfp_Row(rows, "Select Box Color", &d->selectBoxStyle.color, kPropColor8);
    cfp_Row(rows, "Grid Text Color", &f.gridText, kPropFont);
    cfp_Row(rows, "Component Color", &f.component.color, kPropColor8);
    cfp_Row(rows, "Attribute Text", &f.attributeText, kPropFont);
    cfp_Row(rows, "Wire Color", &f.wire.color, kPropColor8);
    if (v7)
        cfp_Row(rows, "Pin Connection", &f.pinConnection, kPropFont);
    else
        cfp_Row(rows, "Pin Color", &f.pinConnection.color, kPropColor8);
    cfp_Row(rows, "Node Number", &f.nodeNumber, kPropFont);
    cfp_Row(rows, "Node Voltage Color", &f.nodeVoltage.color, kPropColor8);
    if (v8) {
        cfp_Row(rows, "Dynamic AC Voltage Color", &f.dynamicAcVoltage.color, kPropColor8);
        cfp_Row(rows, "Text Banner Text", &f.textBanner, kPropFont);
        cfp_Row(rows, "Title Block Background", &f.titleBlockBackground.color, kPropColor8);
    }
    cfp_Row(rows, "Current", &f.current, kPropFont);
    cfp_Row(rows, "Power/Condition", &f.powerCondition, kPropFont);
    cfp_Row(rows, "Digital Path Color", &f.digitalPath.color, kPropColor8);
    cfp_Row(rows, "Title Block", &f.titleBlock, kPropFont);
    for (int i = 0; i < 6; ++i) cfp_Row(rows, digitalKeys[i], &f.digitalState[i].color, kPropColor8);
    cfp_Row(rows, "Window Placement in Analysis", &d->analysisPlacement, kPropPlacement);
    cfp_Row(rows, "Window Placement in Probe", &d->probePlacement, kPropPlacement);
    if (v8) cfp_Row(rows, "SpiceType", &d->dialect, kPropDialect);
    if (v7) cfp_Row(rows, "Block Select Color", &f.blockSelect.color, kPropColor8);
    for (int i = 0; i < 5; ++i) cfp_Row(rows, fieldKeys[i], &tb.fields[i], kPropString);
    cfp_Row(rows, "TitleBlock One Title", &tb.oneTitle, kPropTrueFalse);
    if (v7) {
        cfp_Row(rows, "Title_Block_Border", &tb.border, kPropTrueFalse);
        cfp_Row(rows, "Title_Block", &tb.show, kPropTrueFalse);
    }
    if (reading && v7 && !v8) cfp_Row(rows, "Pin Color", &f.pinConnection.color, kPropColor8);
    int code = cfp_Serialize(file, "Circuit", rows);
    if (reading && !v8) {
        d->defaultObject.font = file.defaultObjectFont;
        d->defaultObject.style.color = file.defaultObjectFont.color;
    }
    if (reading) cfp_DropStalePlacements(file);
    return code;
}

// ---- FontAndColor and Window Placement (files before 6.00) ---------------------------------

int SerializeFontAndColorSection(CircuitFile& file) {
    CCirDoc* d = file.document;
    if (!d) return file.IsWriting() ? 0 : cfp_SkipLines(file);
    CircuitFontBlock& f = d->fonts;
    bool reading = file.IsReading();
    FontSpec defaultFont;
    defaultFont.SetDefault();
    int32_t scaleColor = 1;  // always written On, ignored when read
    std::vector<PropertyEntry> rows;
    cfp_Row(rows, "Circuit Background", &d->backgroundStyle.color, kPropColor8);
    cfp_Row(rows, "Grid Text", &f.gridText, kPropFont);
    if (reading)
        cfp_Row(rows, "Circuit Object", &d->defaultObject.style, kPropGraphicAttr);
    else
        cfp_Row(rows, "Circuit Object", &defaultFont, kPropFont);
    cfp_Row(rows, "Component", &f.component.color, kPropColor8);
    cfp_Row(rows, "Attribute Text", &f.attributeText, kPropFont);
    cfp_Row(rows, "Wire", &f.wire.color, kPropColor8);
    cfp_Row(rows, "Select", &d->selectStyle.color, kPropColor8);
    cfp_Row(rows, "Pin", &f.pinConnection.color, kPropColor8);
    cfp_Row(rows, "Box Region", &d->selectBoxStyle.color, kPropColor8);
    cfp_Row(rows, "Node Number", &f.nodeNumber, kPropFont);
    cfp_Row(rows, "Node Voltage", &f.nodeVoltage.color, kPropColor8);
    cfp_Row(rows, "Digital Path", &f.digitalPath.color, kPropColor8);
    cfp_Row(rows, "Title Block", &f.titleBlock, kPropFont);
    // The analysis rows belong to the analysis document, which is not built:
    // their keys are skipped on reading like any unknown key.
    cfp_Row(rows, "ScaleColor", &scaleColor, kPropOnOff);
    return cfp_Serialize(file, "FontAndColor", rows);
}

int SerializeWindowPlacementSection(CircuitFile& file) {
    CCirDoc* d = file.document;
    if (!d) return file.IsWriting() ? 0 : cfp_SkipLines(file);
    std::vector<PropertyEntry> rows;
    cfp_Row(rows, "Circuit", &d->fileSettings.windowPlacement, kPropPlacement);
    cfp_Row(rows, "CircuitA", &d->analysisPlacement, kPropPlacement);
    cfp_Row(rows, "ProbeC", &d->probePlacement, kPropPlacement);
    int code = cfp_Serialize(file, "Window Placement", rows);
    if (file.IsReading()) cfp_DropStalePlacements(file);
    return code;
}

// ---- Page ----------------------------------------------------------------------------------

int SerializePageSection(CircuitFile& file) {
    CCirDoc* d = file.document;
    if (!d) return file.IsWriting() ? 0 : cfp_SkipLines(file);
    bool v8 = file.AtLeast(kCirVersion800);
    int kinds = v8 ? 4 : 3;
    char key[48];
    if (file.IsWriting()) {
        int count = cfp_WrittenPageCount(file);
        for (int i = 0; i < count; ++i) {
            PageRecord* p = d->Page(i);
            if (!v8 && p->kind != kPageSchematic) continue;
            file.WriteSectionHeader("Page");
            file.WriteIntKey("Index", i);
            if (v8) {
                if (p->kind == kPageText) file.WriteKey("Type", "Text");
                if (p->kind == kPageInfo) file.WriteKey("Type", "Info");
                file.WriteBoolKey("Print", p->print != 0);
            }
            file.WriteKey("Name", p->name ? p->name : "");
            for (int k = 0; k < kinds; ++k) {
                FormatBounded(key, sizeof key, "%s.PrintPreview", cfp_KindLetters[k]);
                WriteRangeKey(file, key, p->printPreview[k], p->printRange[k]);
            }
            for (int n = 0; n < kMaxPanes; ++n) {
                if (p->scrollX[n] || p->scrollY[n]) {
                    FormatBounded(key, sizeof key, "SB %d", n);
                    cfp_WriteTwoInts(file, key, p->scrollX[n], p->scrollY[n]);
                }
                if (file.AtLeast(kCirVersion700)) {
                    FormatBounded(key, sizeof key, "Scale %d", n);
                    file.WriteDoubleKey(key, p->scale[n]);
                }
            }
            cfp_WriteTwoInts(file, "Grid", p->grid[0], p->grid[1]);
        }
        return file.error;
    }
    if (d->PageCount() < 1 && d->SetPageCount(1)) return kResultNoMemory;
    int index = d->PageCount() - 1;
    char* k = nullptr;
    char* value = nullptr;
    while (cfp_NextKey(file, k, value)) {
        if (!strcmp(k, "INDEX")) {
            long n = strtol(value, nullptr, 10);
            if (n < 0) n = 0;
            // A page index no file of ours can hold is not a reason to allocate.
            if (n >= kMaxPageCount) return kResultBadFormat;
            if (n >= d->PageCount() && d->SetPageCount(int(n) + 1)) return kResultNoMemory;
            index = int(n);
            continue;
        }
        PageRecord* p = d->Page(index);
        if (!p) continue;
        if (!strcmp(k, "NAME")) {
            SetString(&p->name, value);
        } else if (!strcmp(k, "TYPE")) {
            if (!strcasecmp(value, "Text"))
                cfp_MakeTextPage(file, index, kPageText);
            else if (!strcasecmp(value, "Info"))
                cfp_MakeTextPage(file, index, kPageInfo);
        } else if (!strcmp(k, "PRINT")) {
            p->print = IsTrueText(value) ? 1 : 0;
        } else if (strlen(k) == 4 && !strncmp(k, "SB ", 3) && k[3] >= '0' && k[3] <= '3') {
            int32_t two[2] = {0, 0};
            ParseTwoInts(value, two);
            p->scrollX[k[3] - '0'] = two[0];
            p->scrollY[k[3] - '0'] = two[1];
        } else if (strlen(k) == 7 && !strncmp(k, "SCALE ", 6) && k[6] >= '0' && k[6] <= '3') {
            double zoom = SnapZoomValue(strtod(value, nullptr));
            p->scale[k[6] - '0'] = zoom;
            d->fonts.zoom = zoom;
        } else if (!strcmp(k, "GRID")) {
            ParseTwoInts(value, p->grid);
        } else if (const char* dot = strchr(k, '.')) {
            for (int a = 0; a < 4; ++a) {
                size_t len = strlen(cfp_KindLetters[a]);
                if (size_t(dot - k) != len || strncmp(k, cfp_KindLetters[a], len)) continue;
                FormatBounded(key, sizeof key, "%s.PRINTPREVIEW", cfp_KindLetters[a]);
                if (!strcmp(k, key)) ParseRangeSpec(value, &p->printPreview[a], p->printRange[a]);
            }
        }
    }
    return file.error;
}

// ---- Text Area -----------------------------------------------------------------------------

int SerializeTextAreaSection(CircuitFile& file) {
    CCirDoc* d = file.document;
    if (!d) return file.IsWriting() ? 0 : cfp_SkipLines(file);
    bool v8 = file.AtLeast(kCirVersion800);
    if (file.IsWriting()) {
        for (int j = 0; j < d->PageCount(); ++j) {
            if (d->PageKind(j) != kPageText) continue;
            file.WriteSectionHeader("Text Area");
            if (v8) file.WriteIntKey("Page", j);
            WriteFontKey(file, "Font", d->textPageFont);
            WriteColorKey(file, "Comment Color", d->textCommentColor.color);
            WriteColorKey(file, "Background Color", d->textBackgroundColor.color);
            long length = 0;
            const char* text = cfp_PageText(d, j, &length);
            if (length < 0) length = 0;
            file.WriteIntKey("Len", int(length));
            cfp_WriteRaw(file, text, size_t(length));
            cfp_WriteRaw(file, "\r\n", 2);
            if (!v8) break;
        }
        return file.error;
    }
    int page = d->FindPageByName("Text");
    if (page < 0 || d->PageKind(page) != kPageText) page = d->GetFirstTextPage();
    if (page < 0) {
        page = d->AppendPage(kPageText, "Text");
        if (page < 0) return kResultNoMemory;
        cfp_MakeTextPage(file, page, kPageText);
    }
    bool lengthSeen = false;
    std::string line;
    char* k = nullptr;
    char* value = nullptr;
    while (cfp_NextKey(file, k, value, &line)) {
        if (lengthSeen) {
            // Anything after the text is not ours; say so once per file.
            if (!file.Silent()) file.WarnExtraData(line.c_str());
            continue;
        }
        if (!strcmp(k, "PAGE")) {
            long n = strtol(value, nullptr, 10);
            // Only a text page made by a Page section can take the text.
            page = (n >= 0 && n < d->PageCount() && d->PageKind(int(n)) == kPageText) ? int(n) : -1;
        } else if (!strcmp(k, "FONT")) {
            FontSpec font = d->textPageFont;
            ParseFontSpec(value, &font, true);
            d->textPageFont = font;
            PageRecord* p = d->Page(page);
            if (!file.Hidden() && p && p->editor && TextEditor().HasWindow(p->editor)) d->ApplyTextFont(&font, 0);
        } else if (!strcmp(k, "COMMENT COLOR")) {
            d->textCommentColor.color = uint8_t(ParseColorValue(value));
        } else if (!strcmp(k, "BACKGROUND COLOR")) {
            d->textBackgroundColor.color = uint8_t(ParseColorValue(value));
        } else if (!strcmp(k, "LEN")) {
            lengthSeen = true;
            long length = strtol(value, nullptr, 10);
            char* text = nullptr;
            if (length > 0) {
                if (int code = cfp_ReadRaw(file, length, &text)) {
                    if (code == kResultBadFormat && file.path) SetPendingText(file.path);
                    return code;
                }
                cfp_SkipLineRest(file);
            }
            if (page >= 0)
                cfp_StorePageText(file, page, text);
            else
                MemFree(text);
        }
    }
    return file.error;
}

// ---- Schematic and Tools ---------------------------------------------------------------------

int SerializeSchematicSection(CircuitFile& file) {
    CCirDoc* d = file.document;
    if (!d) return file.IsWriting() ? 0 : cfp_SkipLines(file);
    char key[32];
    if (file.IsWriting()) {
        file.WriteSectionHeader("Schematic");
        int written = cfp_WrittenPageCount(file);
        for (int n = 0; n < kMaxPanes; ++n) {
            FormatBounded(key, sizeof key, "Page %d", n);
            int page = d->paneCurrentPage[n];
            file.WriteIntKey(key, page >= 0 && page < written ? page : 0);
            if (d->paneFirstTab[n] > 0) {
                FormatBounded(key, sizeof key, "FirstTab %d", n);
                file.WriteIntKey(key, d->paneFirstTab[n]);
            }
            if (d->paneTabSize[n] > 0) {
                FormatBounded(key, sizeof key, "TabSize %d", n);
                file.WriteIntKey(key, d->paneTabSize[n]);
            }
        }
        file.WriteIntKey("Splitter.xs", d->splitterX);
        file.WriteIntKey("Splitter.ys", d->splitterY);
        file.WriteIntKey("TextQuad", 4099);
        double zoom = d->fonts.zoom;
        if (file.version == kCirVersion520) {
            long z = long(zoom * 100.0);
            if (z == 266)
                zoom = 2.0;
            else if (z == 133)
                zoom = 1.0;
            else if (z == 66)
                zoom = 0.5;
        }
        file.WriteDoubleKey("Scale", zoom);
        file.WriteDoubleKey("PrinterScale", d->printerScale);
        int32_t view = d->displayFlags;
        if (!file.AtLeast(kCirVersion700)) {
            view &= ~(0x040 | 0x080 | 0x400);
            if (d->titleBlock.border) view |= 0x040;
            if (d->titleBlock.show) view |= 0x080;
            if (d->gridType != kGridNone) view |= 0x400;
        }
        view = (view & ~0x002) | 0x100;
        file.WriteIntKey("View", view);
        if (file.AtLeast(kCirVersion800)) {
            if (d->gridType != kGridNone) WriteGridStyleKey(file, "GridType", d->gridType);
            file.WriteIntKey("GridUser", d->userGrid);
        }
        if (file.AtLeast(kCirVersion600)) {
            file.toolOwner = &d->fileSettings;
            SerializeToolsSection(file);
        }
        return file.error;
    }
    // The circuit window's tool bar follows this section.
    file.toolOwner = &d->fileSettings;
    char* k = nullptr;
    char* value = nullptr;
    while (cfp_NextKey(file, k, value)) {
        long number = strtol(value, nullptr, 10);
        int pane = -1;
        if (!strncmp(k, "PAGE ", 5) || !strncmp(k, "FIRSTTAB ", 9) || !strncmp(k, "TABSIZE ", 8)) {
            const char* digit = strchr(k, ' ') + 1;
            if (digit[0] >= '0' && digit[0] <= '3' && !digit[1]) pane = digit[0] - '0';
            if (pane < 0) continue;
            int32_t v = int32_t(number);
            if (k[0] == 'P')
                d->paneCurrentPage[pane] = v;
            else if (k[0] == 'F')
                d->paneFirstTab[pane] = v;
            else
                d->paneTabSize[pane] = v;
        } else if (!strcmp(k, "SPLITTER.XS")) {
            d->splitterX = int32_t(number);
        } else if (!strcmp(k, "SPLITTER.YS")) {
            d->splitterY = int32_t(number);
        } else if (!strcmp(k, "SCALE")) {
            d->fonts.zoom = SnapZoomValue(strtod(value, nullptr));
        } else if (!strcmp(k, "PRINTERSCALE")) {
            d->printerScale = strtod(value, nullptr);
        } else if (!strcmp(k, "VIEW")) {
            int32_t view = int32_t(number) & ~0x002;
            if (!file.AtLeast(kCirVersion700)) {
                d->titleBlock.border = (view & 0x040) ? 1 : 0;
                d->titleBlock.show = (view & 0x080) ? 1 : 0;
            }
            if (!file.AtLeast(kCirVersion800) && (view & 0x400)) d->gridType = ParseGridStyle("Normal");
            d->displayFlags = view & ~(0x040 | 0x080 | 0x400);
        } else if (!strcmp(k, "GRIDTYPE")) {
            d->gridType = ParseGridStyle(value);
        } else if (!strcmp(k, "GRIDUSER")) {
            d->userGrid = int32_t(number < 1 ? 1 : number > 500 ? 500 : number);
        }
    }
    return file.error;
}

int SerializeToolsSection(CircuitFile& file) {
    CCirDoc* d = file.document;
    // Tool bars are not built yet: the circuit window's choices are kept as
    // read and written back unchanged; other owners' sections are skipped.
    bool circuitOwner = d && file.toolOwner == &d->fileSettings;
    if (file.IsWriting()) {
        if (!circuitOwner || d->fileSettings.keptToolLines.empty()) return file.error;
        file.WriteSectionHeader("Tools");
        const std::string& lines = d->fileSettings.keptToolLines;
        size_t start = 0;
        while (start < lines.size()) {
            size_t end = lines.find('\n', start);
            if (end == std::string::npos) end = lines.size();
            std::string line = lines.substr(start, end - start);
            size_t eq = line.find('=');
            if (eq == std::string::npos)
                file.WriteKey(line.c_str(), "");
            else
                file.WriteKey(line.substr(0, eq).c_str(), line.c_str() + eq + 1);
            start = end + 1;
        }
        return file.error;
    }
    if ((file.loadFlags & kLoadSkipWindows) || !circuitOwner) return cfp_SkipLines(file);
    std::string kept;
    std::string raw;
    char* k = nullptr;
    char* value = nullptr;
    while (cfp_NextKey(file, k, value, &raw)) {
        // The button names keep the case they were read with.
        std::string key = raw.substr(0, raw.find('='));
        while (!key.empty() && (key.back() == ' ' || key.back() == '\t')) key.pop_back();
        std::string v;
        if (!strcmp(k, "POS")) {
            key = "Pos";
            v = !strcasecmp(value, "Top") ? "Top" : "Left";
        } else {
            v = IsYesText(value) ? "Yes" : "No";
        }
        if (!kept.empty()) kept += '\n';
        kept += key + "=" + v;
    }
    d->fileSettings.keptToolLines = kept;
    file.toolOwner = nullptr;
    return file.error;
}

// ---- Printer, DSP and TF ----------------------------------------------------------------------

int SerializePrinterSection(CircuitFile& file) {
    CCirDoc* d = file.document;
    if (file.IsReading() && (!d || (file.loadFlags & kLoadSkipWindows))) return cfp_SkipLines(file);
    if (file.IsWriting() && (!d || file.AtLeast(kCirVersion800))) return file.error;
    static const char* const tileKeys[4] = {"T.AutoTile", "A.AutoTile", "D.AutoTile", "DIST.AutoTile"};
    static const char* const borderKeys[4] = {"T.BlackBorder", "A.BlackBorder", "D.BlackBorder", "DIST.BlackBorder"};
    int kinds = file.IsReading() && file.AtLeast(kCirVersion800) ? 4 : 3;
    std::vector<PropertyEntry> rows;
    for (int k = 0; k < kinds; ++k) {
        cfp_Row(rows, tileKeys[k], &d->fileSettings.printAutoTile[k], kPropYesNo);
        cfp_Row(rows, borderKeys[k], &d->fileSettings.printBlackBorder[k], kPropYesNo);
    }
    return cfp_Serialize(file, "Printer", rows);
}

int SerializeDspSection(CircuitFile& file) {
    CCirDoc* d = file.document;
    // The DSP texts are kept with the circuit, so they are read even while
    // the analysis document is not built.
    if (file.IsReading() && (!d || (file.loadFlags & kLoadSkipWindows))) return cfp_SkipLines(file);
    CircuitFileSettings* s = d ? &d->fileSettings : nullptr;
    char key[40];
    if (file.IsWriting()) {
        if (!s || file.AtLeast(kCirVersion800)) return file.error;
        file.WriteSectionHeader("DSP");
        for (int a = 0; a < 2; ++a) {
            FormatBounded(key, sizeof key, "%s.Status", cfp_KindLetters[a]);
            file.WriteOnOffKey(key, true);
            const std::string* texts[3] = {&s->dspMax[a], &s->dspMin[a], &s->dspPoints[a]};
            static const char* const names[3] = {"Max", "Min", "NPts"};
            for (int t = 0; t < 3; ++t) {
                if (texts[t]->empty()) continue;
                FormatBounded(key, sizeof key, "%s.%s", cfp_KindLetters[a], names[t]);
                file.WriteKey(key, texts[t]->c_str());
            }
        }
        return file.error;
    }
    static const int oldKinds[] = {0, 1};
    static const int newKinds[] = {0, 1, 3};
    const int* kinds = file.AtLeast(kCirVersion800) ? newKinds : oldKinds;
    int kindCount = file.AtLeast(kCirVersion800) ? 3 : 2;
    char* k = nullptr;
    char* value = nullptr;
    while (cfp_NextKey(file, k, value)) {
        for (int i = 0; i < kindCount; ++i) {
            int a = kinds[i];
            FormatBounded(key, sizeof key, "%s.MAX", cfp_KindLetters[a]);
            if (!strcmp(k, key)) s->dspMax[a] = value;
            FormatBounded(key, sizeof key, "%s.MIN", cfp_KindLetters[a]);
            if (!strcmp(k, key)) s->dspMin[a] = value;
            FormatBounded(key, sizeof key, "%s.NPTS", cfp_KindLetters[a]);
            if (!strcmp(k, key)) s->dspPoints[a] = value;
        }
    }
    return file.error;
}

int SerializeTfSection(CircuitFile& file) {
    CCirDoc* d = file.document;
    if (file.IsReading() && (!d || (file.loadFlags & kLoadSkipWindows))) return cfp_SkipLines(file);
    if (!d) return file.error;
    CircuitFileSettings& s = d->fileSettings;
    if (file.IsWriting()) {
        if (!file.AtLeast(kCirVersion600) || !s.hasTransfer) return file.error;
        file.WriteSectionHeader("TF");
        for (const std::string& output : s.transferOutputs)
            if (!output.empty()) file.WriteKey("Output", output.c_str());
        file.WriteKey("Input Source", s.transferInputSource.c_str());
        file.WriteBoolKey("Place Text", s.transferPlaceText != 0);
        if (s.transferTextGrid[0] != -1 && s.transferTextGrid[1] != -1)
            cfp_WriteTwoInts(file, "TextGrid", s.transferTextGrid[0], s.transferTextGrid[1]);
        return file.error;
    }
    s.hasTransfer = 1;
    int slot = 0;
    char* k = nullptr;
    char* value = nullptr;
    while (cfp_NextKey(file, k, value)) {
        if (!strcmp(k, "OUTPUT")) {
            if (slot < kTransferOutputSlots) s.transferOutputs[slot++] = value;
        } else if (!strcmp(k, "INPUT SOURCE")) {
            s.transferInputSource.assign(value, strnlen(value, kTransferInputSourceMax));
        } else if (!strcmp(k, "PLACE TEXT")) {
            s.transferPlaceText = IsTrueText(value) ? 1 : 0;
        } else if (!strcmp(k, "TEXTGRID")) {
            ParseTwoInts(value, s.transferTextGrid);
        }
    }
    return file.error;
}

// ---- installation ------------------------------------------------------------------------------

void InstallCircuitPageSections() {
    SetCircuitSectionRoutine(kSecCircuit, SerializeCircuitSection);
    SetCircuitSectionRoutine(kSecFontAndColor, SerializeFontAndColorSection);
    SetCircuitSectionRoutine(kSecWindowPlacement, SerializeWindowPlacementSection);
    SetCircuitSectionRoutine(kSecPage, SerializePageSection);
    SetCircuitSectionRoutine(kSecTextArea, SerializeTextAreaSection);
    SetCircuitSectionRoutine(kSecSchematic, SerializeSchematicSection);
    SetCircuitSectionRoutine(kSecTools, SerializeToolsSection);
    SetCircuitSectionRoutine(kSecPrinter, SerializePrinterSection);
    SetCircuitSectionRoutine(kSecDSP, SerializeDspSection);
    SetCircuitSectionRoutine(kSecTF, SerializeTfSection);
}
