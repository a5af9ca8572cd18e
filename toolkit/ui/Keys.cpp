// Qt key events as virtual-key codes, shift states and typed characters.
#include "toolkit/ui/Keys.h"

#include <QKeyEvent>

#include <array>
#include <utility>

namespace {

// The standard Russian layout: which key each Cyrillic capital sits on.
constexpr std::array<std::pair<char16_t, quint16>, 33> russianLayout = {{
    {u'Й', 'Q'}, {u'Ц', 'W'}, {u'У', 'E'}, {u'К', 'R'}, {u'Е', 'T'}, {u'Н', 'Y'}, {u'Г', 'U'},
    {u'Ш', 'I'}, {u'Щ', 'O'}, {u'З', 'P'}, {u'Х', VK_OEM_4}, {u'Ъ', VK_OEM_6}, {u'Ф', 'A'},
    {u'Ы', 'S'}, {u'В', 'D'}, {u'А', 'F'}, {u'П', 'G'}, {u'Р', 'H'}, {u'О', 'J'}, {u'Л', 'K'},
    {u'Д', 'L'}, {u'Ж', VK_OEM_1}, {u'Э', VK_OEM_7}, {u'Я', 'Z'}, {u'Ч', 'X'}, {u'С', 'C'},
    {u'М', 'V'}, {u'И', 'B'}, {u'Т', 'N'}, {u'Ь', 'M'}, {u'Б', VK_OEM_COMMA}, {u'Ю', VK_OEM_PERIOD},
    {u'Ё', VK_OEM_3},
}};

// Keys of the main block by Linux input scan code (the X11 and Wayland key code minus 8), from
// KEY_Q (16) to KEY_SLASH (53); 0 where the key is not a character key.
constexpr std::array<quint16, 38> keysByScanCode = {
    'Q', 'W', 'E', 'R', 'T', 'Y', 'U', 'I', 'O', 'P', VK_OEM_4, VK_OEM_6, 0, 0,
    'A', 'S', 'D', 'F', 'G', 'H', 'J', 'K', 'L', VK_OEM_1, VK_OEM_7, VK_OEM_3, 0, VK_OEM_5,
    'Z', 'X', 'C', 'V', 'B', 'N', 'M', VK_OEM_COMMA, VK_OEM_PERIOD, VK_OEM_2,
};
constexpr quint32 firstScanCode = 16;
constexpr quint32 xkbKeyCodeOffset = 8;

// A letter of another script: the key it was typed on decides.
quint16 physicalKey(const QKeyEvent *event, char32_t letter)
{
#if !defined(Q_OS_WIN) && !defined(Q_OS_MACOS)
    const quint32 scanCode = event->nativeScanCode();
    if (scanCode >= firstScanCode + xkbKeyCodeOffset) {
        const quint32 index = scanCode - xkbKeyCodeOffset - firstScanCode;
        if (index < keysByScanCode.size() && keysByScanCode[index] != 0)
            return keysByScanCode[index];
    }
#else
    Q_UNUSED(event);
#endif
    const char32_t upper = QChar::toUpper(letter);
    for (const auto &[cyrillic, key] : russianLayout) {
        if (cyrillic == upper)
            return key;
    }
    return 0;
}

quint16 punctuationKey(int qtKey)
{
    switch (qtKey) {
    case Qt::Key_Exclam: return '1';
    case Qt::Key_At: return '2';
    case Qt::Key_NumberSign: return '3';
    case Qt::Key_Dollar: return '4';
    case Qt::Key_Percent: return '5';
    case Qt::Key_AsciiCircum: return '6';
    case Qt::Key_Ampersand: return '7';
    case Qt::Key_Asterisk: return '8';
    case Qt::Key_ParenLeft: return '9';
    case Qt::Key_ParenRight: return '0';
    case Qt::Key_Semicolon:
    case Qt::Key_Colon: return VK_OEM_1;
    case Qt::Key_Equal:
    case Qt::Key_Plus: return VK_OEM_PLUS;
    case Qt::Key_Comma:
    case Qt::Key_Less: return VK_OEM_COMMA;
    case Qt::Key_Minus:
    case Qt::Key_Underscore: return VK_OEM_MINUS;
    case Qt::Key_Period:
    case Qt::Key_Greater: return VK_OEM_PERIOD;
    case Qt::Key_Slash:
    case Qt::Key_Question: return VK_OEM_2;
    case Qt::Key_QuoteLeft:
    case Qt::Key_AsciiTilde: return VK_OEM_3;
    case Qt::Key_BracketLeft:
    case Qt::Key_BraceLeft: return VK_OEM_4;
    case Qt::Key_Backslash:
    case Qt::Key_Bar: return VK_OEM_5;
    case Qt::Key_BracketRight:
    case Qt::Key_BraceRight: return VK_OEM_6;
    case Qt::Key_Apostrophe:
    case Qt::Key_QuoteDbl: return VK_OEM_7;
    default: return 0;
    }
}

quint16 keypadKey(int qtKey)
{
    if (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9)
        return static_cast<quint16>(VK_NUMPAD0 + (qtKey - Qt::Key_0));
    switch (qtKey) {
    case Qt::Key_Asterisk: return VK_MULTIPLY;
    case Qt::Key_Plus: return VK_ADD;
    case Qt::Key_Minus: return VK_SUBTRACT;
    case Qt::Key_Period:
    case Qt::Key_Comma: return VK_DECIMAL;
    case Qt::Key_Slash: return VK_DIVIDE;
    default: return 0;
    }
}

quint16 controlKey(int qtKey)
{
    if (qtKey >= Qt::Key_F1 && qtKey <= Qt::Key_F24)
        return static_cast<quint16>(VK_F1 + (qtKey - Qt::Key_F1));
    switch (qtKey) {
    case Qt::Key_Backspace: return VK_BACK;
    case Qt::Key_Tab:
    case Qt::Key_Backtab: return VK_TAB;
    case Qt::Key_Clear: return VK_CLEAR;
    case Qt::Key_Return:
    case Qt::Key_Enter: return VK_RETURN;
    case Qt::Key_Shift: return VK_SHIFT;
    case Qt::Key_Control: return VK_CONTROL;
    case Qt::Key_Alt:
    case Qt::Key_AltGr: return VK_MENU;
    case Qt::Key_Pause: return VK_PAUSE;
    case Qt::Key_CapsLock: return VK_CAPITAL;
    case Qt::Key_Escape: return VK_ESCAPE;
    case Qt::Key_Space: return VK_SPACE;
    case Qt::Key_PageUp: return VK_PRIOR;
    case Qt::Key_PageDown: return VK_NEXT;
    case Qt::Key_End: return VK_END;
    case Qt::Key_Home: return VK_HOME;
    case Qt::Key_Left: return VK_LEFT;
    case Qt::Key_Up: return VK_UP;
    case Qt::Key_Right: return VK_RIGHT;
    case Qt::Key_Down: return VK_DOWN;
    case Qt::Key_Select: return VK_SELECT;
    case Qt::Key_Printer: return VK_PRINT;
    case Qt::Key_Execute: return VK_EXECUTE;
    case Qt::Key_Print: return VK_SNAPSHOT;
    case Qt::Key_Insert: return VK_INSERT;
    case Qt::Key_Delete: return VK_DELETE;
    case Qt::Key_Help: return VK_HELP;
    case Qt::Key_Meta: return VK_LWIN;
    case Qt::Key_Menu: return VK_APPS;
    case Qt::Key_NumLock: return VK_NUMLOCK;
    case Qt::Key_ScrollLock: return VK_SCROLL;
    default: return 0;
    }
}

} // namespace

