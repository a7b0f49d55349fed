// Macro parameters: the .PARAMETERS list a macro declares, the FILE(args)
// text of a .MACRO statement or library entry that supplies values by
// position, and the binding of every declared parameter of one macro instance
// into that instance's scope as an instance value.
#pragma once

#include <string>
#include <vector>

class CCTDoc;
struct SchematicObject;

struct MacroParameter {
    std::string name;      // upper case
    std::string fallback;  // the default after '=', "" without one
    bool hasDefault = false;
};

// ".PARAMETERS(R, G=1, C=10p)": 0 and the declared list, or 15055 after
// "%EBad '%s'." (10872) naming the statement when the list does not begin
// with '(' or is not balanced.
int ParseParametersStatement(CCTDoc* document, const char* statement, int scope, std::vector<MacroParameter>* out);

// "AMP(1k,2)": the file part and, when a '(' follows it, the argument list
// (hasArguments true). 0, or 15055 after "%EBad parameters '%s'." (10874) for
// a list that is not balanced.
int SplitMacroReference(CCTDoc* document, const char* text, SchematicObject* part, std::string* file,
                        std::vector<std::string>* arguments, bool* hasArguments);

// The rest of the first .MACRO statement of the scope whose first word is
// `name` (without case, whole word): true and the text, else false.
bool FindMacroStatement(CCTDoc* document, const char* name, int scope, std::string* rest);

// Binds the declared parameters of the part's instance scope. With supplied
// values (a .MACRO statement or library entry) each position takes its value,
// or its default when the value is missing or empty; otherwise the part's
// "Param:" attribute of that name, or the default when it is empty. Values
// are substituted in the part's own scope and added to the instance scope as
// instance values. 0; or 15055 after 10871 (a parameter with no value at
// all) or 10873 (supplied values and declared parameters do not match), both
// with "Parameters required" and "Parameters supplied" lines.
int BindMacroParameters(CCTDoc* document, SchematicObject* part, int instanceScope,
                        const std::vector<MacroParameter>& declared, const std::vector<std::string>* supplied,
                        const std::string& declaredText, const std::string& suppliedText);

// The module's message texts (start-up; RegisterCompilerMessages calls it).
void RegisterMacroMessages();
