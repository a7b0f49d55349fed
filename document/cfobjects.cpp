// Circuit file sections of the drawing: components (Comp) with their
// attributes (Attr), wires (Wire), graphic objects (Object) and grid texts
// (Grid Text, Flag).
#include <strings.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "core/memory.h"
#include "core/port.h"
#include "core/properties.h"
#include "core/result.h"
#include "document/attributes.h"
#include "document/cfsections.h"
#include "document/circuitfile.h"
#include "document/cirdoc.h"
#include "document/component_defs.h"
#include "document/nodes.h"
#include "document/partnames.h"

namespace {

struct cfo_TypeRow {
    int code;
    const char* name;
    bool closed;
};

const cfo_TypeRow cfo_Types[15] = {
    {1, "Line", false},
    {2, "Ellipse", true},
    {3, "Rectangle", true},
    {4, "Diamond", true},
    {5, "Arc", false},
    {6, "Pie", true},
    {7, "MeasureV", false},
    {8, "Tag", false},
    {9, "MeasureH", false},
    {10, "Picture", true},
    {11, "Poly", true},
    {12, "Text", false},
    {13, "LeftCurlyBracket", false},
    {14, "RightCurlyBracket", false},
    {15, "BothCurlyBrackets", false},
};

constexpr int cfo_TypeLine = 1;
constexpr int cfo_TypeRectangle = 3;
constexpr int cfo_TypeArc = 5;
constexpr int cfo_TypePicture = 10;
constexpr int cfo_TypeText = 12;

const char* const cfo_EndWords[4] = {"ArrowF", "Arrow", "Dot", "Diamond"};

// The next key line of the section being read: 1 with key (upper case) and
// value; 0 at the next header (made current), at the end or on an error.
int cfo_NextKey(CircuitFile& file, char*& key, char*& value) { return file.ReadKeyLine(key, value); }

int cfo_SkipLines(CircuitFile& file) {
    char* key = nullptr;
    char* value = nullptr;
    while (cfo_NextKey(file, key, value)) {}
    return file.error;
}

void cfo_WriteInts(CircuitFile& file, const char* key, const int32_t* v, int n) {
    char text[80];
    if (n == 2)
        FormatBounded(text, sizeof text, "%d,%d", v[0], v[1]);
    else
        FormatBounded(text, sizeof text, "%d,%d,%d,%d", v[0], v[1], v[2], v[3]);
    file.WriteKey(key, text);
}

// A coordinate read from a file must lie in 1 to 32000; others become 10 and
// the load reports them afterwards.
void cfo_ValidatePoint(CircuitFile& file, int32_t* x, int32_t* y) {
    if (file.loadFlags & kLoadAsStored) return;
    for (int32_t* v : {x, y}) {
        if (*v >= 1 && *v <= 32000) continue;
        *v = 10;
        file.illegalCoordinates = true;
    }
}

int cfo_Int(const char* value) { return int(strtol(value, nullptr, 10)); }

void cfo_RemoveObject(CCirDoc* document, SchematicObject* object) { document->objects.Delete(object); }

// The version gate of the key writers.
int32_t cfo_Version(const CircuitFile& file) { return file.version; }

// Placeholder definitions of components that no library knows: one per name,
// alive for the whole run, so that the name survives a save.
std::vector<std::unique_ptr<ComponentDef>>& cfo_Placeholders() {
    static std::vector<std::unique_ptr<ComponentDef>> list;
    return list;
}

ComponentDef* cfo_Placeholder(const char* name) {
    for (auto& d : cfo_Placeholders())
        if (!strcasecmp(d->Name(), name)) return d.get();
    auto d = std::make_unique<ComponentDef>();
    d->type = kTypeBlank;
    d->SetName(name);
    if (strcasecmp(d->Name(), name)) return nullptr;
    cfo_Placeholders().push_back(std::move(d));
    return cfo_Placeholders().back().get();
}

ComponentDef* cfo_Resolve(CircuitFile& file, const char* read, bool* placeholder) {
    *placeholder = false;
    char name[256];
    CopyTextBounded(name, read, sizeof name);
    if (!file.AtLeast(kCirVersion800)) {
        if (!strcasecmp(name, "I"))
            CopyTextBounded(name, "Current Source", sizeof name);
        else if (!strcasecmp(name, "V"))
            CopyTextBounded(name, "Voltage Source", sizeof name);
    }
    if (file.version == kCirVersion800) FixAnimatedSwitchName(name);
    ComponentLookupPort& lookup = ComponentLookup();
    ComponentDef* def = lookup.FindEmbedded(file, name);
    if (def) file.localDefinitionsUsed = true;
    if (!def) def = lookup.FindInLibraries(name, file.version != kCirVersion400);
    if (def) {
        if (!def->shapeLink && !def->IsAutoMacro()) {
            if (file.lastShapeless != name && !file.Silent()) lookup.ReportNoShape(name);
            file.lastShapeless = name;
            file.loadProblems = true;
        } else {
            file.lastShapeless.clear();
        }
        return def;
    }
    const uint32_t quiet = kLoadAsStored | kLoadMacro | kLoadSilent | kLoadNoRenumber | kLoadHidden | kLoadSkipWindows |
                           kLoadKeepMacroParameters;
    if (!(file.loadFlags & quiet)) file.AddMissingComponent(name);
    file.loadProblems = true;
    *placeholder = true;
    return cfo_Placeholder(name);
}

// The own pin box of an automatic macro box: the definition's pin positions.
PinBox* cfo_BuildPinBox(const ComponentDef* def, int count) {
    int n = count > 0 ? count : 0;
    PinBox* box = AllocPinBox(n);
    if (!box) return nullptr;
    box->pinCount = n;
    for (int i = 0; i < n && i < def->pinCount && def->pins; ++i) {
        box->Pins()[i].x = def->pins[i].x;
        box->Pins()[i].y = def->pins[i].y;
        box->Pins()[i].nameX = def->pins[i].nameX;
        box->Pins()[i].nameY = def->pins[i].nameY;
    }
    for (int i = 0; i < 4; ++i) box->bounds[i] = def->autoRect[i];
    return box;
}

// ---- attributes -------------------------------------------------------------------------

bool cfo_AttributeWritten(CircuitFile& file, SchematicObject* o, PartAttribute* a) {
    if (a->nameId == kAttrSliderOrigin) return false;
    bool v520 = file.version == kCirVersion520;
    int type = o->definition ? o->definition->type : -1;
    if (!file.AtLeast(kCirVersion700) && type == kTypeMacro && a->IsParameter()) return false;
    if (v520 && (a->nameId == kAttrGate || a->nameId == kAttrCompName)) return false;
    if (a->nameId == kAttrPackage && (v520 || !a->HasValue())) return false;
    if (v520 && type == kTypeSampleAndHold && a->IsNamed("SAMPLE EXPR")) return false;
    bool ownName = a->nameId == 0 && a->nameText && a->nameText[0];
    return a->HasValue() || a->flags || a->font.Differs(file.document->fonts.attributeText) || ownName;
}

// The items of a parenthesised list "(a,b=(1,2),c)" split at its top-level
// commas (the parentheses may be missing); false when the brackets do not pair.
bool cfo_SplitList(const std::string& text, std::vector<std::string>* items) {
    items->clear();
    std::string body = text;
    size_t open = body.find('(');
    if (open != std::string::npos) body = body.substr(open + 1);
    size_t close = body.rfind(')');
    if (close != std::string::npos) body = body.substr(0, close);
    int depth = 0;
    std::string item;
    for (char c : body) {
        if (c == '(') ++depth;
        if (c == ')' && --depth < 0) return false;
        if (c == ',' && depth == 0) {
            items->push_back(item);
            item.clear();
            continue;
        }
        item += c;
    }
    if (depth) return false;
    if (!item.empty() || !items->empty()) items->push_back(item);
    for (std::string& i : *items) {
        size_t a = i.find_first_not_of(' ');
        size_t b = i.find_last_not_of(' ');
        i = a == std::string::npos ? std::string() : i.substr(a, b - a + 1);
    }
    return true;
}

// The ".PARAMETERS" list of a macro file; "" when it has none or the macro
// files are not reachable yet.
std::string cfo_MacroParameterList(const char* macroFile, size_t size) {
    if (!ComponentLookup().ReadsMacroFiles()) return "";
    std::vector<char> buffer(size, 0);
    if (!ComponentLookup().MacroParameters(macroFile, buffer.data(), buffer.size())) return "";
    return buffer.data();
}

// The VALUE text that files before 7.00 keep for a macro: its file name and
// the values of its parameters (or their defaults) in parentheses.
std::string cfo_OldMacroValue(SchematicObject* o, const char* fileValue) {
    std::string value = fileValue;
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"') value = value.substr(1, value.size() - 2);
    std::string list = cfo_MacroParameterList(value.c_str(), 300);
    if (list.empty()) return value;
    std::vector<std::string> names;
    if (!cfo_SplitList(list, &names)) return value + "()";
    std::string args;
    for (size_t i = 0; i < names.size(); ++i) {
        std::string name = names[i];
        std::string fallback;
        size_t eq = name.find('=');
        if (eq != std::string::npos) {
            fallback = name.substr(eq + 1);
            name = name.substr(0, eq);
        }
        const char* given = GetAttributeText(o, (std::string(kParamPrefix) + name).c_str());
        if (i) args += ",";
        args += given[0] ? given : fallback;
    }
    return value + "(" + args + ")";
}

void cfo_WriteAttributes(CircuitFile& file, SchematicObject* o) {
    bool oldMacro = !file.AtLeast(kCirVersion700) && o->definition && o->definition->type == kTypeMacro;
    bool v520 = file.version == kCirVersion520;
    for (PartAttribute* a = static_cast<PartAttribute*>(o->attributes.first); a; a = a->Next()) {
        if (!cfo_AttributeWritten(file, o, a)) continue;
        if (a->nameId == 0 && a->nameText) {
            // An own name must not break the "x,y,name,value" record.
            char* w = a->nameText;
            for (char* r = a->nameText; *r; ++r)
                if (*r != ',' && *r != '=') *w++ = *r;
            *w = 0;
        }
        std::string name = a->Name();
        std::string value = a->Value();
        if (oldMacro && a->nameId == kAttrFile) {
            name = "VALUE";
            value = cfo_OldMacroValue(o, a->Value());
        }
        if (v520 && o->definition && o->definition->type == kTypeSampleAndHold && a->IsNamed("INPUT EXPR"))
            name = "EXPR";
        if (!file.AtLeast(kCirVersion800))
            for (char& c : value)
                if (c == '\r' || c == '\n') c = ' ';
        file.WriteSectionHeader("Attr");
        std::string onv = std::to_string(a->offsetX) + "," + std::to_string(a->offsetY) + "," + name + "," + value;
        file.WriteKey("ONV", onv.c_str());
        if (a->flags) file.WriteIntKey("Style", a->flags);
        WriteFontChanges(file, a->font, file.document->fonts.attributeText);
    }
}

// ---- style keys ----------------------------------------------------------------------------

bool cfo_HasEndPoints(int type) { return type == 1 || type == 7 || type == 8 || type == 9; }

const char* cfo_TypeNameForFile(const CircuitFile& file, int type) {
    if (type >= 13 && type <= 15 && (!file.AtLeast(kCirVersion800) || file.version == kCirVersion520))
        return "Rectangle";
    return GraphicObjectTypeName(type);
}

void cfo_Write520StyleKeys(CircuitFile& file, int type, uint16_t flags, const GraphicStyle& style) {
    file.WriteKey("Object", cfo_TypeNameForFile(file, type));
    std::string words;
    auto add = [&words](const char* w) {
        if (!words.empty()) words += ",";
        words += w;
    };
    if (type == cfo_TypeLine) {
        if (flags & 0x0001)
            add("ArrowF");
        else if (flags & 0x0002)
            add("Arrow");
    }
    if (style.color != kColorNone) add("Border");
    if (style.fillColor != kColorNone) add("Fill");
    if (type == cfo_TypeRectangle && (flags & 0x0002)) add("Rounded");
    if (style.width == 2)
        add("Weight2");
    else if (style.width > 2)
        add("Weight3");
    if (type != cfo_TypeText)
        if (const char* p = GetLineStyleName(style.pattern, file.version)) add(p);
    if (!words.empty()) file.WriteKey("Style", words.c_str());
}

void cfo_WriteObjectSection(CircuitFile& file, SchematicObject* o) {
    GraphicStyle style;
    style.width = o->lineWeight;
    style.pattern = o->linePattern;
    style.color = o->borderColor;
    style.fillColor = o->fillColor;
    style.fillPattern = o->fillPattern;
    file.WriteSectionHeader("Object");
    if (file.version == kCirVersion520)
        cfo_Write520StyleKeys(file, o->graphicType, o->styleFlags, style);
    else
        WriteStyleKeys(file, o->graphicType, o->styleFlags, style, true);
    int32_t grids[4] = {o->x1, o->y1, o->x2, o->y2};
    cfo_WriteInts(file, "Grids", grids, 4);
    if (file.version == kCirVersion520) {
        if (o->borderColor != kColorNone) WriteColorKey(file, "Color", o->borderColor);
        if (IsClosedGraphicType(o->graphicType) && o->fillColor != kColorNone)
            WriteColorKey(file, "CFill", o->fillColor);
    }
    if (o->page) file.WriteIntKey("Page", o->page);
    if (file.AtLeast(kCirVersion700) && o->graphicType == cfo_TypePicture) file.WriteIntKey("Rot", o->orientation);
    cfo_WriteAttributes(file, o);
}

void cfo_WriteCompSection(CircuitFile& file, SchematicObject* o) {
    const ComponentDef* def = o->definition;
    file.WriteSectionHeader("Comp");
    file.WriteKey("Name", def ? def->Name() : "");
    if (o->styleFlags & kShowPinText) file.WriteKey("Style", "ShowPinText");
    if (file.AtLeast(kCirVersion700)) {
        if (o->showPinMarkers) file.WriteBoolKey("ShowPinMarkers", true);
        if (!o->showCurrent) file.WriteBoolKey("ShowCurrent", false);
        if (!o->showPower) file.WriteBoolKey("ShowPower", false);
        if (!o->showCondition) file.WriteBoolKey("ShowCondition", false);
    }
    if (file.AtLeast(kCirVersion800) && o->borderColor != kColorNone) WriteColorKey(file, "Color", o->borderColor);
    if (o->showPackagePins) file.WriteBoolKey("ShowPackagePins", true);
    int32_t grid[2] = {o->x1, o->y1};
    cfo_WriteInts(file, "Grid", grid, 2);
    if (o->orientation) file.WriteIntKey("Rot", o->orientation);
    if (o->page) file.WriteIntKey("Page", o->page);
    if (file.AtLeast(kCirVersion600) && def && def->IsAutoMacro()) {
        int32_t rect[4];
        for (int i = 0; i < 4; ++i) rect[i] = o->pinBox ? o->pinBox->bounds[i] : def->autoRect[i];
        cfo_WriteInts(file, "AutoMacroRect", rect, 4);
        int count = o->pinBox ? o->pinBox->pinCount : def->pinCount;
        file.WriteIntKey("AutoMacroPinCnt", count);
        for (int i = 0; i < count; ++i) {
            const ComponentPin* pin = o->pinBox ? &o->pinBox->Pins()[i] : (i < def->pinCount ? &def->pins[i] : nullptr);
            if (!pin) break;
            char pinName[kPinNameSize];
            def->GetPinName(i, pinName, sizeof pinName);
            char text[160];
            FormatBounded(text, sizeof text, "\"%s\",%d,%d,%d,%d", pinName, pin->x, pin->y, pin->nameX, pin->nameY);
            file.WriteKey("AutoMacroPin", text);
        }
    }
    cfo_WriteAttributes(file, o);
}

void cfo_WriteWireSection(CircuitFile& file, SchematicObject* o) {
    file.WriteSectionHeader("Wire");
    int32_t grids[4] = {o->x1, o->y1, o->x2, o->y2};
    cfo_WriteInts(file, "Grids", grids, 4);
    if (o->page) file.WriteIntKey("Page", o->page);
    if (file.AtLeast(kCirVersion700) && o->lineWeight >= 2) file.WriteIntKey("Weight", o->lineWeight);
    if (file.AtLeast(kCirVersion800) && o->borderColor != kColorNone) WriteColorKey(file, "Color", o->borderColor);
}

void cfo_WriteGridText(CircuitFile& file, GridTextObject* g) {
    CCirDoc* d = file.document;
    file.WriteSectionHeader((g->flags & kGridTextIsFlag) ? "Flag" : "Grid Text");
    if (file.AtLeast(kCirVersion800))
        file.WriteQuotedKey("Text", g->text ? g->text : "");
    else
        file.WriteKey("Text", g->text ? g->text : "");
    if (g->flags & kGridTextBannerAC) file.WriteBoolKey("BannerAC", true);
    if (g->flags & kGridTextBannerDC) file.WriteBoolKey("BannerDC", true);
    if (g->flags & kGridTextBannerTF) file.WriteBoolKey("BannerTF", true);
    int32_t grid[2] = {g->x, g->y};
    cfo_WriteInts(file, "Grid", grid, 2);
    WriteFontChanges(file, g->font, d->fonts.gridText);
    if (g->page) file.WriteIntKey("Page", g->page);
    if (file.AtLeast(kCirVersion600)) {
        if (g->lineWeight > 1) file.WriteIntKey("Weight", g->lineWeight);
        if (g->fillColor != kColorNone) WriteColorKey(file, "CFill", g->fillColor);
        WriteColorKey(file, "CBorder", g->borderColor);
        if (const char* p = g->linePattern ? GetLineStyleName(g->linePattern, file.version) : nullptr)
            file.WriteKey("Pattern", p);
        if (g->fillPattern != 10)
            if (const char* h = GetHatchStyleName(g->fillPattern)) file.WriteKey("Fill Pattern", h);
    }
}

// ---- readers -----------------------------------------------------------------------------------

SchematicObject* cfo_NewObject(CircuitFile& file, int16_t kind) {
    SchematicObject* o = file.document->NewSchematicObject();
    if (!o) return nullptr;
    o->objectKind = kind;
    o->page = 0;
    return o;
}

// A page number beyond any drawing marks the file as malformed: taken as it is,
// it would make the reader allocate (and the next save write) that many pages.
int cfo_ReadPage(CircuitFile& file, const char* value) {
    long page = strtol(value, nullptr, 10);
    if (page < 0) return 0;
    if (page >= kMaxPageCount) {
        if (!file.error) {
            file.error = kResultBadFormat;
            if (file.path) SetPendingText(file.path);
        }
        return 0;
    }
    return int(page);
}

int cfo_ReadOrientation(CircuitFile& file, const char* value) {
    int rot = cfo_Int(value);
    if (!(file.loadFlags & kLoadAsStored) && (rot < 0 || rot > 7)) rot = 0;
    return rot;
}

void cfo_ReadAutoMacroPin(SchematicObject* o, const char* value, int32_t* pinCount, const int32_t rect[4]) {
    ComponentDef* def = o->definition;
    if (!def) return;
    if (!o->pinBox && def->IsAutoMacro() && *pinCount > 0) {
        if (*pinCount < def->pinCount) *pinCount = def->pinCount;
        if (*pinCount > 100000) return;
        o->pinBox = cfo_BuildPinBox(def, *pinCount);
        if (!o->pinBox) return;
        for (int i = 0; i < 4; ++i) o->pinBox->bounds[i] = rect[i];
    }
    if (!o->pinBox) return;
    std::string text = value;
    char name[kPinNameSize] = {};
    std::vector<char> buffer(text.begin(), text.end());
    buffer.push_back(0);
    TakeQuotedField(name, sizeof name, buffer.data());
    char* cursor = buffer.data();
    if (*cursor == ',') ++cursor;
    int32_t v[4] = {0, 0, 0, 0};
    ParseFourInts(cursor, v);
    int index = def->FindPinByName(name);
    if (index < 0 || index >= o->pinBox->pinCount) return;
    ComponentPin& pin = o->pinBox->Pins()[index];
    pin.x = int16_t(v[0]);
    pin.y = int16_t(v[1]);
    pin.nameX = int16_t(v[2]);
    pin.nameY = int16_t(v[3]);
}

}  // namespace

