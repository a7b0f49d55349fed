// Message reporting: the one road by which the program tells the user
// something, and the program's own message box.
//
// Callers describe a message with the core's typed request (core/report_port.h)
// and hand it to ReportMessage; code below the shell goes through Reporter(),
// which the shell installs. Each field of the request is one of the reporter's
// control letters (the legacy form ReportMessageLetters still reads them: a
// text of letters, then the arguments the letters ask for in order, then the
// printf arguments of the message text):
//
//   letter argument      request field
//   A               ActiveParent()  parent = the active window
//   B text          Caption(t)      caption (at most 29 characters), replacing
//                                   every other caption
//   C int*          WarnAgain(f)    "Don't warn me anymore." flag: 1 stored when
//                                   the box is left unticked, 0 when ticked
//   D Window*       Parent(w)       parent window
//   E int           Message(code)   result code whose string-table text is shown
//   F format        FormattedMessage(f)  the message text is this printf format
//                                   (a literal of the program, never user text)
//                                   printed with the arguments
//   L int           Source(i)       index into the current circuit's source-file
//                                   table
//   M text text     Row(l, v)       a detail row (label, value), shown in the
//                                   box's row list
//   N object        Component(c)    the placed component the message is about
//                                   (its PART value gives the "Part:" row; the
//                                   schematic shows it afterwards)
//   O int int       Offset(x, y)    box offsets from the centre, in percent of
//                                   half the screen
//   P Window*       Parent(w)       parent window
//   S unsigned      Style(s)        message-box style (buttons and icon),
//                                   replacing the Error/Warning style
//   T line          Line(l)         the netlist text line the message is about
//   d CMDIView*     View(v)         parent = the view; its document's file
//                                   gives the "File:" row
//   l StringArray*  Rows(list)      one row (label only) per non-empty string
//   m text          Row(l)          a detail row without value
//   n               AppendRows()    the detail rows are appended to the text
//                                   instead of listed
//   p CMDIFrame*    Frame(f)        parent = the frame; its document's file
//                                   gives the "File:" row
//   s int           Class(c)        'E' or 'W': caption TW8 Error or TW8
//                                   Warning for an F text
//   t text          Text(t)         the "Text:" row
//   w               Timed()         a timed warning: closes itself as OK after
//                                   the Warning Time
//   (printf args)   Args(...)       typed: int, unsigned, long, double, texts
//
// A request's Text wins over its line's text, and a component's or a line's
// source index over Source.
//
// The result is the code of the button that closed the box (1 OK, 2 Cancel, 6
// Yes, 7 No, ...), or 0 when nothing was shown in a box (suppressed, written
// to the batch log or a report).
//
// User texts (file names, component names, netlist lines) are passed as
// arguments, never as the format; the reporter never uses any text but the
// caller's format and the string-table text as a format.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "core/report_port.h"
#include "shell/dialogs.h"

class CMDIView;
class CMDIFrame;
struct SchematicObject;
struct NetlistLine;
struct StringArray;

// ---- the message record ----------------------------------------------------------

constexpr size_t kMessageTextSize = 1371;
constexpr size_t kMessageDisplaySize = 1370;
constexpr size_t kMessageCaptionSize = 30;
constexpr size_t kMessageFileNameSize = 261;
constexpr int kMessageRowSlots = 20;
constexpr int kMessageMaxRows = 19;        // rows beyond are dropped
constexpr int kMessageListRowLimit = 16;   // "l" adds a row only while fewer are in use
constexpr int kMessageRowValueShown = 60;  // appended row values are cut here, then "..."
constexpr int kMessageListLineSize = 200;  // a row list line holds 199 characters

// Message-box styles: the button set in the low four bits, the icon in bits 4-7.
namespace mbstyle {
constexpr unsigned Ok = 0;
constexpr unsigned OkCancel = 1;
constexpr unsigned AbortRetryIgnore = 2;
constexpr unsigned YesNoCancel = 3;
constexpr unsigned YesNo = 4;
constexpr unsigned RetryCancel = 5;
constexpr unsigned YesAllNoAll = 6;  // Yes, Yes to All, No, No to All, Cancel
constexpr unsigned ButtonMask = 0x0F;
constexpr unsigned IconHand = 0x10;
constexpr unsigned IconQuestion = 0x20;
constexpr unsigned IconExclamation = 0x30;
constexpr unsigned IconAsterisk = 0x40;
constexpr unsigned IconProgram = 0x80;
constexpr unsigned IconMask = 0xF0;
constexpr unsigned SystemModal = 0x1000;
constexpr unsigned Error = IconHand;                         // TW8 Error
constexpr unsigned Warning = IconExclamation | SystemModal;  // TW8 Warning
}  // namespace mbstyle

