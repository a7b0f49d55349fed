#include "shell/newdoc.h"

#include "core/report_port.h"
#include "core/result.h"
#include "platform/dialog.h"

namespace {

using platform::ControlDesc;
using platform::ControlKind;

int nd_rememberedChoice = kNewDocSchematic;
platform::Point nd_position{-1, -1};

class NullNewDocuments final : public NewDocumentPort {
public:
    CDoc* NewDocumentWindow(int, int* result) override {
        if (result) *result = kResultNotBuilt;
        return nullptr;
    }
};
NullNewDocuments nd_null;
NewDocumentPort* nd_port = &nd_null;

platform::DialogDesc nd_Description() {
    platform::DialogDesc desc;
    desc.caption = "New";
    desc.cx = 150;
    desc.cy = 100;
    const struct {
        int radio;
        const char* text;
    } kChoices[] = {{kNewDocSchematic, "&Schematic"}, {kNewDocText, "S&PICE/Text"}, {kNewDocLibrary, "&Library"}};
    int y = 8;
    for (int i = 0; i < 3; ++i) {
        desc.controls.push_back(
            ControlDesc{ControlKind::Button, kNewDocPictureFirst + i, "", 8, y, 20, 20, platform::style::NoTabStop});
        desc.controls.push_back(ControlDesc{ControlKind::RadioButton, kChoices[i].radio, kChoices[i].text, 34, y + 5,
                                            70, 10, i == 0 ? platform::style::Group : 0u});
        y += 26;
    }
    desc.controls.push_back(ControlDesc{ControlKind::DefaultButton, platform::dlgid::Ok, "&OK", 108, 8, 38, 14, 0});
    desc.controls.push_back(ControlDesc{ControlKind::Button, platform::dlgid::Cancel, "&Cancel", 108, 26, 38, 14, 0});
    desc.controls.push_back(ControlDesc{ControlKind::Button, platform::dlgid::Help, "&Help...", 108, 44, 38, 14, 0});
    return desc;
}

}  // namespace

CNewDocumentDlg::CNewDocumentDlg(platform::Window* parent) : CDialog2(kNewDocTemplate, &nd_position, parent) {
    SetDescription(nd_Description());
}

bool CNewDocumentDlg::OnInitDialog() {
    const bool result = CDialog2::OnInitDialog();
    CheckRadio(kNewDocSchematic, kNewDocLibrary, nd_rememberedChoice);
    return result;
}

void CNewDocumentDlg::OnOK() {
    const int checked = GetCheckedRadio(kNewDocSchematic, kNewDocLibrary);
    if (checked) nd_rememberedChoice = checked;
    chosenKind = checked ? checked - kNewDocSchematic + 1 : -1;
    CDialog2::OnOK();
}

void CNewDocumentDlg::OnControl(int id, platform::Notify what) {
    if (what == platform::Notify::Clicked && id >= kNewDocPictureFirst && id <= kNewDocPictureLast) {
        const int radio = kNewDocSchematic + (id - kNewDocPictureFirst);
        CheckRadio(kNewDocSchematic, kNewDocLibrary, radio);
        FocusControl(radio);
        return;
    }
    CDialog2::OnControl(id, what);
}

int RememberedNewDocumentChoice() { return nd_rememberedChoice; }
void SetRememberedNewDocumentChoice(int radioId) {
    if (radioId >= kNewDocSchematic && radioId <= kNewDocLibrary) nd_rememberedChoice = radioId;
}

NewDocumentPort& NewDocuments() { return *nd_port; }
NewDocumentPort* InstallNewDocuments(NewDocumentPort* port) {
    NewDocumentPort* previous = nd_port == &nd_null ? nullptr : nd_port;
    nd_port = port ? port : &nd_null;
    return previous;
}

CDoc* OnFileNew(platform::Window* parent) {
    CNewDocumentDlg dialog(parent);
    if (dialog.DoModal() != platform::dlgid::Ok || dialog.chosenKind < 1) return nullptr;
    int result = 0;
    CDoc* document = NewDocuments().NewDocumentWindow(dialog.chosenKind, &result);
    if (!document && result && result != kResultShown) Reporter().Report(Message(result));
    return document;
}
