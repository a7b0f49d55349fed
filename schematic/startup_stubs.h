// Schematic editor services that the program defaults and the older settings
// layout call. The schematic editor is not built yet: each keeps the contract
// its callers rely on and does the least honest thing meanwhile.
#pragma once

// The page header and footer of printed schematics.
void SetPrintPageHeaderFooter(int position, const char* header, const char* footer);
// The title-block texts of printed schematics back to their defaults; one of
// the five texts (0 to 4) set.
void ResetTitleBlock();
void SetTitleBlockText(int index, const char* text);
// One of the two default sets (0, 1) of the component attribute dialog.
void ResetAttributeDefaults(int set, int flag);
// The analog LED colours back to their defaults.
void ResetLedColors();
// With 0xffff (a 16-bit -1) sets the graphic-object default switches and
// returns 0; otherwise the last variant chosen for that graphic-object kind.
int GetObjectKindSetting(int index);
