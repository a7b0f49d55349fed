// What the compile and engine benchmarks share: the start-up a compile needs
// (with a scratch copy of the shipped library, so that index files stay out of
// the tree) and the generated resistor-grid deck.
#pragma once

#include <stdlib.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "compiler/messages.h"
#include "compiler/support.h"
#include "core/paths.h"
#include "document/ctdoc.h"
#include "expr/messages.h"
#include "expr/symbols.h"
#include "models/libindex.h"
#include "models/messages.h"
#include "models/modeltypes.h"
#include "platform/app.h"

namespace benchsupport {

// Once per process: the off-screen application and the compiler's start-up.
inline void StartCompiler() {
    static std::unique_ptr<platform::Application> app = [] {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
        auto made = std::make_unique<platform::Application>();
        RegisterExprMessages();
        BuildSymbolIndexes();
        RegisterModelMessages();
        InitModelParamTables();
        RegisterCompilerMessages();
        InstallDocumentTextSource();
        InstallModelLibraryServices();
        InstallCompilerServices();
        char folder[] = "/tmp/tw_bench_XXXXXX";
        if (mkdtemp(folder)) {
            std::string command = std::string("cp -r '" TW_SOURCE_DIR "/data/library' '") + folder + "/'";
            if (std::system(command.c_str()) == 0)
                SetPathSetting(kPathLibrary, (std::string(folder) + "/library").c_str());
        }
        return made;
    }();
}

// A square grid of resistors between numbered nodes, fed by one source; about
// `elements` resistors.
inline std::string ResistorGrid(int elements) {
    int side = 2;
    while (2 * side * (side - 1) < elements) ++side;
    std::string deck = "resistor grid\nV1 1 0 DC 1\n";
    int count = 0;
    auto node = [side](int row, int column) { return row * side + column + 1; };
    for (int row = 0; row < side; ++row)
        for (int column = 0; column < side; ++column) {
            if (column + 1 < side)
                deck += "R" + std::to_string(++count) + " " + std::to_string(node(row, column)) + " " +
                        std::to_string(node(row, column + 1)) + " 1K\n";
            if (row + 1 < side)
                deck += "R" + std::to_string(++count) + " " + std::to_string(node(row, column)) + " " +
                        std::to_string(node(row + 1, column)) + " 1K\n";
        }
    deck += "RG " + std::to_string(node(side - 1, side - 1)) + " 0 1K\n.OP\n.END\n";
    return deck;
}

}  // namespace benchsupport