// ---- lookups ----------------------------------------------------------------------------------

namespace {

class cfo_NothingFound final : public ComponentLookupPort {
public:
    ComponentDef* FindEmbedded(CircuitFile&, const char*) override { return nullptr; }
    ComponentDef* FindInLibraries(const char*, bool) override { return nullptr; }
    void ReportNoShape(const char*) override {}
    bool ReadsMacroFiles() override { return false; }
    bool MacroParameters(const char*, char*, size_t) override { return false; }
};

PortSlot<ComponentLookupPort, cfo_NothingFound> cfo_lookup;

}  // namespace

ComponentLookupPort& ComponentLookup() { return cfo_lookup.Get(); }
ComponentLookupPort* InstallComponentLookup(ComponentLookupPort* port) { return cfo_lookup.Install(port); }

bool IsMissingComponentPlaceholder(const ComponentDef* definition) {
    for (auto& d : cfo_Placeholders())
        if (d.get() == definition) return true;
    return false;
}

const char* GraphicObjectTypeName(int type) {
    for (const cfo_TypeRow& row : cfo_Types)
        if (row.code == type) return row.name;
    return "";
}

int FindGraphicObjectType(const char* name) {
    if (!name) return 0;
    for (const cfo_TypeRow& row : cfo_Types)
        if (!strcasecmp(row.name, name)) return row.code;
    return 0;
}

