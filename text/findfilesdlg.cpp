#include "text/findfilesdlg.h"

#include <strings.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>

#include "core/cmdline.h"
#include "core/paths.h"
#include "core/sectionfile.h"
#include "core/settings.h"
#include "core/textfile.h"
#include "document/cirio.h"
#include "document/component_defs.h"
#include "document/ctdoc.h"
#include "platform/app.h"
#include "platform/keys.h"
#include "platform/window.h"
#include "shell/mainframe.h"
#include "text/editwnd.h"
#include "text/textdoc.h"

using platform::ControlKind;
namespace ids = findfilesdlg;

namespace {

constexpr int kListEntries = 20;

struct ffd_FieldName {
    FindField field;
    const char* name;
};
constexpr ffd_FieldName ffd_fieldNames[] = {
    {FindField::kText, "Text"},           {FindField::kShape, "Shape"},         {FindField::kDefinition, "Definition"},
    {FindField::kComponent, "Component"}, {FindField::kAttribute, "Attribute"},
};

platform::DialogDesc ffd_Desc() {
    using platform::style::Editable;
    using platform::style::Group;
    platform::DialogDesc d;
    d.caption = "Find in Files";
    d.cx = 330;
    d.cy = 226;
    d.controls = {
        {ControlKind::GroupBox, 0, "Search Fields", 7, 4, 316, 26, 0},
        {ControlKind::RadioButton, ids::FieldText, "Text", 14, 15, 40, 10, Group},
        {ControlKind::RadioButton, 1803, "Shape", 66, 15, 44, 10, 0},
        {ControlKind::RadioButton, 1804, "Definition", 122, 15, 54, 10, 0},
        {ControlKind::RadioButton, 1805, "Component", 188, 15, 56, 10, 0},
        {ControlKind::RadioButton, ids::FieldAttribute, "Attribute", 256, 15, 56, 10, 0},
        {ControlKind::Static, 0, "Text:", 7, 38, 50, 8, 0},
        {ControlKind::ComboBox, ids::TextCombo, "", 60, 36, 200, 90, Editable},
        {ControlKind::Static, 0, "Definition:", 7, 56, 50, 8, 0},
        {ControlKind::ComboBox, ids::DefinitionCombo, "", 60, 54, 200, 120, 0},
        {ControlKind::Static, 0, "Look In:", 7, 74, 50, 8, 0},
        {ControlKind::ComboBox, ids::LookInCombo, "", 60, 72, 200, 90, Editable},
        {ControlKind::CheckBox, ids::Subfolders, "Look in subfolders", 60, 89, 100, 10, 0},
        {ControlKind::Static, 0, "File types:", 7, 106, 50, 8, 0},
        {ControlKind::ComboBox, ids::TypesCombo, "", 60, 104, 200, 90, Editable},
        {ControlKind::ListBox, ids::Results, "", 7, 122, 316, 80, platform::style::NoPrefix},
        {ControlKind::Static, ids::Status, "", 7, 206, 316, 10, platform::style::NoPrefix},
        {ControlKind::DefaultButton, ids::Find, "Find", 270, 36, 53, 14, 0},
        {ControlKind::Button, ids::Stop, "Stop", 270, 54, 53, 14, platform::style::Disabled},
        {ControlKind::Button, platform::dlgid::Cancel, "Close", 270, 72, 53, 14, 0},
        {ControlKind::Button, platform::dlgid::Help, "Help", 270, 90, 53, 14, 0},
    };
    return d;
}

platform::Point ffd_position{-1, -1};

bool ffd_IsCircuitPath(const std::string& path) {
    const std::string ext = std::filesystem::path(path).extension().string();
    return strcasecmp(ext.c_str(), ".cir") == 0 || strcasecmp(ext.c_str(), ".mac") == 0;
}

// Puts the offset's line six lines below the top and the caret at the offset.
void ffd_ShowOffset(CTxtEditWnd* editor, int64_t offset) {
    if (!editor || offset < 0) return;
    TextBuffer& b = editor->Buffer();
    offset = std::min<int64_t>(offset, b.Length());
    editor->SetFirstVisibleLine(std::max<int64_t>(0, b.LineFromChar(offset) - 6));
    b.SetSel(offset, offset);
}

int ffd_FindSettingsRoutine(SectionFile& file) {
    FindInFilesSettings& s = FindInFilesState();
    if (file.IsWriting()) {
        int result = 0;
        if (const ComponentType* type = GetComponentType(s.definition); type && type->name && *type->name)
            result = file.WriteKey("Definition", type->name);
        for (const ffd_FieldName& f : ffd_fieldNames)
            if (f.field == s.field) result = file.WriteKey("Field", f.name);
        for (RecentList* list : {&s.types, &s.texts, &s.folders}) result = list->Serialize(file, true);
        return result;
    }
    char line[520], key[64], value[520];
    while (file.ReadEntry(line, sizeof line)) {
        SplitKeyValue(line, key, sizeof key, value, sizeof value);
        if (strcasecmp(key, "DEFINITION") == 0) {
            for (int t = 0; t < kComponentTypeCount; ++t)
                if (ComponentTypeTable[t].name && *ComponentTypeTable[t].name &&
                    strcasecmp(ComponentTypeTable[t].name, value) == 0) {
                    s.definition = t;
                    break;
                }
        } else if (strcasecmp(key, "FIELD") == 0) {
            for (const ffd_FieldName& f : ffd_fieldNames)
                if (strcasecmp(value, f.name) == 0) s.field = f.field;
        } else {
            bool taken = false;
            for (RecentList* list : {&s.types, &s.texts, &s.folders}) {
                const std::string max = std::string(list->KeyPrefix()) + "MAX";
                if (strcasecmp(key, max.c_str()) == 0) {
                    list->Resize(std::clamp(std::atoi(value), 1, kListEntries));
                    taken = true;
                    break;
                }
            }
            for (RecentList* list : {&s.types, &s.texts, &s.folders})
                if (!taken && list->ReadKey(key, value)) taken = true;
        }
    }
    return 0;
}

}  // namespace

