// The grid component's painting of a data cell: the look chosen by the state of the cell's row.
#include "gridevents/QZ_DBGrd_Evns.h"

#include "toolkit/data/DataSet.h"
#include "toolkit/data/Field.h"

bool TQZDBGridEvents::IsFixedColumn(const TColumnEh *column) const
{
    return column && m_attributes->FixedAttr().List().IndexOf(column->Title.Caption.toUpper()) >= 0;
}

int TQZDBGridEvents::AfterPasteIndex() const
{
    if (!m_uniqueField)
        return -1;
    TDataSet *ds = dataSet();
    if (!ds)
        ds = m_uniqueField->DataSet();
    const TField *field = ds ? ds->FindField(m_uniqueField->FieldName()) : nullptr;
    return field ? m_afterPasteList.IndexOf(field->AsString()) : -1;
}

void TQZDBGridEvents::GridDrawColumnCell(QObject *Sender, const QRect &Rect, int DataCol, TColumnEh *Column,
                                         TGridDrawState State)
{
    TCanvas *canvas = m_grid ? m_grid->Canvas() : nullptr;
    if (!canvas || !Column)
        return;
    const TDataSet *ds = dataSet();
    const bool inserting = ds && ds->State() == dsInsert;
    const bool alwaysShowEditor = (m_grid->Options & dgAlwaysShowEditor) != 0;
    const bool noRowSelected = m_grid->SelectedRows().Count() == 0;

    // The look: a colour and a font, of an attribute or of the column.
    TColor color = Column->Color;
    const TFont *font = &Column->Font;
    const auto use = [&](const TQZDBGridAttr &attr) {
        color = attr.Color();
        font = &attr.Font();
    };
    if (State == gdSelected) {
        // While a new row is typed the highlight gives way to the column's look, unless rows are
        // selected (and the editor is not always shown).
        if (!(inserting && (alwaysShowEditor || noRowSelected))) {
            if (IsFixedColumn(Column)) {
                color = m_attributes->FixedAttr().SelColor();
                font = &m_attributes->FixedAttr().SelFont();
            } else {
                use(m_attributes->SelAttr());
            }
        }
    } else if (State == (gdSelected | gdFocused)) {
        if (!(inserting || (alwaysShowEditor && noRowSelected)))
            use(m_attributes->FocusedAttr());
    } else if (m_duplicateList.Count() > 0 && m_duplicateList.IndexOf(BuildDuplicateKey().Key) >= 0) {
        use(m_attributes->DuplicateAttr());
    } else if (m_uniqueField && m_errorList.IndexOf(m_uniqueField->AsString()) >= 0) {
        use(m_attributes->ErrorAttr());
    } else if (AfterPasteIndex() != -1) {
        use(m_attributes->AfterPasteAttr());
    }
    canvas->Brush.Color = color;
    canvas->Font = *font;

    const TField *field = Column->Field();
    const QString text = field ? field->AsString() : QString();
    const int x = AlignedTextX(Column->Alignment, Rect, canvas->TextWidth(text));
    const int y = CenteredTextY(Rect, canvas->TextHeight(text));
    canvas->TextRect(Rect, x, y, text);

    if (OnDrawColumnCell)
        OnDrawColumnCell(Sender, Rect, DataCol, Column, State);
}
