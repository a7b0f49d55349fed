// The string table: core's own rows and the registry that later subsystems add to.
#include "core/messages.h"

#include <unordered_map>

namespace {

const MessageRow kCoreMessages[] = {
    // Result codes with a fixed role.
    {5355, "%EThis File is not a recognizable format."},
    {15002, "%EInsufficient memory."},
    {15007, "%EError in loading file %s."},
    {15008, "%EError in writing file %s."},
    {15009, "%EBad format in loading file '%s'."},
    {15022, "%EFile not found '%s'."},
    {15023, "%ECannot access '%s'."},
    {15038, "%EMust specify filename."},
    {15040, "%EMissing parameter."},
    {15090, "%EThis feature is not available yet."},
    {15092, "%E'%s' is not a text file: it holds NUL bytes."},

    // Files and paths.
    {264, "Missing file name."},
    {10945, "%EIncorrect .Path format. The keyword DATA or LIB should follow .Path."},
    {12517, "%EMacro file's extension must be CIR or MAC."},
    {13510, "%EThat file name is already in use.\n%s."},

    // Command line.
    {10150, "%EError in command line '%s'."},

    // Run-state texts of the status bar.
    {13988, "Running Transient Analysis."},
    {13989, "Running AC Analysis."},
    {13990, "Running DC Analysis."},
    {13991, "Running Distortion Analysis"},

    // Elapsed time ("%1", "%2" are positional arguments).
    {15215, "%1 sec"},
    {15216, "%1 min"},
    {15217, "%1 min %2 sec"},

    // SPICE dialects of text files.
    {19601, "Creates a netlist suitable for SPICE2 compatible simulators."},
    {19602, "Creates a netlist suitable for PSPICE compatible simulators."},
    {19603, "Creates a netlist suitable for SPICE3 compatible simulators."},

    // The sixteen fixed colours.
    {19800, "Black"},
    {19801, "Maroon"},
    {19802, "Green"},
    {19803, "Olive"},
    {19804, "Navy"},
    {19805, "Purple"},
    {19806, "Teal"},
    {19807, "Light gray"},
    {19808, "Dark gray"},
    {19809, "Red"},
    {19810, "Lime"},
    {19811, "Yellow"},
    {19812, "Blue"},
    {19813, "Fuchsia"},
    {19814, "Aqua"},
    {19815, "White"},
};

// Function-local so that other subsystems may register from static initialisers.
std::unordered_map<int, const char*>& msg_Table() {
    static std::unordered_map<int, const char*> table = [] {
        std::unordered_map<int, const char*> t;
        for (const MessageRow& row : kCoreMessages) t[row.id] = row.text;
        return t;
    }();
    return table;
}

}  // namespace

void RegisterMessages(const MessageRow* rows, int count) {
    if (!rows) return;
    auto& table = msg_Table();
    for (int i = 0; i < count; ++i) table[rows[i].id] = rows[i].text;
}

const char* GetMessageText(int id) {
    auto& table = msg_Table();
    auto it = table.find(id);
    return it == table.end() ? nullptr : it->second;
}