FindInFilesSettings::FindInFilesSettings() {
    types.Init(kListEntries, "Types_");
    texts.Init(kListEntries, "Text_");
    folders.Init(kListEntries, "Paths_");
}

FindInFilesSettings& FindInFilesState() {
    static FindInFilesSettings settings;
    return settings;
}

void ResetFindInFilesState() {
    FindInFilesSettings& state = FindInFilesState();
    state.field = FindField::kText;
    state.definition = -1;
    state.subfolders = false;
    state.types.Init(kListEntries, "Types_");
    state.texts.Init(kListEntries, "Text_");
    state.folders.Init(kListEntries, "Paths_");
}

void RegisterFindInFilesSettings() { RegisterSettingsSection("FindInFile", ffd_FindSettingsRoutine); }

CFindInFilesDlg::CFindInFilesDlg(platform::Window* parent) : CDialog2(ids::Dialog, &ffd_position, parent) {
    SetDescription(ffd_Desc());
}

CFindInFilesDlg::~CFindInFilesDlg() = default;

void CFindInFilesDlg::FillCombo(int id, const RecentList& list) {
    const std::string text = GetText(id);
    Reset(id);
    for (int i = 0; i < list.Count(); ++i)
        if (const char* t = list.Text(i); t && *t) Add(id, t);
    SetText(id, text.empty() && Count(id) > 0 ? GetItemText(id, 0) : text);
}