bool IsClosedGraphicType(int type) {
    for (const cfo_TypeRow& row : cfo_Types)
        if (row.code == type) return row.closed;
    return false;
}

void FixAnimatedSwitchName(char* name) {
    if (!name) return;
    if (!strcasecmp(name, "Animated DPST Switch"))
        memcpy(name, "Animated SPDT Switch", sizeof "Animated SPDT Switch");
    else if (!strcasecmp(name, "Animated DPDT Switch"))
        memcpy(name, "Animated DPST Switch", sizeof "Animated DPST Switch");
}

// ---- style keys --------------------------------------------------------------------------------

void WriteStyleKeys(CircuitFile& file, int type, uint16_t flags, const GraphicStyle& style, bool withType) {
    if (!file.AtLeast(kCirVersion600)) return;
    if (withType) file.WriteKey("Object", cfo_TypeNameForFile(file, type));
    if (flags & 0x0010) file.WriteBoolKey("Locked", true);
    if (type == cfo_TypeRectangle && (flags & 0x0002)) file.WriteBoolKey("Rounded", true);
    if (style.width > 1) file.WriteIntKey("Weight", style.width);
    if (cfo_HasEndPoints(type)) {
        for (int i = 0; i < 4; ++i)
            if (flags & (1u << i)) {
                file.WriteKey("EndPoint", cfo_EndWords[i]);
                break;
            }
        for (int i = 0; i < 4; ++i)
            if (flags & (0x1000u << i)) {
                file.WriteKey("BeginPoint", cfo_EndWords[i]);
                break;
            }
    } else if (style.fillColor != kColorNone) {
        WriteColorKey(file, "CFill", style.fillColor);
    }
    WriteColorKey(file, "CBorder", style.color);
    if (const char* p = style.pattern ? GetLineStyleName(style.pattern, cfo_Version(file)) : nullptr)
        file.WriteKey("Pattern", p);
    if (style.fillPattern != 10)
        if (const char* h = GetHatchStyleName(style.fillPattern)) file.WriteKey("Fill Pattern", h);
}

