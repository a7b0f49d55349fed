#include "analysis/limitsmenus.h"

#include <algorithm>
#include <cstring>

#include "analysis/limitsdlg.h"
#include "compiler/compiled.h"
#include "compiler/defines.h"
#include "core/chars.h"
#include "core/memory.h"
#include "document/cfanalysis.h"
#include "document/nodelabels.h"
#include "expr/symbols.h"

namespace {

const char* lm_Text(const char* text) { return text ? text : ""; }

std::string lm_Trim(const std::string& s) {
    const size_t first = s.find_first_not_of(" \t");
    if (first == std::string::npos) return "";
    const size_t last = s.find_last_not_of(" \t");
    return s.substr(first, last - first + 1);
}

bool lm_Listed(const std::vector<std::string>& list, const std::string& text) {
    for (const std::string& e : list)
        if (CompareNoCase(e.c_str(), text.c_str()) == 0) return true;
    return false;
}

}  // namespace

std::vector<std::string> ColumnMenuEntries(const AnalysisKindSettings& settings, int kind, int column) {
    std::vector<std::string> entries;
    switch (column) {
    case 0: entries = {"None", "1", "2", "3", "4", "5", "6", "7", "8", "9"}; return entries;
    case 1:
        if (kind == 2) entries.push_back("DCINPUT1");
        break;
    case 3:
        entries = {"Auto", "AutoAlways"};
        entries.push_back(kind == 1 ? "FMAX,FMIN" : kind == 2 ? "DCMAX,DCMIN" : "TMAX,TMIN");
        break;
    case 4: entries = {"Auto", "AutoAlways"}; break;
    default: return entries;
    }
    for (const auto& row : settings.curves) {
        std::string text;
        if (column == 1)
            text = lm_Text(row->xExpression);
        else if (column == 3)
            text = RangeCellText(row->xRange, row->gridX, row->boldX);
        else
            text = RangeCellText(row->yRange, row->gridY, row->boldY);
        if (!text.empty() && !lm_Listed(entries, text)) entries.push_back(text);
    }
    return entries;
}

bool ApplyColumnChoice(AnalysisKindSettings& settings, int column, const std::string& choice) {
    bool ok = true;
    for (auto& row : settings.curves) {
        switch (column) {
        case 0: row->plotGroup = choice == "None" || choice.empty() ? 0 : choice[0]; break;
        case 1: ok &= SetString(&row->xExpression, choice.c_str()) != nullptr; break;
        case 2: ok &= SetString(&row->yExpression, choice.c_str()) != nullptr; break;
        case 3: ok &= StoreRangeCellText(choice, &row->xRange, &row->gridX, &row->boldX); break;
        case 4: ok &= StoreRangeCellText(choice, &row->yRange, &row->gridY, &row->boldY); break;
        default: break;
        }
    }
    return ok;
}

std::string WrapInFunction(const std::string& name, const std::string& text, const std::string& x, int argumentCount) {
    std::string s = lm_Trim(text.substr(0, 500));
    if (s.empty()) s = "?";
    if (name == "SUM") return name + "(" + s + "," + x + ")";
    if (name == "CS" || name == "COH") return name + "(" + s + ",f)";
    if (name == "CC") return name + "(" + s + ",t)";
    std::string more;
    for (int i = 1; i < argumentCount; ++i) more += ",?";
    return name + "(" + s + more + ")";
}

std::string JoinExpandedLines(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;  // one blank for the pair
        out += c == '\r' || c == '\n' ? ' ' : c;
    }
    return out;
}

