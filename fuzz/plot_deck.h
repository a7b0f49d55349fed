// The part the harnesses that run analyses through the 2D analysis document
// share: the plot windows started once with the scratch folder as data folder,
// every question answered No, and the deck's document released afterwards.
#pragma once

#include <memory>
#include <string>

#include "compiler/defines.h"
#include "compiler/spicereader.h"
#include "compiler/support.h"
#include "core/paths.h"
#include "core/report_port.h"
#include "devices/loads.h"
#include "document/ctdoc.h"
#include "document/spicedoc.h"
#include "expr/runstate.h"
#include "fuzz/fuzz_support.h"
#include "platform/dialog.h"
#include "plots/g2ddoc.h"
#include "plots/plotwindows.h"

namespace fuzz {

class NoReporter final : public MessageReporter {
public:
    int Report(const MessageRequest&) override { return platform::dlgid::No; }
    void Beep() override {}
};

// Calls run(document) on the text as a SPICE deck with the messages answered No.
template <class Run>
void RunPlotDeck(const std::string& text, Run&& run) {
    StartTextCompiles("* master\n.MODEL RLIB RES (R=2)\n");
    static const bool started = [] {
        InstallDeviceLoads();
        InstallPlotWindows();
        RegisterPlotMessages();
        SetPathSetting(kPathData, ScratchDir().c_str());
        return true;
    }();
    (void)started;
    NoReporter reporter;
    MessageReporter* previous = &Reporter();
    InstallReporter(&reporter);
    const std::string path = ScratchDir() + "/deck.ckt";
    std::unique_ptr<CCTDoc> document = MakeSpiceTextDocument(path.c_str(), text.c_str());
    if (document) {
        run(document.get());
        ClearCompileArrays(document.get(), kClearAllCompileArrays);
        ReleaseSpiceReader(document.get());
        ReleaseDefineTable(document.get());
        document.reset();
    }
    SetAnalysisKind(-1);
    InstallReporter(previous);
}

}  // namespace fuzz
