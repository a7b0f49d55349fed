// The message reporter: how every layer asks the program to tell the user
// something, and what it remembers of the last message.
//
// A message is described by a MessageRequest built field by field, so that
// a parent window can never be taken for a result code nor a path for a
// window: each field has its own typed setter. The shell owns the box, the
// batch log and the other destinations and installs the reporter at start-up;
// until it does, Reporter() answers with a null reporter that shows nothing
// and says so (kMessageNoReporter), and each caller keeps the fallback it had.
//
//   Reporter().Report(Message(kResultWriteError).Args(path));
//   ReportMessage(Message(13512).Parent(main).Args(9));          // shell, document
#pragma once

#include <cstddef>
#include <string>
#include <type_traits>
#include <vector>

namespace platform {
class Window;
}
class CMDIView;
class CMDIFrame;
class CDoc;
struct SchematicObject;
struct NetlistLine;
struct StringArray;

// One printf argument of a message text, with the type it was given as. Only
// the types a message text can print convert; any other pointer is refused at
// compile time.
class MessageArg {
public:
    enum class Kind : unsigned char { Signed, Unsigned, Double, Text };

    MessageArg(int value) : kind_(Kind::Signed), signed_(value) {}
    MessageArg(long value) : kind_(Kind::Signed), signed_(value) {}
    MessageArg(long long value) : kind_(Kind::Signed), signed_(value) {}
    MessageArg(unsigned value) : kind_(Kind::Unsigned), unsigned_(value) {}
    MessageArg(unsigned long value) : kind_(Kind::Unsigned), unsigned_(value) {}
    MessageArg(unsigned long long value) : kind_(Kind::Unsigned), unsigned_(value) {}
    MessageArg(double value) : kind_(Kind::Double), double_(value) {}
    MessageArg(const char* text) : kind_(Kind::Text), text_(text) {}
    MessageArg(char* text) : kind_(Kind::Text), text_(text) {}
    // The string must outlive the report (a temporary in the same statement does).
    MessageArg(const std::string& text) : kind_(Kind::Text), text_(text.c_str()) {}
    template <class T>
    MessageArg(const T*) = delete;
    template <class T>
    MessageArg(T*) = delete;

    Kind kind() const { return kind_; }
    long long AsSigned() const;
    unsigned long long AsUnsigned() const;
    double AsDouble() const;
    // Null for a null text.
    const char* AsText() const { return kind_ == Kind::Text ? text_ : nullptr; }

private:
    Kind kind_;
    union {
        long long signed_;
        unsigned long long unsigned_;
        double double_;
        const char* text_;
    };
};

// Prints `format` (a text of the program: a string-table text or a literal)
// into `out` with typed arguments, conversion by conversion. A conversion is
// given the argument in its own type: an integer conversion of a double prints
// it truncated, a text conversion of a number prints the number, a number
// conversion of a text takes the text but stays as written. A "%s" without an argument left
// prints nothing, any other conversion without one stays as written; "%n"
// prints nothing. Always terminates `out`; returns the
// length placed.
size_t FormatMessageArgs(char* out, size_t size, const char* format, const MessageArg* args, size_t count);
inline size_t FormatMessageArgs(char* out, size_t size, const char* format, const std::vector<MessageArg>& args) {
    return FormatMessageArgs(out, size, format, args.data(), args.size());
}

// Which window a message box is parented to.
enum class MessageParent : unsigned char {
    None,    // the active window
    Active,  // the active window, chosen when the message is built (A)
    Window,  // a given window (D, P)
    View,    // a view; its document's file gives the "File:" row (d)
    Frame,   // a frame; its document's file gives the "File:" row (p)
};

// A detail row of a message (M, m, l), in the order given.
struct MessageDetail {
    const char* label = nullptr;
    const char* value = nullptr;        // null: a row without value
    const StringArray* list = nullptr;  // a row per non-empty string instead
};

// What a message says and where it goes. Each setter is one control letter of
// the shell's ReportMessage (shell/report.h names them); for the parent
// fields the last one set wins, as the later letter did.
class MessageRequest {
public:
    MessageRequest() = default;
    explicit MessageRequest(int code) : code_(code) {}

