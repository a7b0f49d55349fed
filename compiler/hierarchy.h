// The hierarchy report of a compile: every file and subcircuit call the
// compile used, the defines, parameters and models of each scope with
// whether they were used, the number of parts of each component type and the
// files the circuit depends on. It replaces the text of the circuit's info
// page after every full compile, failed or not.
#pragma once

#include <string>
#include <vector>

class CCTDoc;

// The names of the files a circuit depends on: each once (compared without
// case), never empty and never the main circuit's own path.
class FileList {
public:
    explicit FileList(std::string mainPath) : main_(std::move(mainPath)) {}
    // 1 when added, else 0.
    int Add(const std::string& name);
    const std::vector<std::string>& Names() const { return names_; }

private:
    std::string main_;
    std::vector<std::string> names_;
};

// The report text (lines end with CR LF).
std::string BuildHierarchyReport(CCTDoc* document);
// Writes the report into the circuit's first info page, when it has one.
void ReportHierarchy(CCTDoc* document);