bool ReadStyleKey(const char* key, const char* value, CircuitFile& file, GraphicStyle* style, uint16_t* flags) {
    if (!strcmp(key, "LOCKED")) {
        if (!strcasecmp(value, "TRUE")) *flags |= 0x0010;
    } else if (!strcmp(key, "WEIGHT")) {
        style->width = uint8_t(cfo_Int(value));
    } else if (!strcmp(key, "CFILL")) {
        style->fillColor = uint8_t(ParseColorValue(value));
    } else if (!strcmp(key, "COLOR") && file.version == kCirVersion520) {
        style->color = uint8_t(ParseColorValue(value));
    } else if (!strcmp(key, "CBORDER")) {
        style->color = uint8_t(ParseColorValue(value));
    } else if (!strcmp(key, "PATTERN")) {
        int code = style->pattern;
        ParseLineStyle(value, &code);
        style->pattern = uint8_t(code);
    } else if (!strcmp(key, "FILL PATTERN")) {
        int code = style->fillPattern;
        ParseHatchStyle(value, &code);
        style->fillPattern = uint8_t(code);
    } else if (!strcmp(key, "ENDPOINT") || !strcmp(key, "BEGINPOINT")) {
        unsigned base = key[0] == 'E' ? 1u : 0x1000u;
        for (int i = 0; i < 4; ++i)
            if (!strcasecmp(value, cfo_EndWords[i])) {
                *flags |= uint16_t(base << i);
                return true;
            }
        return false;
    } else if (!strcmp(key, "ROUNDED")) {
        if (!strcasecmp(value, "TRUE")) *flags |= 0x0002;
    } else {
        return false;
    }
    return true;
}

