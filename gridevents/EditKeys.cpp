// The key bindings of the grid component's row edit actions.
#include "gridevents/EditKeys.h"

bool keyMatchesLetter(quint16 key, char letter)
{
    char c = char(key & 0xFF);
    if (c >= 'a' && c <= 'z')
        c = char(c - 'a' + 'A');
    return c == letter;
}

TGridEditAction gridEditAction(quint16 key, TShiftState shift, TDBGridEhEditActions enabled)
{
    if (!shift.testFlag(ssCtrl))
        return TGridEditAction::None;
    const struct {
        bool matches;
        TDBGridEhEditAction needs;
        TGridEditAction action;
    } bindings[] = {
        {keyMatchesLetter(key, 'C'), geaCopyEh, TGridEditAction::Copy},
        {keyMatchesLetter(key, 'X'), geaCutEh, TGridEditAction::Cut},
        {keyMatchesLetter(key, 'V'), geaPasteEh, TGridEditAction::Paste},
        {key == VK_DELETE, geaDeleteEh, TGridEditAction::Delete},
        {keyMatchesLetter(key, 'A'), geaSelectAllEh, TGridEditAction::SelectAll},
    };
    for (const auto &binding : bindings) {
        if (binding.matches && (enabled & binding.needs))
            return binding.action;
    }
    return TGridEditAction::None;
}