    // E: the result code whose string-table text is shown.
    MessageRequest& Code(int code) {
        code_ = code;
        return *this;
    }
    // F: the message text is this printf format of the program (never user text).
    MessageRequest& Format(const char* format) {
        format_ = format;
        return *this;
    }
    // The printf arguments of the message text (the code's text or the format).
    template <class... A>
    requires(std::is_constructible_v<MessageArg, const A&>&&...) MessageRequest& Args(const A&... args) {
        (args_.push_back(MessageArg(args)), ...);
        return *this;
    }
    // B: caption, replacing every other caption.
    MessageRequest& Caption(const char* caption) {
        caption_ = caption;
        return *this;
    }
    // C: the "Don't warn me anymore." flag.
    MessageRequest& WarnAgain(int* flag) {
        warnAgain_ = flag;
        return *this;
    }
    // A, D/P, d, p: the parent window.
    MessageRequest& ActiveParent() {
        parentKind_ = MessageParent::Active;
        return *this;
    }
    MessageRequest& Parent(platform::Window* parent) { return SetParent(MessageParent::Window, parent); }
    MessageRequest& View(CMDIView* view);
    MessageRequest& Frame(CMDIFrame* frame);
    // M, m, l: detail rows.
    MessageRequest& Row(const char* label, const char* value) {
        rows_.push_back({label, value ? value : "", nullptr});
        return *this;
    }
    MessageRequest& Row(const char* label) {
        rows_.push_back({label, nullptr, nullptr});
        return *this;
    }
    MessageRequest& Rows(const StringArray* list) {
        rows_.push_back({nullptr, nullptr, list});
        return *this;
    }
    // N: the placed component the message is about.
    MessageRequest& Component(const SchematicObject* component) {
        component_ = component;
        componentGiven_ = true;
        return *this;
    }
    // T: the netlist text line the message is about.
    MessageRequest& Line(const NetlistLine* line) {
        line_ = line;
        return *this;
    }
    // t: the "Text:" row.
    MessageRequest& Text(const char* text) {
        text_ = text;
        return *this;
    }
    // L: index into the current circuit's source-file table (a compile scope);
    // a component or a text line names its own and takes precedence.
    MessageRequest& Source(int index) {
        source_ = index;
        return *this;
    }
    // S: message-box style, replacing the Error/Warning style.
    MessageRequest& Style(unsigned style) {
        style_ = style;
        styleGiven_ = true;
        return *this;
    }
    // O: box offsets from the centre, in percent of half the screen.
    MessageRequest& Offset(int x, int y) {
        offsetX_ = x;
        offsetY_ = y;
        return *this;
    }
    // s: 'E' or 'W', caption TW8 Error or TW8 Warning for a format text.
    MessageRequest& Class(char letter) {
        class_ = letter;
        return *this;
    }
    // w: a timed warning.
    MessageRequest& Timed() {
        timed_ = true;
        return *this;
    }
    // n: the detail rows are appended to the text instead of listed.
    MessageRequest& AppendRows() {
        appendRows_ = true;
        return *this;
    }

    // The message's source in a circuit, carried for the subsystems that show
    // it (the compiler's documents, the model statement windows); the box
    // does not show these fields.
    MessageRequest& Document(CDoc* document) {
        document_ = document;
        return *this;
    }
    MessageRequest& Statement(const char* text) {
        statement_ = text;
        return *this;
    }
    // "Label:\ttext\n" lines that name what inside the statement is meant.
    MessageRequest& Context(const char* lines) {
        context_ = lines;
        return *this;
    }