uint16_t ParseStyleWords(const char* value, GraphicStyle* style) {
    static const struct {
        const char* word;
        uint16_t bit;
    } words[] = {{"ArrowF", 0x0001},  {"Arrow", 0x0002},  {"Fill", 0x0001},
                 {"Rounded", 0x0002}, {"Border", 0x0080}, {"ShowPinText", 0x8000}};
    uint16_t result = 0;
    std::string copy = value ? value : "";
    char* cursor = copy.data();
    while (*cursor) {
        char* word = NextCommaField(cursor);
        if (!strcasecmp(word, "Weight2")) {
            style->width = 2;
            continue;
        }
        if (!strcasecmp(word, "Weight3")) {
            style->width = 3;
            continue;
        }
        int code = 0;
        if (ParseLineStyle(word, &code)) {
            style->pattern = uint8_t(code);
            continue;
        }
        for (const auto& w : words)
            if (!strcasecmp(word, w.word)) {
                result |= w.bit;
                break;
            }
    }
    return result;
}

// ---- sections -------------------------------------------------------------------------------------

int WriteCircuitObjects(CircuitFile& file) {
    if (!file.document) return 0;
    for (PoolItem* item = file.document->objects.first; item; item = item->next) {
        SchematicObject* o = static_cast<SchematicObject*>(item);
        file.currentObject = o;
        if (o->objectKind == kObjectComponent)
            cfo_WriteCompSection(file, o);
        else if (o->objectKind == kObjectWire)
            cfo_WriteWireSection(file, o);
        else if (o->objectKind == kObjectGraphic)
            cfo_WriteObjectSection(file, o);
    }
    file.currentObject = nullptr;
    return file.error;
}

int WriteCircuitGridTexts(CircuitFile& file) {
    if (!file.document) return 0;
    for (PoolItem* item = file.document->gridTexts.first; item; item = item->next) {
        GridTextObject* g = static_cast<GridTextObject*>(item);
        if (g->flags & kGridTextNotSaved) continue;
        file.currentGridText = g;
        cfo_WriteGridText(file, g);
    }
    file.currentGridText = nullptr;
    return file.error;
}