namespace {

platform::Point lm_expandPosition{-1, -1};

platform::DialogDesc lm_ExpandDescription() {
    using platform::ControlDesc;
    using platform::ControlKind;
    platform::DialogDesc desc;
    desc.caption = "Expand";
    desc.cx = 300;
    desc.cy = 120;
    desc.controls.push_back(
        ControlDesc{ControlKind::Edit, kIdExpandText, "", 7, 7, 286, 84, platform::style::MultiLine});
    desc.controls.push_back(ControlDesc{ControlKind::DefaultButton, 1, "&OK", 190, 98, 50, 14, 0});
    desc.controls.push_back(ControlDesc{ControlKind::Button, 2, "&Cancel", 243, 98, 50, 14, 0});
    return desc;
}

}  // namespace

CExpandDlg::CExpandDlg(const std::string& text)
    : CDialog2(kExpandTemplate, &lm_expandPosition, nullptr), text_(text.substr(0, 500)) {
    SetDescription(lm_ExpandDescription());
}

bool CExpandDlg::OnInitDialog() {
    CDialog2::OnInitDialog();
    SetText(kIdExpandText, text_);
    return true;
}

void CExpandDlg::OnOK() {
    text_ = JoinExpandedLines(GetText(kIdExpandText));
    CDialog2::OnOK();
}

// ---- the expression menu ----------------------------------------------------------------------

const DeviceQuantityGroup kDeviceQuantityGroups[11] = {
    {15, "Device Voltages"}, {16, "Device Currents"}, {23, "Resistances"},  {25, "Device Energy"},
    {24, "Device Power"},    {19, "Charges"},         {20, "Capacitances"}, {21, "Fluxes"},
    {22, "Inductances"},     {17, "B Fields"},        {18, "H Fields"},
};

namespace {

// The device classes of each device list, as the quantity rows name them.
struct lm_ListClass {
    int list;
    uint32_t mask;
};
constexpr lm_ListClass kLmListClasses[] = {
    {kListResistors, kDevResistor | kDevTwoTerminal},
    {kListCapacitors, kDevCapacitor | kDevTwoTerminal},
    {kListInductors, kDevInductor | kDevTwoTerminal},
    {kListDiodes, kDevDiode | kDevTwoTerminal},
    {kListBipolars, kDevBipolar},
    {kListMosfets, kDevMosfet},
    {kListBsim4Mosfets, kDevMosfet},
    {kListEkvMosfets, kDevMosfet},
    {kListJfets, kDevJfet},
    {kListGaasfets, kDevGaasfet},
    {kListOpamps, kDevOpamp},
    {kListSineSources, kDevSineSource | kDevTwoTerminal},
    {kListPulseSources, kDevPulseSource | kDevTwoTerminal},
    {kListUserSources, kDevUserSource | kDevTwoTerminal},
    {kListSpiceSources, kDevSpiceSource | kDevTwoTerminal},
    {kListIdealLines, kDevTransmissionLine},
    {kListDependentSources, kDevDependentSource},
    {kListPolySources, kDevDependentSource},
    {kListSSwitches, kDevDependentSource},
    {kListWSwitches, kDevDependentSource},
    {kListSwitches, kDevSwitchSW},
};

bool lm_AppliesToKind(const ExprSymbol& row, int kind) {
    return kind < 0 || kind > 15 || (row.analysisMask >> kind) & 1;
}

std::string lm_NodeEntry(char letter, const std::string& name) {
    return std::string(1, letter) + "(" + name.substr(0, 90) + ")";
}

// Menu labels show "&" as it is.
std::string lm_Label(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '&') out += '&';
        out += c;
    }
    return out;
}

const char* const kLmFunctionCategories[10] = {
    "&Complex",       "&FFT",     "Ca&lculus",      "&Bessel",     "&Series",
    "&Miscellaneous", "B&oolean", "&Trigonometric", "&Hyperbolic", "&Logarithmic / Exponential"};

}  // namespace

