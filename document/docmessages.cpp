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
};

bool dm_registered = false;

}  // namespace

void RegisterDocumentMessages() {
    if (dm_registered) return;
    dm_registered = true;
    RegisterMessages(kDocumentMessages, static_cast<int>(sizeof kDocumentMessages / sizeof kDocumentMessages[0]));
}