int SerializeCompSection(CircuitFile& file) {
    CCirDoc* d = file.document;
    // Writing: the object list in order, each object with its nested sections.
    if (file.IsWriting()) return WriteCircuitObjects(file);
    if (!d) return cfo_SkipLines(file);
    SchematicObject* o = cfo_NewObject(file, kObjectComponent);
    if (!o) return kResultNoMemory;
    int32_t rect[4] = {0, 0, 0, 0};
    int32_t pinCount = 0;
    bool placeholder = false;
    char* k = nullptr;
    char* value = nullptr;
    while (cfo_NextKey(file, k, value)) {
        if (!strcmp(k, "NAME")) {
            if ((file.loadFlags & 0x60a2) == 0x60a2) SetPendingText(value);
            o->definition = cfo_Resolve(file, value, &placeholder);
            if (!o->definition) continue;
            SetPlainPartDefaults(d, o, file.AtLeast(kCirVersion800) ? kDefaultsNoPackage : kDefaultsPackageFromTwin);
            if (placeholder) {
                char text[120];
                FormatBounded(text, sizeof text, "Component '%.50s' Not Found", value);
                if (PartAttribute* a = SetAttribute(d, o, kAttrText, text)) a->flags |= 0x20;
            }
        } else if (!strcmp(k, "GRID")) {
            int32_t v[2] = {0, 0};
            ParseTwoInts(value, v);
            o->x1 = v[0];
            o->y1 = v[1];
            cfo_ValidatePoint(file, &o->x1, &o->y1);
        } else if (!strcmp(k, "ROT")) {
            o->orientation = int16_t(cfo_ReadOrientation(file, value));
        } else if (!strcmp(k, "PAGE")) {
            o->page = cfo_ReadPage(file, value);
        } else if (!strcmp(k, "COLOR")) {
            o->borderColor = uint8_t(ParseColorValue(value));
        } else if (!strcmp(k, "STYLE")) {
            GraphicStyle scratch;
            o->styleFlags |= ParseStyleWords(value, &scratch);
            if (!file.AtLeast(kCirVersion700)) o->showPinMarkers = (o->styleFlags & 0x8000) ? 1 : 0;
        } else if (!strcmp(k, "SHOWCURRENT")) {
            o->showCurrent = IsTrueText(value);
        } else if (!strcmp(k, "SHOWPOWER")) {
            o->showPower = IsTrueText(value);
        } else if (!strcmp(k, "SHOWCONDITION")) {
            o->showCondition = IsTrueText(value);
        } else if (!strcmp(k, "SHOWPACKAGEPINS")) {
            o->showPackagePins = IsTrueText(value);
        } else if (!strcmp(k, "SHOWPINMARKERS")) {
            o->showPinMarkers = IsTrueText(value);
        } else if (!strcmp(k, "AUTOMACRORECT")) {
            ParseFourInts(value, rect);
        } else if (!strcmp(k, "AUTOMACROPINCNT")) {
            pinCount = cfo_Int(value);
        } else if (!strcmp(k, "AUTOMACROPIN")) {
            cfo_ReadAutoMacroPin(o, value, &pinCount, rect);
        }
    }
    if (!o->definition) {
        cfo_RemoveObject(d, o);
        file.currentObject = nullptr;
        return file.error;
    }
    if (o->definition->IsAutoMacro() && !o->pinBox) {
        o->pinBox = cfo_BuildPinBox(o->definition, o->definition->pinCount);
        if (!o->pinBox) return kResultNoMemory;
    }
    file.currentObject = o;
    return file.error;
}

int SerializeAttrSection(CircuitFile& file) {
    SchematicObject* o = file.currentObject;
    if (file.IsWriting()) {
        if (o) cfo_WriteAttributes(file, o);
        return file.error;
    }
    if (!o || !file.document) return cfo_SkipLines(file);
    PartAttribute* a = nullptr;
    bool seenOnv = false;
    char* k = nullptr;
    char* value = nullptr;
    while (cfo_NextKey(file, k, value)) {
        if (!strcmp(k, "ONV")) {
            seenOnv = true;
            std::string copy = value;
            char* cursor = copy.data();
            int x = cfo_Int(NextCommaField(cursor));
            int y = cfo_Int(NextCommaField(cursor));
            char* comma = strchr(cursor, ',');
            const char* attrValue = "";
            if (comma) {
                *comma = 0;
                attrValue = comma + 1;
            }
            a = cursor[0] ? SetAttribute(file.document, o, cursor, attrValue) : nullptr;
            if (!a) continue;
            a->offsetX = x < -1000 ? -1000 : x > 1000 ? 1000 : x;
            a->offsetY = y < -1000 ? -1000 : y > 1000 ? 1000 : y;
            continue;
        }
        if (!seenOnv || !a) continue;
        if (!strcmp(k, "STYLE"))
            a->flags = uint16_t(cfo_Int(value));
        else if (!strcmp(k, "HEIGHT"))
            a->font.height = int16_t(cfo_Int(value));
        else if (!strcmp(k, "FSTYLE"))
            a->font.style = uint8_t(cfo_Int(value));
        else if (!strcmp(k, "FONT"))
            a->font.face = uint16_t(FindOrAddFontFace(value));
        else if (!strcmp(k, "COLOR"))
            a->font.color = uint8_t(ParseColorValue(value));
    }
    return file.error;
}

