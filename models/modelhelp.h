// Help texts of the model parameters: parameter i of a model type has the
// string-table id HelpBase + i (ModelParamHelpId).
#pragma once

// Builds the help rows once and adds them to the string table.
void RegisterModelHelpTexts();

// True when a parameter has only the generic text ("Model parameter X"): every
// parameter of the table should have a description of its own.
bool ModelHelpTextIsGeneric(int type, int index);
