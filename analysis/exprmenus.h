// The expression menu of the program's expression fields (shell/exprfield.h):
// what the current circuit and analysis kind offer, and typing a choice into
// the field.
#pragma once

// Installs the menu behind every expression field (once, at start-up).
void InstallExpressionFieldMenus();