bool CFindInFilesDlg::OnInitDialog() {
    const bool focus = CDialog2::OnInitDialog();
    FindInFilesSettings& s = FindInFilesState();
    // The definition box lists every named type; the item data is its row.
    for (int t = 0; t < kComponentTypeCount; ++t) {
        const char* name = ComponentTypeTable[t].name;
        if (!name || !*name) continue;
        const int item = Add(ids::DefinitionCombo, name);
        SetItemData(ids::DefinitionCombo, item, t);
        if (t == s.definition) SetSel(ids::DefinitionCombo, item);
    }
    if (s.types.Count() == 0 || !s.types.Text(0) || !*s.types.Text(0))
        for (const char* type : {"*.lib", "*.ckt", "*.cir"}) s.types.Add(type);
    if (s.folders.Count() == 0 || !s.folders.Text(0) || !*s.folders.Text(0)) {
        // Each Add goes to the top, so the data path ends up first.
        for (int kind : {kPathLibrary, kPathData})
            if (const char* paths = GetSearchPath(kind); paths && *paths) s.folders.Add(paths);
    }
    FillCombo(ids::TypesCombo, s.types);
    FillCombo(ids::TextCombo, s.texts);
    FillCombo(ids::LookInCombo, s.folders);
    CheckRadio(ids::FieldText, ids::FieldAttribute, static_cast<int>(s.field));
    SetCheck(ids::Subfolders, s.subfolders ? 1 : 0);
    EnableForSearch(false);
    return focus;
}

void CFindInFilesDlg::UpdateEnabling() {
    const bool definition = GetCheckedRadio(ids::FieldText, ids::FieldAttribute) == 1804;
    EnableControl(ids::DefinitionCombo, definition);
    EnableControl(ids::TextCombo, !definition);
}

void CFindInFilesDlg::EnableForSearch(bool running) {
    for (int id : {1802, 1803, 1804, 1805, 1806, ids::Find, static_cast<int>(platform::dlgid::Help),
                   static_cast<int>(platform::dlgid::Cancel), ids::LookInCombo, ids::TypesCombo, ids::TextCombo,
                   ids::DefinitionCombo, ids::Subfolders})
        EnableControl(id, !running);
    EnableControl(ids::Stop, running);
    if (!running) UpdateEnabling();
}

void CFindInFilesDlg::CloseOpened() {
    if (!opened_) return;
    CDoc* doc = opened_;
    opened_ = nullptr;
    doc->OnCloseDocument();
}

void CFindInFilesDlg::Search() {
    if (running_) return;
    FindInFilesSettings& s = FindInFilesState();
    running_ = true;
    stop_ = false;
    CloseOpened();
    EnableForSearch(true);
    Reset(ids::Results);

    FindInFilesRequest request;
    request.field = static_cast<FindField>(GetCheckedRadio(ids::FieldText, ids::FieldAttribute));
    if (request.field < FindField::kText || request.field > FindField::kAttribute) request.field = FindField::kText;
    s.field = request.field;
    request.types = GetText(ids::TypesCombo);
    s.types.Add(request.types.c_str());
    if (request.field == FindField::kDefinition) {
        const int item = GetSel(ids::DefinitionCombo);
        request.definition = item >= 0 ? static_cast<int>(GetItemData(ids::DefinitionCombo, item)) : -1;
        if (request.definition >= 0) s.definition = request.definition;
    } else {
        request.text = GetText(ids::TextCombo);
        if (!request.text.empty()) s.texts.Add(request.text.c_str());
    }
    request.folders = GetText(ids::LookInCombo);
    if (!request.folders.empty()) s.folders.Add(request.folders.c_str());
    request.subfolders = s.subfolders = GetCheck(ids::Subfolders) != 0;
    FillCombo(ids::TypesCombo, s.types);
    FillCombo(ids::TextCombo, s.texts);
    FillCombo(ids::LookInCombo, s.folders);

    // The dialog stays responsive while it searches: Stop and Esc end the search after the current file.
    platform::Application* app = platform::Application::Instance();
    result_ = FindInFiles(
        request,
        [&] {
            if (app && app->PollEscape()) stop_ = true;
            return stop_;
        },
        [&](const std::string& path) { SetText(ids::Status, "Searching " + path); });
    for (size_t i = 0; i < result_.entries.size(); ++i) {
        const FindInFilesEntry& e = result_.entries[i];
        const int item = Add(ids::Results, e.path.empty() ? e.message : e.path);
        // The entry's index, so matches past any offset width are carried whole.
        SetItemData(ids::Results, item, e.path.empty() ? -1 : static_cast<intptr_t>(i));
    }
    SetText(ids::Status, "");
    running_ = false;
    EnableForSearch(false);
}