    int code() const { return code_; }
    const char* format() const { return format_; }
    const std::vector<MessageArg>& args() const { return args_; }
    const char* caption() const { return caption_; }
    int* warnAgain() const { return warnAgain_; }
    MessageParent parentKind() const { return parentKind_; }
    platform::Window* parent() const { return parent_; }
    CMDIView* view() const { return parentKind_ == MessageParent::View ? view_ : nullptr; }
    CMDIFrame* frame() const { return parentKind_ == MessageParent::Frame ? frame_ : nullptr; }
    const std::vector<MessageDetail>& rows() const { return rows_; }
    const SchematicObject* component() const { return component_; }
    bool componentGiven() const { return componentGiven_; }
    const NetlistLine* line() const { return line_; }
    const char* text() const { return text_; }
    int source() const { return source_; }
    bool styleGiven() const { return styleGiven_; }
    unsigned style() const { return style_; }
    int offsetX() const { return offsetX_; }
    int offsetY() const { return offsetY_; }
    char messageClass() const { return class_; }
    bool timed() const { return timed_; }
    bool appendRows() const { return appendRows_; }
    CDoc* document() const { return document_; }
    const char* statement() const { return statement_; }
    const char* context() const { return context_; }

private:
    MessageRequest& SetParent(MessageParent kind, platform::Window* parent) {
        parentKind_ = kind;
        parent_ = parent;
        return *this;
    }

    int code_ = -1;
    const char* format_ = nullptr;
    std::vector<MessageArg> args_;
    const char* caption_ = nullptr;
    int* warnAgain_ = nullptr;
    MessageParent parentKind_ = MessageParent::None;
    platform::Window* parent_ = nullptr;
    CMDIView* view_ = nullptr;
    CMDIFrame* frame_ = nullptr;
    std::vector<MessageDetail> rows_;
    const SchematicObject* component_ = nullptr;
    bool componentGiven_ = false;
    const NetlistLine* line_ = nullptr;
    const char* text_ = nullptr;
    int source_ = -1;
    bool styleGiven_ = false;
    unsigned style_ = 0;
    int offsetX_ = 0;
    int offsetY_ = 0;
    char class_ = 0;
    bool timed_ = false;
    bool appendRows_ = false;
    CDoc* document_ = nullptr;
    const char* statement_ = nullptr;
    const char* context_ = nullptr;
};

// A null view or frame leaves the parent as it was.
inline MessageRequest& MessageRequest::View(CMDIView* view) {
    if (view) {
        parentKind_ = MessageParent::View;
        view_ = view;
    }
    return *this;
}

inline MessageRequest& MessageRequest::Frame(CMDIFrame* frame) {
    if (frame) {
        parentKind_ = MessageParent::Frame;
        frame_ = frame;
    }
    return *this;
}

// A request for a result code's message ("E"), or for a program format ("F").
inline MessageRequest Message(int code) { return MessageRequest(code); }
MessageRequest Message(double) = delete;  // a value is never a code
inline MessageRequest FormattedMessage(const char* format) { return MessageRequest().Format(format); }

// The answer of the null reporter: nothing was shown because no reporter is
// installed. (A reporter that shows nothing on purpose answers 0.)
constexpr int kMessageNoReporter = -1;

// What the core and the layers above it need of the program's reporter.
class MessageReporter {
public:
    virtual ~MessageReporter() = default;
    // Shows the message where it belongs: the code of the button that closed
    // its box (1 OK, 2 Cancel, 6 Yes, 7 No, ...), or 0 when it was shown
    // elsewhere or suppressed. For code 15060 (and 15061) the message is the
    // pending one; the caller clears it afterwards.
    virtual int Report(const MessageRequest& request) = 0;
    // The default message beep.
    virtual void Beep() = 0;
};

// The installed reporter, or the null reporter (Report answers
// kMessageNoReporter, Beep is silent).
MessageReporter& Reporter();
bool IsReporterInstalled();
// Installs the reporter; nullptr restores the null reporter.
void InstallReporter(MessageReporter* reporter);

// ---- the last message --------------------------------------------------------------
// The id and text of the last message a subsystem reported or left pending
// for its caller, kept per thread so that runs on other threads keep their own.

struct LastMessageRecord {
    int id = 0;
    std::string text;
};
const LastMessageRecord& LastMessage();
int LastMessageId();
const char* LastMessageText();
void RecordLastMessage(int id, const char* text);
void ClearLastMessage();
