#include "text/numoutwindow.h"

#include "core/result.h"
#include "plots/g2dview.h"
#include "shell/fonts.h"
#include "text/editwnd.h"
#include "text/textdoc.h"

namespace {

// Document flags of the numeric output window.
constexpr uint32_t kNumericOutputFlags = 0x34;

class now_Windows final : public NumericOutputWindowPort {
public:
    int ShowNumericOutput(const std::string& path, const FontSpec& font, bool activate) override {
        int code = 0;
        CTxtDoc* document =
            OpenTextFile(path.c_str(), kOpenTextMaximized | kOpenTextNoReport | kOpenTextNoRecent, &code);
        // A file that cannot be read shows nothing: its new window is gone again.
        if (!document) return kResultShown;
        if (!document->numericOutput) {
            document->numericOutput = 1;
            document->flags |= kNumericOutputFlags;
            // A kind that keeps its own font shows the file in it.
            if (font.height != 0) {
                document->textPageFont = font;
                if (CTxtEditWnd* editor = document->Editor()) editor->SetFont(CreateFontFromSpec(font), true);
            }
        }
        if (CMDIView* view = document->MainView()) {
            view->ShowFrameMaximized();
            if (activate) view->ActivateFrame();
        }
        return 0;
    }
};
now_Windows now_windows;

}  // namespace

void InstallNumericOutputWindow() { InstallNumericOutputWindows(&now_windows); }
