// The model layer's rows of the program's string table.
#pragma once

// Adds the model layer's messages and the help texts of the model parameters
// to the string table; called once at start-up (and by the tests) before any
// model is read.
void RegisterModelMessages();
