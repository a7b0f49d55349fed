// The Global Settings: the value texts of the 41 simulation options that the
// user edits and tarn.dat keeps, turned into clamped values of GlobalSettings
// (expr/runvars.h) and the integration method; the "Global Settings" section
// of tarn.dat; and the .OPTIONS statement they are written into a circuit as.
#pragma once

#include <cstdint>
#include <string>

#include "compiler/options.h"

class CCTDoc;
class SectionFile;
class TextFile;

// What the options table (compiler/options.h) does not keep: the prompt id,
// the defaults, the dialects whose .OPTIONS include the row and whether the
// row may change while an analysis is open.
struct OptionRowInfo {
    int id;
    const char* defaultText;
    const char* powerDefaultText;
    uint8_t dialects;  // 0x02 SPICE2G, 0x01 PSPICE, 0x40 SPICE3
    bool live;
};
extern const OptionRowInfo OptionRowInfos[kOptionCount];

// The longest value text a row keeps.
constexpr size_t kOptionTextLength = 14;

struct GlobalSettingsState {
    std::string texts[kOptionCount];  // "" stands for the row's default
    int dialogMethod = 1;             // 1 TRAP, 0 GEAR
    int activeMethod = 1;             // what the engine uses
};
GlobalSettingsState& GlobalSettingTexts();

// Every text takes its default and the method TRAP (all), or only the empty
// texts their defaults.
void ResetOptionTexts(bool all);
// Turns the texts into GlobalSettings: empty texts take their defaults, values
// are clamped to the row's bounds and a clamped text is rewritten ("%g", "%d").
// With full false while an analysis is open, rows that are not live and rows
// the open circuit's .OPTIONS set are left alone, and the live rows also go
// into the open circuit's options so that its next run uses them.
void ApplyGlobalSettings(bool full);
// Sets a row's text (cut to kOptionTextLength characters, blanks trimmed).
void SetOptionText(int row, const char* text);

// The "Global Settings" section of tarn.dat (reading or writing by the
// stream's mode). Reading applies the settings.
int SerializeGlobalSettings(SectionFile& file);
// The option texts of the older flat layout's global-settings record: a count
// and that many texts (texts beyond the table are read and dropped), then the
// settings are applied. The display formats and the switch that follow in the
// record are the preferences' and stay for the caller to read.
int ReadOldGlobalSettings(TextFile& file);
// Start-up, before tarn.dat is read: the texts take their defaults and are
// applied, and the section is served.
void InstallGlobalSettingsSection();

// The ".OPTIONS ACCT LIST OPTS" statement of the settings in force, every row
// of the table, broken before an item that would make a line longer than
// `width`; continued lines begin with "+" when `plus`, else they are plain
// lines. No line end after the last line.
std::string BuildOptionsStatement(int width, bool plus);

// The text with every top-level .OPTIONS / .OPT statement (with its "+" lines,
// not the comments between them) removed; statements inside .SUBCKT ... .ENDS
// stay. *removed counts the statements taken out.
std::string RemoveOptionsStatements(const std::string& text, int* removed);

// The ".Options" button: the circuit's top-level .OPTIONS statements are
// replaced by one written from the settings in force, on the page the first one
// was on, else at the end of the circuit's text page (a schematic without one
// gets a "Text" page). 0, or 15002 out of memory; nothing for a null document.
int WriteOptionsToCircuit(CCTDoc* document);