int SerializeWireSection(CircuitFile& file) {
    if (file.IsWriting()) {
        if (file.currentObject && file.currentObject->objectKind == kObjectWire)
            cfo_WriteWireSection(file, file.currentObject);
        return file.error;
    }
    if (!file.document) return cfo_SkipLines(file);
    SchematicObject* o = cfo_NewObject(file, kObjectWire);
    if (!o) return kResultNoMemory;
    char* k = nullptr;
    char* value = nullptr;
    while (cfo_NextKey(file, k, value)) {
        if (!strcmp(k, "GRIDS")) {
            int32_t v[4] = {0, 0, 0, 0};
            ParseFourInts(value, v);
            o->x1 = v[0];
            o->y1 = v[1];
            o->x2 = v[2];
            o->y2 = v[3];
        } else if (!strcmp(k, "PAGE")) {
            o->page = cfo_ReadPage(file, value);
        } else if (!strcmp(k, "WEIGHT")) {
            o->lineWeight = uint8_t(cfo_Int(value));
        } else if (!strcmp(k, "COLOR")) {
            o->borderColor = uint8_t(ParseColorValue(value));
        }
    }
    cfo_ValidatePoint(file, &o->x1, &o->y1);
    cfo_ValidatePoint(file, &o->x2, &o->y2);
    file.currentObject = o;
    return file.error;
}

int SerializeObjectSection(CircuitFile& file) {
    CCirDoc* d = file.document;
    if (file.IsWriting()) {
        if (file.currentObject && file.currentObject->objectKind == kObjectGraphic)
            cfo_WriteObjectSection(file, file.currentObject);
        return file.error;
    }
    if (!d) return cfo_SkipLines(file);
    SchematicObject* o = cfo_NewObject(file, kObjectGraphic);
    if (!o) return kResultNoMemory;
    o->graphicType = 0;
    o->styleFlags = 0;
    uint8_t defaultColor = d->defaultObject.style.color;
    GraphicStyle style;
    style.width = o->lineWeight;
    style.pattern = o->linePattern;
    style.color = defaultColor;
    style.fillColor = o->fillColor;
    style.fillPattern = o->fillPattern;
    uint16_t flags = 0;
    char* k = nullptr;
    char* value = nullptr;
    while (cfo_NextKey(file, k, value)) {
        if (!strcmp(k, "OBJECT")) {
            o->graphicType = int16_t(FindGraphicObjectType(value));
        } else if (!strcmp(k, "STYLE")) {
            flags |= ParseStyleWords(value, &style);
        } else if (!strcmp(k, "GRIDS")) {
            int32_t v[4] = {0, 0, 0, 0};
            ParseFourInts(value, v);
            o->x1 = v[0];
            o->y1 = v[1];
            o->x2 = v[2];
            o->y2 = v[3];
        } else if (!strcmp(k, "ROT")) {
            o->orientation = int16_t(cfo_ReadOrientation(file, value));
        } else if (!strcmp(k, "PAGE")) {
            o->page = cfo_ReadPage(file, value);
        } else {
            ReadStyleKey(k, value, file, &style, &flags);
        }
    }
    if (!o->graphicType) {
        cfo_RemoveObject(d, o);
        file.currentObject = nullptr;
        return file.error;
    }
    if (style.color == kColorNone && style.fillColor == kColorNone && o->graphicType != cfo_TypePicture)
        style.color = defaultColor;
    if (file.version <= kCirVersion520) {
        if (flags & 0x0080)
            flags &= uint16_t(~0x0080);
        else if (o->graphicType != cfo_TypeLine && o->graphicType != cfo_TypeArc)
            style.color = kColorNone;
        if (flags & 0x0001)
            flags &= uint16_t(~0x0001);
        else
            style.fillColor = kColorNone;
    }
    o->styleFlags = flags;
    o->lineWeight = style.width;
    o->linePattern = style.pattern;
    o->borderColor = style.color;
    o->fillColor = style.fillColor;
    o->fillPattern = style.fillPattern;
    file.currentObject = o;
    return file.error;
}

int SerializeGridTextSection(CircuitFile& file) {
    CCirDoc* d = file.document;
    // Writing: every stored grid text, Flags included.
    if (file.IsWriting()) return WriteCircuitGridTexts(file);
    if (!d) return cfo_SkipLines(file);
    bool isFlag = !strcasecmp(file.currentSection, "[Flag]");
    GridTextObject* g = d->NewGridText();
    if (!g) return kResultNoMemory;
    g->page = 0;
    g->borderColor = kColorNone;
    if (isFlag) g->flags |= kGridTextIsFlag;
    GraphicStyle style;
    style.width = g->lineWeight;
    style.pattern = g->linePattern;
    style.color = g->borderColor;
    style.fillColor = g->fillColor;
    style.fillPattern = g->fillPattern;
    char* k = nullptr;
    char* value = nullptr;
    while (cfo_NextKey(file, k, value)) {
        if (!strcmp(k, "TEXT")) {
            std::string text = value;
            if (file.AtLeast(kCirVersion800) && text.size() >= 2 && text.front() == '"' && text.back() == '"')
                text = text.substr(1, text.size() - 2);
            if (text.empty()) text = "Missing text!";
            SetString(&g->text, text.c_str());
        } else if (!strcmp(k, "GRID")) {
            int32_t v[2] = {0, 0};
            ParseTwoInts(value, v);
            g->x = v[0];
            g->y = v[1];
        } else if (!strcmp(k, "HEIGHT")) {
            g->font.height = int16_t(cfo_Int(value));
        } else if (!strcmp(k, "FSTYLE")) {
            g->font.style = uint8_t(cfo_Int(value));
        } else if (!strcmp(k, "COLOR")) {
            g->font.color = uint8_t(ParseColorValue(value));
        } else if (!strcmp(k, "FONT")) {
            g->font.face = uint16_t(FindOrAddFontFace(value));
        } else if (!strcmp(k, "BANNERAC")) {
            g->flags |= kGridTextBannerAC;
        } else if (!strcmp(k, "BANNERDC")) {
            g->flags |= kGridTextBannerDC;
        } else if (!strcmp(k, "BANNERTF")) {
            g->flags |= kGridTextBannerTF;
        } else if (!strcmp(k, "PAGE")) {
            g->page = cfo_ReadPage(file, value);
        } else {
            uint16_t dropped = 0;
            ReadStyleKey(k, value, file, &style, &dropped);
        }
    }
    if (!g->text) SetString(&g->text, "Missing text!");
    g->lineWeight = style.width;
    g->linePattern = style.pattern;
    g->borderColor = style.color;
    g->fillColor = style.fillColor;
    g->fillPattern = style.fillPattern;
    g->UpdateNodeNameFlag();
    cfo_ValidatePoint(file, &g->x, &g->y);
    file.currentGridText = g;
    // Attributes belong to objects: an Attr section after a grid text has no owner.
    file.currentObject = nullptr;
    return file.error;
}

