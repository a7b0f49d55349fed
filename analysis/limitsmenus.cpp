#include "analysis/limitsmenus.h"

#include <algorithm>
#include <cstring>

#include "analysis/limitsdlg.h"
#include "core/chars.h"
#include "core/memory.h"
#include "document/cfanalysis.h"

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