quint16 virtualKeyFromQtKey(int qtKey, bool keypad)
{
    if (keypad) {
        if (const quint16 key = keypadKey(qtKey))
            return key;
    }
    if ((qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z) || (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9))
        return static_cast<quint16>(qtKey);
    if (qtKey >= 'a' && qtKey <= 'z')
        return static_cast<quint16>(qtKey - 'a' + 'A');
    if (const quint16 key = controlKey(qtKey))
        return key;
    return punctuationKey(qtKey);
}

quint16 virtualKeyFromQt(const QKeyEvent *event)
{
#ifdef Q_OS_WIN
    // Windows reports the code itself.
    if (event->nativeVirtualKey() != 0 && event->nativeVirtualKey() <= 0xFE)
        return static_cast<quint16>(event->nativeVirtualKey());
#endif
    const int qtKey = event->key();
    if (qtKey > 0xFF && qtKey <= 0xFFFF && QChar::isLetter(static_cast<char32_t>(qtKey)))
        return physicalKey(event, static_cast<char32_t>(qtKey));
    return virtualKeyFromQtKey(qtKey, event->modifiers().testFlag(Qt::KeypadModifier));
}

TShiftState shiftFromQt(Qt::KeyboardModifiers modifiers, Qt::MouseButtons buttons)
{
    TShiftState shift;
    if (modifiers.testFlag(Qt::ShiftModifier))
        shift |= ssShift;
    if (modifiers.testFlag(Qt::AltModifier))
        shift |= ssAlt;
    if (modifiers.testFlag(Qt::ControlModifier))
        shift |= ssCtrl;
    if (buttons.testFlag(Qt::LeftButton))
        shift |= ssLeft;
    if (buttons.testFlag(Qt::RightButton))
        shift |= ssRight;
    if (buttons.testFlag(Qt::MiddleButton))
        shift |= ssMiddle;
    return shift;
}

QChar keyCharFromQt(const QKeyEvent *event)
{
    const Qt::KeyboardModifiers modifiers = event->modifiers();
    // Ctrl with a letter types its control character (Ctrl+C is 3), whatever the layout; Ctrl+Alt
    // is AltGr and types what the layout says.
    if (modifiers.testFlag(Qt::ControlModifier) && !modifiers.testFlag(Qt::AltModifier)) {
        const quint16 key = virtualKeyFromQt(event);
        if (key >= 'A' && key <= 'Z')
            return QChar(key - 'A' + 1);
    }
    const QString text = event->text();
    if (!text.isEmpty())
        return text.front();
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter: return QChar(u'\r');
    case Qt::Key_Backspace: return QChar(u'\b');
    case Qt::Key_Tab: return QChar(u'\t');
    case Qt::Key_Escape: return QChar(0x1B);
    default: return QChar();
    }
}

TMouseButton mouseButtonFromQt(Qt::MouseButton button)
{
    switch (button) {
    case Qt::RightButton: return mbRight;
    case Qt::MiddleButton: return mbMiddle;
    default: return mbLeft;
    }
}