// ---- macro parameters ------------------------------------------------------------------------------

namespace {

// A macro of a file before 7.00: "name(arg,...)" in VALUE becomes FILE and
// one "Param:" attribute per parameter its macro file lists.
void cfo_ConvertOldMacro(CCirDoc* d, SchematicObject* o, std::string* lastFile, std::string* lastList) {
    // Until the macro files can be read the component stays as read, so its
    // arguments are not lost.
    if (!ComponentLookup().ReadsMacroFiles()) return;
    PartAttribute* valueAttr = FindAttribute(o, kAttrValue);
    if (!valueAttr) return;
    std::string text;
    for (const char* c = valueAttr->Value(); *c; ++c)
        if (*c != ' ' || text.empty() || text.back() != ' ') text += *c;
    while (!text.empty() && (text.back() == ' ' || text.back() == ',')) text.pop_back();
    int depth = 0;
    for (char c : text) depth += c == '(' ? 1 : c == ')' ? -1 : 0;
    while (depth-- > 0) text += ')';
    std::string name = text.substr(0, text.find('('));
    uint16_t flags = valueAttr->flags;
    FontSpec font = valueAttr->font;
    PartAttribute* fileAttr = SetAttribute(d, o, kAttrFile, name.c_str());
    if (!fileAttr) return;
    fileAttr->flags = flags;
    fileAttr->font = font;
    if (strcasecmp(lastFile->c_str(), name.c_str()) != 0 || lastFile->empty()) {
        *lastFile = name;
        *lastList = cfo_MacroParameterList(name.c_str(), 200);
    }
    std::vector<std::string> names;
    std::vector<std::string> args;
    if (!lastList->empty() && cfo_SplitList(*lastList, &names)) {
        if (text.find('(') == std::string::npos || !cfo_SplitList(text, &args)) args.clear();
        PoolItem* after = fileAttr;
        for (size_t i = 0; i < names.size(); ++i) {
            std::string param = kParamPrefix + names[i].substr(0, names[i].find('='));
            PartAttribute* a = SetAttribute(d, o, param.c_str(), i < args.size() ? args[i].c_str() : "");
            if (!a) continue;
            a->flags = uint16_t(flags & ~(kAttrShowName | kAttrShowValue));
            a->font = font;
            o->attributes.Unlink(a);
            o->attributes.InsertAfter(after, a);
            after = a;
        }
    }
    DeleteAttribute(o, kAttrValue);
    o->LayoutAttributeTexts();
}

}  // namespace

void RepairMacroParameters(CircuitFile& file) {
    CCirDoc* d = file.document;
    if (!d || (file.loadFlags & kLoadKeepMacroParameters)) return;
    if (!file.AtLeast(kCirVersion700)) {
        std::string lastFile;
        std::string lastList;
        for (PoolItem* item = d->objects.first; item; item = item->next) {
            SchematicObject* o = static_cast<SchematicObject*>(item);
            if (o->objectKind == kObjectComponent && o->definition && o->definition->type == kTypeMacro)
                cfo_ConvertOldMacro(d, o, &lastFile, &lastList);
        }
        return;
    }
    for (PoolItem* item = d->objects.first; item; item = item->next) {
        SchematicObject* o = static_cast<SchematicObject*>(item);
        if (o->objectKind != kObjectComponent || !o->definition || o->definition->type != kTypeMacro) continue;
        PartAttribute* fileAttr = FindAttribute(o, kAttrFile);
        if (!fileAttr) continue;
        std::vector<PartAttribute*> params;
        for (PartAttribute* a = static_cast<PartAttribute*>(o->attributes.first); a; a = a->Next())
            if (a->IsParameter()) params.push_back(a);
        PoolItem* after = fileAttr;
        for (PartAttribute* a : params) {
            if (a == after) continue;
            o->attributes.Unlink(a);
            o->attributes.InsertAfter(after, a);
            after = a;
        }
    }
}

// ---- installation ----------------------------------------------------------------------------------

void InstallCircuitObjectSections() {
    SetCircuitSectionRoutine(kSecComp, SerializeCompSection);
    SetCircuitSectionRoutine(kSecAttr, SerializeAttrSection);
    SetCircuitSectionRoutine(kSecWire, SerializeWireSection);
    SetCircuitSectionRoutine(kSecObject, SerializeObjectSection);
    SetCircuitSectionRoutine(kSecGridText, SerializeGridTextSection);
    SetCircuitSectionRoutine(kSecFlag, SerializeGridTextSection);
}
