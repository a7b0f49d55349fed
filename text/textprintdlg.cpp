#include "text/textprintdlg.h"

#include "text/textprint.h"

using platform::ControlKind;

namespace {

platform::DialogDesc tpd_HeaderDesc() {
    using platform::style::MultiLine;
    using platform::style::WantReturn;
    platform::DialogDesc d;
    d.caption = "Header/Footer";
    d.cx = 240;
    d.cy = 150;
    d.controls = {
        {ControlKind::Static, 0, "Header:", 7, 7, 100, 8, 0},
        {ControlKind::Edit, textprintdlg::HeaderEdit, "", 7, 17, 226, 52, MultiLine | WantReturn},
        {ControlKind::Static, 0, "Footer:", 7, 76, 100, 8, 0},
        {ControlKind::Edit, textprintdlg::FooterEdit, "", 7, 86, 226, 52, MultiLine | WantReturn},
    };
    return d;
}

platform::Point tpd_position{-1, -1};

}  // namespace

std::string HeaderTextForEdit(std::string_view stored) {
    std::string out;
    for (size_t i = 0; i < stored.size(); ++i) {
        if (stored[i] == '\\' && i + 1 < stored.size() && stored[i + 1] == 'n') {
            out += "\r\n";
            ++i;
        } else {
            out += stored[i];
        }
    }
    return out;
}

std::string HeaderTextFromEdit(std::string_view edited) {
    std::string out;
    for (size_t i = 0; i < edited.size(); ++i) {
        const char c = edited[i];
        if (c == '\r' || c == '\n') {
            out += "\\n";
            if (c == '\r' && i + 1 < edited.size() && edited[i + 1] == '\n') ++i;
        } else {
            out += c;
        }
    }
    return out;
}

CTextHeaderPage::CTextHeaderPage() : CPropertyPage2(textprintdlg::HeaderPage, 0) { SetDescription(tpd_HeaderDesc()); }

bool CTextHeaderPage::OnInitDialog() {
    const bool focus = CPropertyPage2::OnInitDialog();
    header = TextPrintHeaderTexts().header;
    footer = TextPrintHeaderTexts().footer;
    SetText(textprintdlg::HeaderEdit, HeaderTextForEdit(header));
    SetText(textprintdlg::FooterEdit, HeaderTextForEdit(footer));
    return focus;
}

void CTextHeaderPage::OnOK() {
    header = HeaderTextFromEdit(GetText(textprintdlg::HeaderEdit));
    footer = HeaderTextFromEdit(GetText(textprintdlg::FooterEdit));
    TextPrintHeaderTexts().header = header;
    TextPrintHeaderTexts().footer = footer;
    CPropertyPage2::OnOK();
}

CTextPrintSheet::CTextPrintSheet(platform::Window* parent)
    : CPropertySheet2("Properties", &tpd_position, parent, &page_) {
    ShowApplyButton(false);
    AddPage(&header_);
}
