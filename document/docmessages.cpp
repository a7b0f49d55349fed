// The circuit document's rows of the string table.
#include "document/docmessages.h"

#include "core/messages.h"

namespace {

const MessageRow kDocumentMessages[] = {
    // File-backed documents.
    {13511, "Revert to the disk version ?"},
    {13556, "Save changes in '%s'?"},

    // Pages and the page tab strip.
    {13515, "%ECannot rename a page with the same name as another page."},
    {13553, "%EMust keep at least one Page."},
    {13555, "%WPage '%s' is not empty.\nDeleting will delete all elements in the page.\nDelete anyhow?"},
    {12363, "Click on a name to select the page. Double-click to edit the name."},

    // Opening and saving circuit files.
    {5351, "Tarnwick V"},
    {13503, "%WTarnwick may assign nodes differently than TW4.\nCheck the X and Y expressions in the analysis limits."},
    {13505,
     "%EAttempted to load an TW4 macro circuit which has not yet been saved in Tarnwick format. Load the macro circuit "
     "with Tarnwick and save it."},
    {13509, "Incorrect password. Access denied."},
    {13512, "%WFile has been saved in TW%d format. It may have lost critical data."},
    {13513, "%WExtra or unknown data was found.\nfile %s\n\n%s."},
    {15021, "%EMust run CONVERT for '%s' to force a conversion."},
    {15026, "%WCircuit '%s' contains illegal coordinates."},
    {15080, "%EComponent(s) not found.\n%s"},
};

bool dm_registered = false;

}  // namespace

void RegisterDocumentMessages() {
    if (dm_registered) return;
    dm_registered = true;
    RegisterMessages(kDocumentMessages, static_cast<int>(sizeof kDocumentMessages / sizeof kDocumentMessages[0]));
}
