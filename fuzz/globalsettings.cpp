// The Global Settings section of tarn.dat and the circuit texts the .Options
// button rewrites: the input is read as the section (then the statement built
// from what it set, at the width it set), its text has its .OPTIONS statements
// removed, and its first line is read as a sweep range and list.
#include <cstdint>
#include <string>

#include "analysis/globalsettings.h"
#include "analysis/sweep.h"
#include "core/sectionfile.h"
#include "expr/runvars.h"
#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::StartCompiler();
    const GlobalSettingValues saved = GlobalSettings;
    const std::string text = fuzz::AsText(data, size);
    const std::string path = fuzz::WriteScratchFile("global.dat", data, size);
    {
        SectionFile in;
        if (in.OpenText(path.c_str()) == 0) {
            SerializeGlobalSettings(in);
            in.Close();
        }
    }
    (void)BuildOptionsStatement(GlobalSettings.width, true);
    int removed = 0;
    (void)RemoveOptionsStatements(text, &removed);
    const std::string firstLine = text.substr(0, text.find('\n'));
    for (int method : {kSweepMethodLinear, kSweepMethodList, kSweepMethodLog}) {
        SweepList list;
        list.BuildFromText(firstLine.c_str(), method);
    }
    ResetOptionTexts(true);
    GlobalSettings = saved;
    return 0;
}
