// The circuit's lines of Help > Statistics: its components, in all and by type.
#pragma once

#include <string>
#include <vector>

class CCTDoc;

// "Components = %d", then with `byType` one "%s = %d" per component type
// that occurs (types that are no parts, such as grounds and jumpers, left out).
void AppendComponentStatistics(const CCTDoc& document, bool byType, std::vector<std::string>& lines);

// Installs the document layer's lines as the Statistics dialog's.
void InstallDocumentStatistics();
