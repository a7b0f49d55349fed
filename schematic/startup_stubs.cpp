#include "schematic/startup_stubs.h"

// Not yet built: printing of schematics.
void SetPrintPageHeaderFooter(int, const char*, const char*) {}

// Not yet built: title blocks.
void ResetTitleBlock() {}

// Not yet built: title blocks (the text is dropped).
void SetTitleBlockText(int, const char*) {}

// Not yet built: the component attribute dialog.
void ResetAttributeDefaults(int, int) {}

// Not yet built: analog LED colours.
void ResetLedColors() {}

// Not yet built: graphic objects; no variant has been chosen for any kind.
int GetObjectKindSetting(int) { return 0; }