ExpressionMenuSource CollectExpressionMenuSource(CCTDoc* document, int kind) {
    ExpressionMenuSource source;
    source.kind = kind;
    CompiledCircuit* compiled = FindCompiledCircuit(document);
    if (!compiled) return source;
    const int total = std::max(compiled->totalNodeCount, compiled->analogNodeCount);
    for (int node = 1; node <= total; ++node) {
        std::string name = GetNodeName(document, node, 1, 0, 0);
        if (name.empty()) name = std::to_string(node);
        (node <= compiled->analogNodeCount ? source.analogNodes : source.digitalNodes).push_back(name);
    }
    for (const DeviceQuantityGroup& group : kDeviceQuantityGroups) {
        std::vector<std::string>& entries = source.deviceGroups[group.group];
        for (int row = 0; row < kExprSymbolCount; ++row) {
            const ExprSymbol& symbol = ExprSymbolTable[row];
            if (symbol.code != group.group || !(symbol.kindFlags & kKindDeviceQuantity) || !symbol.deviceMask ||
                !lm_AppliesToKind(symbol, kind))
                continue;
            for (const lm_ListClass& c : kLmListClasses) {
                if (!(c.mask & symbol.deviceMask)) continue;
                for (PoolItem* item = compiled->devices[c.list].pool.first; item; item = item->next) {
                    const auto* record = static_cast<DeviceRecord*>(item);
                    const PartLink* link = compiled->FindLink(record->part);
                    if (!link || link->qualifiedName.empty()) continue;
                    const std::string entry = std::string(symbol.name) + "(" + link->qualifiedName.substr(0, 95) + ")";
                    if (!lm_Listed(entries, entry)) entries.push_back(entry);
                }
            }
        }
    }
    if (DefineTable* defines = GetDefineTable(document)) {
        for (int scope = 0; scope <= defines->highestScope; ++scope) {
            ExpressionMenuSource::SymbolGroup group;
            if (static_cast<size_t>(scope) < defines->scopes.size()) group.title = defines->scopes[scope].name;
            if (group.title.empty()) group.title = scope == 0 ? "Global" : "Scope " + std::to_string(scope);
            for (int i = 0; i < defines->EntryCount(scope); ++i) {
                const DefineEntry* entry = defines->Entry(scope, i);
                if (!entry || !entry->name || entry->kind == 23) continue;
                std::string item = entry->name;
                if (entry->IsFunctionLike()) {
                    item += "(";
                    for (int a = 0; a < entry->argCount; ++a)
                        item += std::string(a ? "," : "") +
                                (entry->argNames && entry->argNames[a] ? entry->argNames[a] : "");
                    item += ")";
                }
                group.items.push_back(item);
            }
            if (!group.items.empty()) source.symbolics.push_back(std::move(group));
        }
    }
    return source;
}

