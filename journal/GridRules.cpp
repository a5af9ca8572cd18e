// The journal grid's own rules: colours by admission and mark, the chord letters, the mark list, single-cell
// copy and paste targets, the deletion id list, the deleted-rows list and the rows outside the curriculum.
#include "journal/GridRules.h"

#include "gridevents/QZ_DBGrd_Evns.h"
#include "toolkit/data/DataSet.h"
#include "toolkit/data/Field.h"

namespace JournalRules {

namespace {

constexpr int kAdmissionColumn = 1;
constexpr int kMarkGridColumn = 6;   // counting the indicator column as 0
constexpr int kTeacherDataCol = 3;
constexpr int kExamDataCol = 4;

} // namespace

bool isFailingMark(int examination, int estimation)
{
    switch (examination) {
    case 1:
    case 3:
    case 4:
    case 5:
        return estimation == 10 || estimation == 31;
    case 2:
        return estimation == 11 || estimation == 33 || estimation == 44 || estimation == 55;
    default:
        return false;
    }
}

TColor firstPassColor(TColor componentColor, const QString &admission, int column, int estimation,
                      TGridDrawState state, TColor selectedColor)
{
    TColor color = componentColor;
    if (!admission.isEmpty() && admission != QStringLiteral("д") && column == kAdmissionColumn)
        color = AdmissionColor;
    if (estimation == SpecialMark)
        color = state == gdSelected ? selectedColor : SpecialMarkColor;
    return color;
}

std::optional<TColor> failingMarkColor(int examination, int estimation, int dataCol)
{
    if (!isFailingMark(examination, estimation))
        return std::nullopt;
    return dataCol == kTeacherDataCol || dataCol == kExamDataCol ? FailedKeyColor : FailedMarkColor;
}

bool isLetterKey(quint16 key, char letter)
{
    return QChar(key).toUpper() == QChar::fromLatin1(letter).toUpper();
}

bool onlyCtrl(TShiftState shift)
{
    return (shift & (ssCtrl | ssShift | ssAlt)) == TShiftState(ssCtrl);
}

QString markListText(int examination)
{
    return QStringLiteral("Select * from est2 where id_examination=") + QString::number(examination);
}

bool onMarkColumn(const TDBGridEh *grid)
{
    if (!grid || grid->ColumnCount() == 0 || !grid->DataSource())
        return false;
    if (grid->Col() != kMarkGridColumn || grid->ColumnCount() < kMarkGridColumn)
        return false;
    const TColumnEh *column = grid->Columns(kMarkGridColumn - 1);
    return column->FieldName.compare(QStringLiteral("estimation"), Qt::CaseInsensitive) == 0;
}

TField *cellValueField(TField *columnField)
{
    if (!columnField || columnField->KeyFields().isEmpty())
        return columnField;
    return columnField->DataSet()->FieldByName(columnField->KeyFields());
}

QString idList(TDataSet *journal, const QStringList &bookmarks, const QString &idField)
{
    QString list;
    for (const QString &bookmark : bookmarks) {
        journal->GotoBookmark(bookmark);
        list += journal->FieldByName(idField)->AsString() + QLatin1Char(',');
    }
    return list;
}

std::optional<QString> deletedRowsText(const QVariant &group, const QVariant &semester, const QVariant &student)
{
    QStringList keys;
    for (const QVariant &key : {group, semester, student}) {
        bool whole = false;
        const qlonglong value = key.isNull() ? 0 : key.toLongLong(&whole);
        if (!whole)
            return std::nullopt;
        keys.append(QString::number(value));
    }
    return QStringLiteral("Select * from  DEL_mark_mag where  id_group=") + keys[0] + QStringLiteral(" and id_semester=")
        + keys[1] + QStringLiteral(" and id_student=") + keys[2];
}

void markRowsOutsideCurriculum(TDataSet *curriculum, TDataSet *journal, TQZDBGridEvents *component)
{
    component->ErrorList().Clear();
    if (curriculum->RecordCount() >= journal->RecordCount())
        return;
    const TControlsDisabler quiet(journal);
    const QString pair = QStringLiteral("id_discipline;id_examination");
    TField *discipline = journal->FieldByName(QStringLiteral("id_discipline"));
    TField *examination = journal->FieldByName(QStringLiteral("id_examination"));
    journal->First();
    while (!journal->Eof()) {
        const QVariantList key{discipline->Value(), examination->Value()};
        if (curriculum->Lookup(pair, key, QStringLiteral("id_discipline")).isNull())
            component->ErrorList().Add(component->UniqueField()->AsString());
        journal->Next();
    }
}

} // namespace JournalRules
