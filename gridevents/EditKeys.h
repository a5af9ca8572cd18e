// Which row edit action a key of the grid asks for: Ctrl with C, X, V, Delete or A, each only when its
// action is switched on.
#pragma once

#include "toolkit/ui/DBGridEh.h"

enum class TGridEditAction { None, Copy, Cut, Paste, Delete, SelectAll };

/// Whether a virtual-key code stands for letter ('A'..'Z'): its low byte as a character, upper-cased. The
/// codes that match beside the letter's own are those of its lower case: numeric-pad 1 (a), numeric-pad 3
/// (c), F7 (v) and F9 (x).
bool keyMatchesLetter(quint16 key, char letter);

/// The action of key with shift, tried in the order C, X, V, Delete, A; a key whose action is not in
/// enabled does nothing. Only Ctrl counts among the modifiers.
TGridEditAction gridEditAction(quint16 key, TShiftState shift, TDBGridEhEditActions enabled);
