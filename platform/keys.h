// Key and mouse codes of the window layer. The numbers are the ones the
// program's own tables and files use (Esc 27, Pause 19, F10 121, ...), so a
// code read from an accelerator row or a recorded demo needs no translation.
#pragma once

namespace platform {

namespace key {
constexpr int Back = 8;
constexpr int Tab = 9;
constexpr int Enter = 13;
constexpr int Shift = 16;
constexpr int Control = 17;
constexpr int Alt = 18;
constexpr int Pause = 19;
constexpr int CapsLock = 20;
constexpr int Escape = 27;
constexpr int Space = 32;
constexpr int PageUp = 33;
constexpr int PageDown = 34;
constexpr int End = 35;
constexpr int Home = 36;
constexpr int Left = 37;
constexpr int Up = 38;
constexpr int Right = 39;
constexpr int Down = 40;
constexpr int Insert = 45;
constexpr int Delete = 46;
constexpr int Digit0 = 48;     // '0' .. '9' are 48 .. 57
constexpr int LetterA = 65;    // 'A' .. 'Z' are 65 .. 90 (always the upper-case code)
constexpr int Numpad0 = 96;    // keypad 0 .. 9 are 96 .. 105
constexpr int Multiply = 106;  // keypad *
constexpr int Add = 107;       // keypad +
constexpr int Subtract = 109;  // keypad -
constexpr int Decimal = 110;   // keypad .
constexpr int Divide = 111;    // keypad /
constexpr int F1 = 112;        // F1 .. F12 are 112 .. 123
constexpr int F10 = 121;
constexpr int F12 = 123;
constexpr int NumLock = 144;
constexpr int ScrollLock = 145;
// Punctuation keys of a US layout, by the character they carry unshifted.
constexpr int Semicolon = 186;     // ;
constexpr int Equals = 187;        // =
constexpr int Comma = 188;         // ,
constexpr int Minus = 189;         // -
constexpr int Period = 190;        // .
constexpr int Slash = 191;         // /
constexpr int Backquote = 192;     // `
constexpr int LeftBracket = 219;   // [
constexpr int Backslash = 220;     // backslash
constexpr int RightBracket = 221;  // ]
constexpr int Quote = 222;         // '

constexpr int Function(int n) { return F1 + n - 1; }  // Function(1) is F1
constexpr int Letter(char c) { return (c >= 'a' && c <= 'z') ? c - 'a' + 'A' : c; }
}  // namespace key

// Modifier bits of accelerators and key events.
enum KeyModifier : unsigned {
    ModNone = 0,
    ModShift = 1,
    ModCtrl = 2,
    ModAlt = 4,
};

// Key flags of mouse events, as the program's mouse handlers test them.
enum MouseKeyFlag : unsigned {
    MouseLeft = 0x0001,
    MouseRight = 0x0002,
    MouseShift = 0x0004,
    MouseControl = 0x0008,
    MouseMiddle = 0x0010,
};

enum class MouseButton { Left, Right, Middle };

// The wheel turns in steps of this many units per notch.
constexpr int kWheelDelta = 120;

}  // namespace platform
