// The expression language's rows of the program's string table.
#pragma once

// Adds the expression language's messages to the string table; called once at
// start-up (and by the tests) before any expression is compiled or evaluated.
void RegisterExprMessages();