// Button codes of the message box beyond the standard ones (platform::dlgid).
constexpr int kMsgButtonHelp = 21;
constexpr int kMsgButtonYesToAll = 32;
constexpr int kMsgButtonNoToAll = 33;
constexpr int kMsgButtonSyntax = 34;

// Control ids of the message box.
constexpr int kMsgBoxText = 101;
constexpr int kMsgBoxRows = 109;
constexpr int kMsgBoxWarnAgain = 112;
constexpr int kMsgBoxHelpText = 115;
constexpr int kMsgBoxIcon = 116;
constexpr int kMsgBoxTemplate = 1023;
constexpr int kMsgBoxTimer = 500;

// The work record of one report.
struct MessageRecord {
    char text[kMessageTextSize];            // finally the shown text, rows appended
    char displayText[kMessageDisplaySize];  // the text after printf formatting
    char caption[kMessageCaptionSize];
    char fileName[kMessageFileNameSize];  // a document path from d or p
    unsigned style;
    unsigned beep;  // the sound to play, 0 none
    int messageId;  // the code shown (after a pending message replaced it)
    int offsetX;    // percent of half the screen width, right of centre
    int offsetY;    // percent of half the screen height, below centre
    platform::Window* parent;
    int* warnAgain;  // the check box's flag, or null
    const char* rowLabels[kMessageRowSlots];
    const char* rowValues[kMessageRowSlots];  // never null: "" for none
    int rowCount;
    char* extraText;     // heap string: the built "Part:" value
    int rowsInList;      // rows go to the box's row list
    const char* prefix;  // "Error" or "Warning" from s, or null
    int timed;
};

// Clears the record: every byte 0, message id -1.
void InitMessageRecord(MessageRecord& record);
// Adds a detail row while fewer than `limit` rows are in use (values never
// null); false when the row was dropped.
bool AddMessageRow(MessageRecord& record, const char* label, const char* value, int limit = kMessageMaxRows);

// ---- reporting ----------------------------------------------------------------------

// Shows a message (see the letters above); the code of the closing button.
int ReportMessage(const MessageRequest& request);
// The letter form, kept for the reporter's own tests that hold each typed
// field to its letter; nothing checks its arguments, so the program itself
// uses ReportMessage.
int ReportMessageLetters(const char* options, ...);

// The shell's implementation of the core's reporter port.
class ShellReporter : public MessageReporter {
public:
    int Report(const MessageRequest& request) override;
    void Beep() override;
};

// Fills the record's texts, caption, style, beep and rows from a code (or the
// text an F format left in the record), a component, a text line, a t text, a
// source index and the printf arguments of the code's text.
void ComposeMessage(MessageRecord& record, int code, const SchematicObject* component, const NetlistLine* textLine,
                    const char* tText, int sourceIndex, const std::vector<MessageArg>& args);
// Sends a composed record where it belongs (sensitivity log, numeric output,
// parameter-check report, batch log, or the message box); frees the extra text.
int RouteMessage(MessageRecord& record);
// Runs the message box for the record, modally; the closing button's code.
int ShowMessageBox(MessageRecord& record);

// Registers the shell's string-table rows and installs the ShellReporter as
// the core's Reporter().
void InstallMessageReporter();

// ---- help texts -----------------------------------------------------------------------

// Context id of the Syntax button for a message, 0 when it has none.
int GetSyntaxHelpId(int messageId);
// The help text of a message from "help.tw8" in the program directory: a heap
// text (MemFree), or null when the file or the topic is missing or damaged.
// With `exists` given, only looks: *exists becomes 1 when the topic is there
// and the result is null.
char* ReadHelpText(int topicId, int* exists);
// The same from a given file (tests and tools).
char* ReadHelpTextFrom(const char* path, int topicId, int* exists);

// ---- program-wide switches ------------------------------------------------------------
// (Batch mode is the start-up state's; the Sound and Warning Time preferences
// are Prefs().sound and Prefs().warningTime.)

