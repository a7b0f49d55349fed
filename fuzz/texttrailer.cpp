// Text files as the text window reads them: the ";$" trailer taken off the
// end, the rest loaded into an editor buffer, then a few edits driven by the
// input. Checks the buffer's invariants after each step.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "text/textbuffer.h"
#include "text/trailer.h"

namespace {

void tt_Check(const TextBuffer& b) {
    const std::string_view t = b.Text();
    if (b.Data()[b.Length()] != '\r' || b.Data()[b.Length() + 1] != '\n' || b.Data()[b.Length() + 2] != 0) abort();
    int64_t lines = 1;
    for (size_t i = 0; i < t.size(); ++i) {
        if (t[i] == '\r' && (i + 1 >= t.size() || t[i + 1] != '\n')) abort();  // a lone CR
        if (t[i] == '\n' && (i == 0 || t[i - 1] != '\r')) abort();             // a lone LF
        if (t[i] == '\n') ++lines;
    }
    if (lines != b.GetLineCount()) abort();
    if (b.Caret() < 0 || b.Caret() > b.Length()) abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    size_t cut = 0;
    const TextTrailer trailer = SplitTextTrailer(bytes, &cut);
    if (cut > size) abort();
    // What a save writes back reads back the same way.
    TrailerDisplay display;
    display.textColor = trailer.textColor.value_or(0);
    display.face = trailer.face.value_or("");
    const std::string written = "x\r\n" + FormatTextTrailer(&display, trailer.dialect ? "PSPICE" : nullptr);
    size_t again = 0;
    const TextTrailer back = SplitTextTrailer(written, &again);
    if (back.textColor != display.textColor) abort();
    if (display.face.find_first_of("\r\n") == std::string::npos && again != 3) abort();

    TextBuffer b;
    b.LoadText(bytes.substr(0, cut));
    tt_Check(b);
    for (size_t i = 0; i + 1 < size && i < 64; i += 2) {
        const int64_t at = b.Length() ? static_cast<int64_t>(data[i + 1]) % (b.Length() + 1) : 0;
        switch (data[i] % 6) {
        case 0:
            b.SetSel(at, at);
            b.TypeChar(data[i + 1] % 2 ? 13 : 'a');
            break;
        case 1:
            b.SetSel(at, at);
            b.TypeChar(8);
            break;
        case 2:
            b.SetSel(at / 2, at);
            b.ReplaceSel(std::string_view(reinterpret_cast<const char*>(data), i));
            break;
        case 3: b.ApplyUndoEntry(); break;
        case 4: b.DeleteLine(data[i + 1] % (b.GetLineCount() + 1)); break;
        default:
            b.SetSel(at, at);
            b.TypeChar(1);
            break;
        }
        tt_Check(b);
        if (b.LineIndex(b.GetLineCount() - 1) < 0 || b.LineIndex(b.GetLineCount()) != -1) abort();
    }
    return 0;
}