void ExpressionMenu::Build(const ExpressionMenuSource& source, bool withExpand) {
    menu_.Clear();
    choices_.clear();
    const int kind = source.kind;
    int next = kIdVariableFirst;
    auto addInsert = [&](platform::Menu& menu, const std::string& text) {
        menu.AddItem(next, lm_Label(text));
        choices_[next++] = ExpressionMenuChoice{ExpressionMenuChoice::kInsert, text, 0, {}};
    };
    // A group of more than 20 entries is one item that opens the list dialog.
    auto addGroup = [&](platform::Menu& parent, const std::string& title, const std::vector<std::string>& entries,
                        int listId) {
        if (entries.empty()) return;
        if (entries.size() > 20) {
            parent.AddItem(listId, title + "...");
            choices_[listId] = ExpressionMenuChoice{ExpressionMenuChoice::kList, title, 0, entries};
            return;
        }
        platform::Menu& menu = parent.AddPopup(title);
        for (const std::string& e : entries) addInsert(menu, e);
    };

    if (withExpand) {
        menu_.AddItem(kIdLimitsExpandCommand, "&Expand...");
        choices_[kIdLimitsExpandCommand] = ExpressionMenuChoice{ExpressionMenuChoice::kExpand, "", 0, {}};
    }
    platform::Menu& variables = menu_.AddPopup("Variables");
    platform::Menu& analysis = variables.AddPopup("&Analysis Variables");
    std::vector<const char*> names;
    if (kind == 0 || kind == 1 || kind == 3) names.insert(names.end(), {"T", "TIME"});
    if (kind == 0 || kind == 3) names.insert(names.end(), {"TMIN", "TMAX"});
    if (kind == 0 || kind == 1 || kind == 3) names.push_back("F");
    if (kind == 1) names.insert(names.end(), {"FMIN", "FMAX"});
    if (kind == 2) names.insert(names.end(), {"DCINPUT1", "DCMIN", "DCMAX"});
    names.insert(names.end(), {"DT", "VT", "TEMP", "S", "RND"});
    for (const char* n : names) addInsert(analysis, n);
    platform::Menu& global = variables.AddPopup("&Global Settings");
    for (int row = 0; row < kExprSymbolCount; ++row)
        if (ExprSymbolTable[row].menuCategory == kMenuGlobalSettings) addInsert(global, ExprSymbolTable[row].name);
    std::vector<std::string> nodes;
    for (const std::string& n : source.analogNodes) nodes.push_back(lm_NodeEntry('V', n));
    addGroup(variables, "Node Voltages", nodes, kIdListNodeVoltages);
    nodes.clear();
    for (const std::string& n : source.digitalNodes) nodes.push_back(lm_NodeEntry('D', n));
    addGroup(variables, "Digital States", nodes, kIdListDigitalStates);
    const bool transient = kind == 0 || kind == 3;
    for (int g = 0; g < 11; ++g) {
        const DeviceQuantityGroup& group = kDeviceQuantityGroups[g];
        const bool wanted = g < 2 || (group.group == 24 ? kind != 1 : transient);
        const auto it = source.deviceGroups.find(group.group);
        if (wanted && it != source.deviceGroups.end())
            addGroup(variables, group.title, it->second, kIdListDeviceGroupFirst + g);
    }
    if (kind == 1) {
        platform::Menu& noise = variables.AddPopup("NOISE");
        addInsert(noise, "INOISE");
        addInsert(noise, "ONOISE");
    }
    platform::Menu& constants = menu_.AddPopup("&Constants");
    for (const char* c : {"E", "J", "PI", "TRUE", "FALSE"}) addInsert(constants, c);
    if (!source.symbolics.empty()) {
        platform::Menu& symbolics = menu_.AddPopup("Symbolics");
        for (const auto& group : source.symbolics) {
            platform::Menu& menu = symbolics.AddPopup(group.title);
            for (const std::string& item : group.items) addInsert(menu, item);
        }
    }
    platform::Menu& functions = menu_.AddPopup("&Functions");
    platform::Menu* categories[10];
    for (int c = 0; c < 10; ++c) categories[c] = &functions.AddPopup(kLmFunctionCategories[c]);
    int function = kIdFunctionFirst;
    for (int row = 0; row < kExprSymbolCount && function < kIdVariableFirst; ++row) {
        const ExprSymbol& symbol = ExprSymbolTable[row];
        if (symbol.menuCategory < 0 || symbol.menuCategory > 9) continue;
        categories[symbol.menuCategory]->AddItem(function, lm_Label(symbol.name));
        choices_[function++] =
            ExpressionMenuChoice{ExpressionMenuChoice::kFunction, symbol.name, std::max<int>(1, symbol.minArgs), {}};
    }
    firstOperator_ = next;
    platform::Menu& operators = menu_.AddPopup("&Operators");
    std::vector<std::string> seen;
    for (int row = kFirstOperatorRow; row < kFirstConstantRow; ++row) {
        const ExprSymbol& symbol = ExprSymbolTable[row];
        if (!(symbol.kindFlags & kKindOperator) || !symbol.name || !*symbol.name || lm_Listed(seen, symbol.name))
            continue;
        seen.push_back(symbol.name);
        operators.AddItem(next, lm_Label(symbol.name));
        choices_[next++] = ExpressionMenuChoice{ExpressionMenuChoice::kOperator, symbol.name, 0, {}};
    }
    firstCurve_ = next;
    if (!source.curveX.empty() || !source.curveY.empty()) {
        platform::Menu& curve = menu_.AddPopup("&Curve");
        platform::Menu& x = curve.AddPopup("CurveX");
        for (const std::string& c : source.curveX) addInsert(x, c);
        platform::Menu& y = curve.AddPopup("CurveY");
        for (const std::string& c : source.curveY) addInsert(y, c);
    }
    endCurve_ = next;
}

