// The sheet that sets how text pages print: the header and footer texts
// shared by every text print (text/textprint.h).
#pragma once

#include <string>
#include <string_view>

#include "shell/dialogs.h"

namespace textprintdlg {
constexpr unsigned HeaderPage = 459;  // "Header/Footer"
constexpr int HeaderEdit = 115;
constexpr int FooterEdit = 117;
}  // namespace textprintdlg

// A stored header or footer text (lines split by backslash and n) as an edit
// shows it, with real line breaks; and back. Any break (CR LF, LF or CR alone)
// is one stored "\n", so a line never runs into the next.
std::string HeaderTextForEdit(std::string_view stored);
std::string HeaderTextFromEdit(std::string_view edited);

class CTextHeaderPage : public CPropertyPage2 {
public:
    CTextHeaderPage();

    std::string header, footer;  // stored form while the page is open

    bool OnInitDialog() override;
    // Takes both edits into the program-wide texts.
    void OnOK() override;
};

// "Properties" of text printing, without an Apply button.
class CTextPrintSheet : public CPropertySheet2 {
public:
    explicit CTextPrintSheet(platform::Window* parent);
    CTextHeaderPage& HeaderPage() { return header_; }

private:
    CTextHeaderPage header_;
    int page_ = 0;
};
