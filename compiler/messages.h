// The circuit compiler's message texts.
#pragma once

// Registers the compiler's rows of the string table (start-up).
void RegisterCompilerMessages();
