// The shell's rows of the string table and the text loaders.
#include "shell/messages.h"

#include <cstring>

#include "core/memory.h"
#include "core/messages.h"
#include "shell/batch.h"
#include "shell/filetypes.h"
#include "shell/smalldlgs.h"

namespace {

const MessageRow kShellMessages[] = {
    // Dialog prompts.
    {23, "Close this dialog."},
    {1348, "Replaces this circuit's properties with those from the Default Properties for New Circuits dialog box."},
    {1349, "Replaces Default Properties for New Circuits with this circuit's properties."},
    {1350, "This restores the internal default settings."},
    {18001, "Closes this dialog box and saves any changes you have made."},
    {18002, "Closes this dialog box without saving any changes you have made."},
    {18009, "Invokes the help topic.\nHelp"},
    {18012, "Saves all changes you have made without closing this Dialog box."},

    // The program's name: the caption of messages without a class.
    {5356, "Tarnwick"},

    // Main frame.
    {14063, "Quit Tarnwick?"},
    {12513, "Exit Tarnwick."},
    {17340, "E&xit\tAlt+F4"},

    // Prompts of the window system's commands (the system menu), by
    // 61184 + the command's second hex digit pair.
    {61184, "Changes the size of the window."},
    {61185, "Changes the position of the window."},
    {61186, "Reduces the window to an icon."},
    {61187, "Enlarges the window to its full size."},
    {61188, "Switches to the next document window."},
    {61189, "Switches to the previous document window."},
    {61190, "Closes the window, asking to save its changes."},
    {61202, "Restores the window to its normal size."},
    {61203, "Shows the list of running programs."},

    // Status bar: prompts and the width templates of the main bar's panes.
    {17680, "The Status Bar"},
    {17888, "Wait"},
    {59143, "Clock"},
    {59144, "XXXXXXXXXXXXXXXXX"},
    {59145, "LnXXXXXX"},
    {59146, "    "},
    {59147, "100%"},

    // Prompts shared by ranges of command ids.
    {14573, "Lets you select an existing Performance window."},
    {14603, "Lets you select an existing 3D window."},
    {14652, "Lets you select an existing FFT window."},
    {17371, "Lets you select an existing Monte Carlo histogram."},
    {16008, "Displays voltage curves."},
    {16009, "Displays current curves."},
    {16011, "Displays power curves."},
    {16020, "Sets voltage as X-axis variable."},
    {16021, "Sets current as X-axis variable."},
    {16023, "Sets power as X-axis variable."},
    {19816, "User defined color"},
};

char msg_sharedBuffer[200];

}  // namespace

void RegisterShellMessages() {
    RegisterMessages(kShellMessages, static_cast<int>(sizeof kShellMessages / sizeof kShellMessages[0]));
    RegisterBatchMessages();
    RegisterFileTypeMessages();
    RegisterSmallDialogMessages();
}

int LoadStringText(char* buffer, int id, size_t size) {
    if (!buffer || size == 0) return 0;
    const char* text = GetMessageText(id);
    CopyTextBounded(buffer, text ? text : "", size);
    return static_cast<int>(std::strlen(buffer));
}

char* LoadMessageText(char* buffer, int id, size_t size) {
    if (!buffer || size == 0) return buffer;
    LoadStringText(buffer, id, size);
    if (buffer[0] == '%' && (buffer[1] == 'E' || buffer[1] == 'W')) buffer[0] = '#';
    return buffer;
}

const char* LoadMessageTextShared(int id) { return LoadMessageText(msg_sharedBuffer, id, sizeof msg_sharedBuffer); }