ExpressionMenuChoice ExpressionMenu::Choice(int id) const {
    const auto it = choices_.find(id);
    return it == choices_.end() ? ExpressionMenuChoice{} : it->second;
}

std::string ApplyExpressionChoice(const ExpressionMenuChoice& choice, const std::string& text, int start, int end,
                                  const std::string& x) {
    std::string insert;
    switch (choice.action) {
    case ExpressionMenuChoice::kInsert: insert = choice.text; break;
    case ExpressionMenuChoice::kOperator: insert = " " + choice.text + " "; break;
    case ExpressionMenuChoice::kFunction: return WrapInFunction(choice.text, text, x, choice.argumentCount);
    default: return text;
    }
    if (start < 0) return insert;
    const size_t a = std::min(static_cast<size_t>(start), text.size());
    const size_t b = std::clamp(static_cast<size_t>(end < 0 ? static_cast<int>(text.size()) : end), a, text.size());
    return text.substr(0, a) + insert + text.substr(b);
}

// ---- the list dialog ------------------------------------------------------------------------------

namespace {

platform::Point lm_listPosition{-1, -1};

platform::DialogDesc lm_ListDescription(const std::string& caption) {
    using platform::ControlDesc;
    using platform::ControlKind;
    platform::DialogDesc desc;
    desc.caption = caption;
    desc.cx = 180;
    desc.cy = 160;
    desc.controls.push_back(ControlDesc{ControlKind::ListBox, kIdListChoice, "", 7, 7, 166, 128, 0});
    desc.controls.push_back(ControlDesc{ControlKind::DefaultButton, 1, "&OK", 70, 140, 50, 14, 0});
    desc.controls.push_back(ControlDesc{ControlKind::Button, 2, "&Cancel", 123, 140, 50, 14, 0});
    return desc;
}

class lm_DefaultTracker final : public LimitsMenuTracker {
public:
    int Track(platform::Menu& menu, platform::Point screen) override { return menu.TrackPopup(screen); }
};
lm_DefaultTracker lm_defaultTracker;
LimitsMenuTracker* lm_tracker = nullptr;

}  // namespace

CListChoiceDlg::CListChoiceDlg(const std::string& caption, std::vector<std::string> entries)
    : CDialog2(kListChoiceTemplate, &lm_listPosition, nullptr), entries_(std::move(entries)) {
    SetDescription(lm_ListDescription(caption.substr(0, caption.find("..."))));
}

bool CListChoiceDlg::OnInitDialog() {
    CDialog2::OnInitDialog();
    // The newest entry first.
    for (auto it = entries_.rbegin(); it != entries_.rend(); ++it) Add(kIdListChoice, *it);
    SetSel(kIdListChoice, 0);
    return true;
}

void CListChoiceDlg::OnOK() {
    const int sel = GetSel(kIdListChoice);
    chosen_ = sel >= 0 ? GetItemText(kIdListChoice, sel) : "";
    CDialog2::OnOK();
}

LimitsMenuTracker& LimitsMenus() { return lm_tracker ? *lm_tracker : lm_defaultTracker; }
LimitsMenuTracker* InstallLimitsMenuTracker(LimitsMenuTracker* tracker) {
    LimitsMenuTracker* previous = lm_tracker;
    lm_tracker = tracker;
    return previous;
}
