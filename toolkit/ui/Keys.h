// Key codes and shift states as the windows' key handlers see them: virtual-key codes, whatever the
// platform or keyboard layout, and the character a key press typed.
// The VK_ names are the system's own: do not include <windows.h> in the same file.
#pragma once

#include <QChar>
#include <QFlags>
#include <Qt>

class QKeyEvent;

inline constexpr quint16 VK_LBUTTON = 0x01;
inline constexpr quint16 VK_RBUTTON = 0x02;
inline constexpr quint16 VK_CANCEL = 0x03;
inline constexpr quint16 VK_MBUTTON = 0x04;
inline constexpr quint16 VK_BACK = 0x08;
inline constexpr quint16 VK_TAB = 0x09;
inline constexpr quint16 VK_CLEAR = 0x0C;
inline constexpr quint16 VK_RETURN = 0x0D;
inline constexpr quint16 VK_SHIFT = 0x10;
inline constexpr quint16 VK_CONTROL = 0x11;
inline constexpr quint16 VK_MENU = 0x12;
inline constexpr quint16 VK_PAUSE = 0x13;
inline constexpr quint16 VK_CAPITAL = 0x14;
inline constexpr quint16 VK_ESCAPE = 0x1B;
inline constexpr quint16 VK_SPACE = 0x20;
inline constexpr quint16 VK_PRIOR = 0x21;
inline constexpr quint16 VK_NEXT = 0x22;
inline constexpr quint16 VK_END = 0x23;
inline constexpr quint16 VK_HOME = 0x24;
inline constexpr quint16 VK_LEFT = 0x25;
inline constexpr quint16 VK_UP = 0x26;
inline constexpr quint16 VK_RIGHT = 0x27;
inline constexpr quint16 VK_DOWN = 0x28;
inline constexpr quint16 VK_SELECT = 0x29;
inline constexpr quint16 VK_PRINT = 0x2A;
inline constexpr quint16 VK_EXECUTE = 0x2B;
inline constexpr quint16 VK_SNAPSHOT = 0x2C;
inline constexpr quint16 VK_INSERT = 0x2D;
inline constexpr quint16 VK_DELETE = 0x2E;
inline constexpr quint16 VK_HELP = 0x2F;
// '0'..'9' are 0x30..0x39 and 'A'..'Z' are 0x41..0x5A: the characters themselves.
inline constexpr quint16 VK_LWIN = 0x5B;
inline constexpr quint16 VK_RWIN = 0x5C;
inline constexpr quint16 VK_APPS = 0x5D;
inline constexpr quint16 VK_NUMPAD0 = 0x60;
inline constexpr quint16 VK_NUMPAD1 = 0x61;
inline constexpr quint16 VK_NUMPAD2 = 0x62;
inline constexpr quint16 VK_NUMPAD3 = 0x63;
inline constexpr quint16 VK_NUMPAD4 = 0x64;
inline constexpr quint16 VK_NUMPAD5 = 0x65;
inline constexpr quint16 VK_NUMPAD6 = 0x66;
inline constexpr quint16 VK_NUMPAD7 = 0x67;
inline constexpr quint16 VK_NUMPAD8 = 0x68;
inline constexpr quint16 VK_NUMPAD9 = 0x69;
inline constexpr quint16 VK_MULTIPLY = 0x6A;
inline constexpr quint16 VK_ADD = 0x6B;
inline constexpr quint16 VK_SEPARATOR = 0x6C;
inline constexpr quint16 VK_SUBTRACT = 0x6D;
inline constexpr quint16 VK_DECIMAL = 0x6E;
inline constexpr quint16 VK_DIVIDE = 0x6F;
inline constexpr quint16 VK_F1 = 0x70;
inline constexpr quint16 VK_F2 = 0x71;
inline constexpr quint16 VK_F3 = 0x72;
inline constexpr quint16 VK_F4 = 0x73;
inline constexpr quint16 VK_F5 = 0x74;
inline constexpr quint16 VK_F6 = 0x75;
inline constexpr quint16 VK_F7 = 0x76;
inline constexpr quint16 VK_F8 = 0x77;
inline constexpr quint16 VK_F9 = 0x78;
inline constexpr quint16 VK_F10 = 0x79;
inline constexpr quint16 VK_F11 = 0x7A;
inline constexpr quint16 VK_F12 = 0x7B;
inline constexpr quint16 VK_F24 = 0x87;
inline constexpr quint16 VK_NUMLOCK = 0x90;
inline constexpr quint16 VK_SCROLL = 0x91;
inline constexpr quint16 VK_OEM_1 = 0xBA;      // ; :
inline constexpr quint16 VK_OEM_PLUS = 0xBB;   // = +
inline constexpr quint16 VK_OEM_COMMA = 0xBC;  // , <
inline constexpr quint16 VK_OEM_MINUS = 0xBD;  // - _
inline constexpr quint16 VK_OEM_PERIOD = 0xBE; // . >
inline constexpr quint16 VK_OEM_2 = 0xBF;      // / ?
inline constexpr quint16 VK_OEM_3 = 0xC0;      // ` ~
inline constexpr quint16 VK_OEM_4 = 0xDB;      // [ {
inline constexpr quint16 VK_OEM_5 = 0xDC;      // \ |
inline constexpr quint16 VK_OEM_6 = 0xDD;      // ] }
inline constexpr quint16 VK_OEM_7 = 0xDE;      // ' "

enum TShiftStateFlag {
    ssShift = 0x01,
    ssAlt = 0x02,
    ssCtrl = 0x04,
    ssLeft = 0x08,
    ssRight = 0x10,
    ssMiddle = 0x20,
    ssDouble = 0x40,
};
Q_DECLARE_FLAGS(TShiftState, TShiftStateFlag)
Q_DECLARE_OPERATORS_FOR_FLAGS(TShiftState)

enum TMouseButton { mbLeft, mbRight, mbMiddle };

/// The virtual-key code of a key event. Letters give their upper-case letter code whatever the case
/// or layout: on a Cyrillic layout the physical key decides (by scan code where the platform reports
/// one, else by the standard Russian layout). 0 for keys without a code.
quint16 virtualKeyFromQt(const QKeyEvent *event);
/// The virtual-key code of a Qt key; keypad says whether it came from the numeric pad.
quint16 virtualKeyFromQtKey(int qtKey, bool keypad = false);
/// Shift, Alt and Ctrl of the modifiers, plus the pressed mouse buttons as ssLeft/ssRight/ssMiddle.
TShiftState shiftFromQt(Qt::KeyboardModifiers modifiers, Qt::MouseButtons buttons = {});
/// The character a key press typed, as a key-press handler receives it: Enter gives '\r',
/// Backspace '\b', Ctrl+C '\x03'; QChar() when the key types nothing.
QChar keyCharFromQt(const QKeyEvent *event);
/// The button of a mouse event; mbLeft for anything but the right and middle buttons.
TMouseButton mouseButtonFromQt(Qt::MouseButton button);