struct ReportSwitches {
    // Set by the analysis limits code around one of its operations: messages
    // whose caption contains "Warning" are dropped.
    bool warningsOff = false;
    // Set by the transient analysis around one report: messages go into the
    // numeric output of the current analysis document.
    bool transientReport = false;
};
ReportSwitches& Reporting();

// What the reporter asks of the subsystems built on top of the shell. Each is
// installed by its owner; until then a null object answers: no log is open,
// the objects give no rows, there is no source-file table.

// The logs an analysis run keeps open (analysis control).
class MessageLogs {
public:
    virtual ~MessageLogs() = default;
    // Sensitivity analysis log: open or not, and a message line into it.
    virtual bool SensitivityLogOpen() = 0;
    virtual void WriteSensitivityLogLine(const char* caption, const char* text) = 0;
    // Numeric output of the current analysis document: false when there is none.
    virtual bool WriteNumericOutputMessage(platform::Window* parent, const char* caption, const char* text) = 0;
    // Model parameter check report: open or not, and one line into it.
    virtual bool ParameterCheckOpen() = 0;
    virtual void WriteParameterCheckLine(const char* line) = 0;
};
MessageLogs& ReportLogs();
// Installs the port; nullptr restores the null object.
void InstallReportLogs(MessageLogs* logs);

// What a message's objects say about themselves: placed components (N, the
// schematic) and netlist text lines (T, the netlist reader).
class MessageObjects {
public:
    virtual ~MessageObjects() = default;
    // The component's source-file index (its level); none: the message keeps
    // the index it has.
    virtual std::optional<int> ComponentSourceIndex(const SchematicObject* component) = 0;
    // The value of its PART attribute, null when it has none.
    virtual const char* ComponentPartValue(const SchematicObject* component) = 0;
    // The line's source-file index (none: kept as above), its text and its
    // file (null: none).
    virtual std::optional<int> TextLineSourceIndex(const NetlistLine* line) = 0;
    virtual const char* TextLineText(const NetlistLine* line) = 0;
    virtual const char* TextLineFileName(const NetlistLine* line) = 0;
    // Shows where an error is: the component in the schematic or the line in
    // its text window.
    virtual void ShowErrorSource(const SchematicObject* component, const NetlistLine* line) = 0;
};
MessageObjects& ReportObjects();
void InstallReportObjects(MessageObjects* objects);

// The current circuit document's source-file table (the circuit document).
class MessageSourceFiles {
public:
    virtual ~MessageSourceFiles() = default;
    // Entry `index`: the instance name of the subcircuit or macro call it
    // serves and its file; false when there is no table or no such entry.
    virtual bool SourceEntry(int index, const char** instanceName, const char** fileName) = 0;
};
MessageSourceFiles& ReportSourceFiles();
void InstallReportSourceFiles(MessageSourceFiles* files);

// ---- the message box --------------------------------------------------------------------

enum class MessageIcon { None, Program, Hand, Question, Exclamation, Asterisk };

class CMessageBoxDlg : public CDialog2 {
public:
    explicit CMessageBoxDlg(MessageRecord& record);
    ~CMessageBoxDlg() override;

    const MessageRecord& Record() const { return record_; }
    // What the box shows (after OnInitDialog).
    const std::vector<int>& Buttons() const { return buttons_; }
    MessageIcon Icon() const { return icon_; }
    bool HelpAvailable() const { return helpAvailable_; }
    bool HelpUnfolded() const { return helpUnfolded_; }
    int SyntaxHelpId() const { return syntaxId_; }
    // The timed warning's interval in milliseconds, 0 when not timed.
    int TimerInterval() const { return timerMs_; }
    // The row list's lines as shown (joined with "\r\n").
    const std::string& RowListText() const { return rowList_; }

    bool OnInitDialog() override;
    void OnOK() override;
    void OnCancel() override;
    void OnControl(int id, platform::Notify what) override;
    // Any timer closes a timed warning as OK.
    void OnTimer(int id) override;
    void OnButton(int code);
    void OnHelpButton();
    void OnSyntax();

private:
    void LayOut();

    MessageRecord& record_;
    std::vector<int> buttons_;
    MessageIcon icon_ = MessageIcon::None;
    bool helpAvailable_ = false;
    bool helpUnfolded_ = false;
    platform::Rect foldedRect_;
    int syntaxId_ = 0;
    int timerMs_ = 0;
    int iconWidth_ = 0;
    std::string rowList_;
};
