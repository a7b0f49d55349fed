#include "plots/andoc.h"

#include <cctype>
#include <new>

#include "compiler/defines.h"
#include "compiler/session.h"
#include "core/settings.h"
#include "document/ctdoc.h"
#include "expr/runstate.h"

namespace {}  // namespace

std::string CircuitTitleName(const CCTDoc* circuit) {
    if (!circuit) return "";
    std::string name = circuit->fileName[0] ? circuit->fileName : circuit->PathName();
    const size_t slash = name.find_last_of("/\\");
    return slash == std::string::npos ? name : name.substr(slash + 1);
}

namespace {

bool ad_SameNoCase(const std::string& text, size_t at, const char* word, size_t length) {
    if (at + length > text.size()) return false;
    for (size_t i = 0; i < length; ++i)
        if (std::toupper(static_cast<unsigned char>(text[at + i])) != std::toupper(static_cast<unsigned char>(word[i])))
            return false;
    return true;
}

// Replaces every `token` (compared without case) by `value`.
void ad_ReplaceAllNoCase(std::string& text, const std::string& token, const std::string& value) {
    if (token.empty()) return;
    for (size_t at = 0; at + token.size() <= text.size();) {
        if (ad_SameNoCase(text, at, token.c_str(), token.size())) {
            text.replace(at, token.size(), value);
            at += value.size();
        } else {
            ++at;
        }
    }
}

// Title variables of the circuit; the longer names first so that $name never
// eats into $nameext.
void ad_ExpandTitleVariables(std::string& text, const CCTDoc* circuit) {
    const std::string name = CircuitTitleName(circuit);
    const size_t dot = name.rfind('.');
    const char* user = UserName();
    const char* company = CompanyName();
    ad_ReplaceAllNoCase(text, "$nameext", name);
    ad_ReplaceAllNoCase(text, "$name", dot == std::string::npos ? name : name.substr(0, dot));
    ad_ReplaceAllNoCase(text, "$user", user ? user : "");
    ad_ReplaceAllNoCase(text, "$company", company ? company : "");
    ad_ReplaceAllNoCase(text, "$TW", "Tarnwick");
}

}  // namespace

CANDoc::CANDoc(int kind) : CDoc(kind) {}

CANDoc::~CANDoc() {
    ClearUndo();
    Objects.clear();
    FreeCurves();
    CircuitDoc = nullptr;
}

void CANDoc::SetModifiedFlag(bool modified) {
    CDoc::SetModifiedFlag(modified);
    if (!modified) return;
    if (auto* circuit = dynamic_cast<CCTDoc*>(CurrentRunContext().circuitDocument)) circuit->MarkDirty();
}

bool CANDoc::HasData() const { return CurvesHaveData(Curves, PlottedCount); }

CCTDoc* CANDoc::Circuit() const { return dynamic_cast<CCTDoc*>(CircuitDoc); }

std::optional<std::string> CANDoc::ExpandKeywords(const std::string& text, bool, bool) {
    try {
        std::string out = text;
        CCTDoc* circuit = Circuit();
        if (!circuit || out.empty()) return out;
        // Defines of the circuit written between two dollar signs.
        if (CompileSession* session = FindCompileSession(circuit)) {
            DefineTable* table = &session->defines;
            // The library's scope and the circuit's own.
            for (int scope = 0; scope <= 1; ++scope) {
                for (int i = 0; i < table->EntryCount(scope); ++i) {
                    const DefineEntry* entry = table->Entry(scope, i);
                    if (!entry || !entry->name || entry->IsFunctionLike()) continue;
                    ad_ReplaceAllNoCase(out, std::string("$") + entry->name + "$",
                                        entry->sourceValue ? entry->sourceValue : (entry->value ? entry->value : ""));
                }
            }
        }
        ad_ExpandTitleVariables(out, circuit);
        return out;
    } catch (const std::bad_alloc&) {
        return std::nullopt;
    }
}

void CANDoc::SetWindowTitle(const std::string& prefix) {
    const std::optional<std::string> title = FormatTitle(1);
    if (AutoTitle && title) Title = *title;
    SetTitle((prefix + (title ? *title : Title)).c_str());
}

void CANDoc::OnCloseDocument() {
    if (KeepOnWindowClose) return;
    CDoc::OnCloseDocument();
}

PlotObject* CANDoc::NewGraphicObject() {
    try {
        auto object = std::make_unique<PlotObject>();
        object->type = 3;  // text
        if (const CCTDoc* circuit = Circuit()) object->font = circuit->textPageFont;
        object->style.width = 1;
        object->style.color = 74;
        object->style.fillColor = 74;
        object->style.pattern = 10;
        object->flags = 0;
        Objects.push_back(std::move(object));
        return Objects.back().get();
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

void CANDoc::ReleaseForClose() {
    ClearUndo();
    // Tags whose curve is gone go with the window.
    for (auto it = Objects.begin(); it != Objects.end();) {
        if ((*it)->plot < 0 && (*it)->alias1 != 0) {
            it = Objects.erase(it);
            SetModifiedFlag(true);
        } else {
            ++it;
        }
    }
}

int CANDoc::FindCurveById(int32_t id) const {
    for (int i = 0; i < CurveCount(); ++i)
        if (Curves[static_cast<size_t>(i)].CurveId == id) return i;
    return -1;
}

void CANDoc::RebindObjects() {
    for (auto& object : Objects)
        if (object->alias1 != 0) object->plot = FindCurveById(object->alias1);
}

void CANDoc::CopyViewOptions(const CANDoc& source) {
    if (AnalysisKind >= 0 && AnalysisKind < kAnalysisKindCount)
        ViewOptions[AnalysisKind] = source.ViewOptions[AnalysisKind];
}

void CANDoc::FreeCurves() {
    Curves.clear();
    PlottedCount = 0;
    CurrentCurve = 0;
}

void CANDoc::ResetPointIndices() { ::ResetPointIndices(Curves, PlottedCount); }