void CFindInFilesDlg::ShowMatch(CDoc* document, const FindInFilesEntry& entry) {
    if (auto* text = dynamic_cast<CTxtDoc*>(document)) {
        ffd_ShowOffset(text->Editor(), entry.offset);
        return;
    }
    auto* circuit = dynamic_cast<CCTDoc*>(document);
    if (!circuit || entry.page < 0) return;
    auto* view = dynamic_cast<CCTView*>(circuit->MainView());
    if (view) view->ShowPage(entry.page);
    const PageRecord* page = circuit->Page(entry.page);
    if (page && page->kind != kPageSchematic) ffd_ShowOffset(page->editor, entry.offset);
    if (view) view->Invalidate();
}

void CFindInFilesDlg::SelectResult() {
    if (selecting_ || running_) return;
    const int item = GetSel(ids::Results);
    if (item < 0) return;
    const intptr_t index = GetItemData(ids::Results, item);
    if (index < 0 || static_cast<size_t>(index) >= result_.entries.size()) return;
    const FindInFilesEntry entry = result_.entries[static_cast<size_t>(index)];
    std::error_code ec;
    if (!std::filesystem::exists(entry.path, ec)) return;
    selecting_ = true;
    if (!opened_ || std::string(opened_->PathName()) != entry.path) {
        CloseOpened();
        if (CDoc* open = FindDocumentByPath(entry.path.c_str())) {
            if (CMDIView* view = open->MainView()) {
                if (view->IsMinimized()) view->ShowFrame(platform::show::Restore);
                view->ActivateFrame();
            }
            ShowMatch(open, entry);
            selecting_ = false;
            return;
        }
        int code = 0;
        if (ffd_IsCircuitPath(entry.path)) {
            opened_ = OpenCircuitDocument(entry.path.c_str(), kLoadFullPath | kLoadNoRecent, &code);
        } else if (entry.model >= 0) {
            // A binary model library opens only as a library document, never as text.
            if (DocumentOpener().OpenFileOfKind(entry.path.c_str(), kDocLibrary) == 0)
                opened_ = FindDocumentByPath(entry.path.c_str());
        } else {
            opened_ = OpenTextFile(entry.path.c_str(), kOpenTextNoRecent, &code);
        }
    }
    if (opened_) ShowMatch(opened_, entry);
    selecting_ = false;
}

void CFindInFilesDlg::OnOK() {
    // Enter while a search runs does nothing; otherwise it is Find.
    if (!running_) Search();
}

void CFindInFilesDlg::OnCancel() {
    if (running_) {
        stop_ = true;
        return;
    }
    CDialog2::OnCancel();
}

bool CFindInFilesDlg::OnDialogKey(int key, unsigned modifiers) {
    if (running_ && key == platform::key::Escape) {
        stop_ = true;
        return true;
    }
    return CDialog2::OnDialogKey(key, modifiers);
}

void CFindInFilesDlg::OnControl(int id, platform::Notify what) {
    if (id >= ids::FieldText && id <= ids::FieldAttribute && what == platform::Notify::Clicked) {
        UpdateEnabling();
        return;
    }
    if (id == ids::Results && what == platform::Notify::SelChanged) {
        SelectResult();
        return;
    }
    if (what != platform::Notify::Clicked) return;
    switch (id) {
    case ids::Find: Search(); return;
    case ids::Stop: stop_ = true; return;
    case platform::dlgid::Help: OnHelp(); return;
    default: return;
    }
}

int FindInFilesCommand(platform::Window* parent) {
    CFindInFilesDlg dialog(parent);
    return dialog.DoModal();
}

bool TextCommandTarget::OnCommand(int id) {
    if (id != kCmdFindInFiles) return false;
    CMainFrame* frame = GetMainFrame();
    FindInFilesCommand(frame);
    return true;
}

bool TextCommandTarget::OnUpdateCommand(platform::CommandState& state) {
    if (state.Id() != kCmdFindInFiles) return false;
    state.Enable(!InAnalysisMode());
    return true;
}

TextCommandTarget& TextCommands() {
    static TextCommandTarget target;
    return target;
}
