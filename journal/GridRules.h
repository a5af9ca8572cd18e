// The journal grid's own rules as small functions: mark colours, the chord letters, the mark-list text,
// single-cell copy and paste targets, the id list of a deletion, the list of deleted rows and the rows
// outside the curriculum.
#pragma once

#include "toolkit/ui/DBGridEh.h"

#include <QString>
#include <QStringList>
#include <QVariant>

#include <optional>

class TQZDBGridEvents;

namespace JournalRules {

inline constexpr TColor AdmissionColor = 0xDDDDFF;     // pale pink
inline constexpr TColor SpecialMarkColor = 0xFFEFCE;   // pale blue
inline constexpr TColor FailedKeyColor = 0x0000FF;     // red: teacher and form of assessment
inline constexpr TColor FailedMarkColor = 0x8080FF;    // light red: the rest of the row
inline constexpr int SpecialMark = 25;
inline constexpr int SheetFormWithNumber = 2;
inline constexpr int CellBufferLength = 255;

inline const QString FullMarkListText = QStringLiteral("Select * from est2 ");

/// Whether the mark fails the form of assessment it was given for.
bool isFailingMark(int examination, int estimation);

/// The brush before the first drawing: the admission and special-mark rules over the component's colour.
TColor firstPassColor(TColor componentColor, const QString &admission, int column, int estimation,
                      TGridDrawState state, TColor selectedColor);
/// The brush of the second drawing when the failing-mark rule holds, else none.
std::optional<TColor> failingMarkColor(int examination, int estimation, int dataCol);

/// Whether the key, taken as a character, is the letter (either case).
bool isLetterKey(quint16 key, char letter);
/// Exactly Ctrl among Ctrl, Shift and Alt.
bool onlyCtrl(TShiftState shift);

/// The narrowed mark list of a form of assessment.
QString markListText(int examination);
/// Whether the grid's current cell is the mark cell: grid column 6 bound to the field "estimation".
bool onMarkColumn(const TDBGridEh *grid);

/// The field single-cell copy reads and paste writes for a column's field: the key field of a lookup.
TField *cellValueField(TField *columnField);

/// "id," for each bookmark's row in the given order; the dataset is left on the last one.
QString idList(TDataSet *journal, const QStringList &bookmarks, const QString &idField);

/// The statement that lists the deleted rows of a group, semester and student; none while a key is missing
/// or not a whole number, so that an incomplete statement is never sent.
std::optional<QString> deletedRowsText(const QVariant &group, const QVariant &semester, const QVariant &student);

/// Lists in the component's ErrorList the journal rows whose discipline and form of assessment the
/// curriculum lacks; nothing when the curriculum has at least as many rows as the journal.
void markRowsOutsideCurriculum(TDataSet *curriculum, TDataSet *journal, TQZDBGridEvents *component);

} // namespace JournalRules
