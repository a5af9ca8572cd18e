// The grid's in-place editor: which cells take one, the editor kinds (text with an edit mask, pick
// list, lookup list), and writing the edited value into the row through OnUpdateData and the field.
#include "toolkit/ui/DBGridEhPrivate.h"

#include "toolkit/ui/DBControlGuard.h"
#include "toolkit/ui/DBGridModel.h"
#include "toolkit/ui/DBGridParts.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QRegularExpression>
#include <QScopedValueRollback>
#include <QSignalBlocker>
#include <QTimer>

namespace {

/// A column's edit mask ("##/##/####", "!99/99/0000;1;_": the mask, then whether literals are kept, then the
/// blank character) as a QLineEdit input mask.
QString qtInputMask(const QString &editMask)
{
    if (editMask.isEmpty())
        return {};
    const QStringList parts = editMask.split(QLatin1Char(';'));
    const QString mask = parts.value(0);
    const QString blank = parts.size() > 2 && !parts[2].isEmpty() ? parts[2].left(1) : QStringLiteral("_");
    static const QString qtSpecial = QStringLiteral("AaNnXx90Dd#HhBb><!{}[]\\");
    QString result;
    for (int i = 0; i < mask.size(); ++i) {
        const QChar c = mask[i];
        switch (c.unicode()) {
        case '#':
        case '0': result += QLatin1Char('9'); break;
        case '9': result += QLatin1Char('0'); break;
        case 'L': result += QLatin1Char('A'); break;
        case 'l': result += QLatin1Char('a'); break;
        case 'A': result += QLatin1Char('N'); break;
        case 'a': result += QLatin1Char('n'); break;
        case 'C': result += QLatin1Char('X'); break;
        case 'c': result += QLatin1Char('x'); break;
        case '>':
        case '<': result += c; break;
        case '!': break;
        case '\\':
            if (i + 1 < mask.size()) {
                const QChar next = mask[++i];
                if (qtSpecial.contains(next))
                    result += QLatin1Char('\\');
                result += next;
            }
            break;
        default:
            if (qtSpecial.contains(c))
                result += QLatin1Char('\\');
            result += c;
        }
    }
    return result + QLatin1Char(';') + blank;
}

/// The date separator a mask uses ("/" for "##/##/####").
QChar maskSeparator(const QString &editMask)
{
    for (const QChar c : editMask) {
        if (c == QLatin1Char(';'))
            break;
        if (!c.isLetterOrNumber() && c != QLatin1Char('#') && c != QLatin1Char('!') && c != QLatin1Char('\\'))
            return c;
    }
    return QLatin1Char('/');
}

/// dd/mm/yyyy or dd.mm.yyyy (two-digit years are of this century below 50); null when nothing was typed.
QVariant parseMaskedDate(const QString &text, const TField *field)
{
    QString typed = text;
    typed.remove(QLatin1Char('_'));
    if (!typed.contains(QRegularExpression(QStringLiteral("\\d"))))
        return QVariant();
    static const QRegularExpression pattern(QStringLiteral("^\\s*(\\d{1,2})\\s*[./-]\\s*(\\d{1,2})\\s*[./-]\\s*(\\d{4}|\\d{2})\\s*$"));
    const QRegularExpressionMatch match = pattern.match(typed);
    QDate date;
    if (match.hasMatch()) {
        int year = match.captured(3).toInt();
        if (match.captured(3).size() == 2)
            year += year < 50 ? 2000 : 1900;
        date = QDate(year, match.captured(2).toInt(), match.captured(1).toInt());
    }
    if (!date.isValid())
        throw EConvertError(QStringLiteral("'%1' is not a valid date").arg(text));
    if (field->DataType() == ftDate)
        return date;
    return QDateTime(date, QTime(0, 0));
}

/// The lookup field's list: result texts of the list's rows in its current order, keys as item data.
void fillLookupItems(QComboBox *box, const TField *field)
{
    const QSignalBlocker quiet(box);
    box->clear();
    TDataSet *list = field->LookupDataSet();
    if (!list || !list->Active())
        return;
    TField *key = list->FindField(field->LookupKeyFields());
    TField *result = list->FindField(field->LookupResultField());
    if (!key || !result)
        return;
    const int rows = list->DisplayRowCount();
    for (int row = 0; row < rows; ++row) {
        const TDataSet::RecordScope scope(list, row);
        box->addItem(result->DisplayText(), key->Value());
    }
}

QVariant lookupKeyValue(const TField *field)
{
    TDataSet *dataSet = field->DataSet();
    TField *key = dataSet ? dataSet->FindField(field->KeyFields()) : nullptr;
    return key ? key->Value() : QVariant();
}

} // namespace

bool TDBGridEhPrivate::cellEditable(int col) const
{
    const TColumnEh *columnEh = column(col);
    if (!columnEh || columnEh->ReadOnly || !(q->Options & dgEditing))
        return false;
    TField *field = columnEh->Field();
    if (!field || field->ReadOnly())
        return false;
    if (columnEh->Checkboxes && field->DataType() == ftBoolean)
        return false;   // ticked by click or Space, not through an editor
    switch (field->FieldKind()) {
    case fkData: return true;
    case fkLookup: {
        TDataSet *ds = field->DataSet();
        TField *key = ds ? ds->FindField(field->KeyFields()) : nullptr;
        return key && !key->ReadOnly() && field->LookupDataSet();
    }
    case fkCalculated:
    case fkInternalCalc: break;
    }
    return false;
}

bool TDBGridEhPrivate::canOpenEditor() const
{
    const int row = currentRow();
    return active() && q->isEnabled() && !(q->Options & dgRowSelect) && row >= 0 && row < model->rowCount() &&
           cellEditable(currentColumn);
}

bool TDBGridEhPrivate::openEditor()
{
    if (editor)
        return true;
    if (!canOpenEditor())
        return false;
    const QModelIndex index = model->index(currentRow(), currentColumn);
    if (q->currentIndex() != index)
        followCurrent();
    if (editor)
        return true;
    q->edit(index, QAbstractItemView::AllEditTriggers, nullptr);
    return editor != nullptr;
}

void TDBGridEhPrivate::closeEditor()
{
    if (!editor)
        return;
    QWidget *closing = editor;
    editorModified = false;
    q->closeEditor(closing, QAbstractItemDelegate::NoHint);
    if (editor == closing) {
        // Not one the view knew (already released by a reset): just get rid of it.
        closing->hide();
        closing->deleteLater();
        editorClosed(closing);
    }
}

void TDBGridEhPrivate::editorClosed(QWidget *closed)
{
    if (editor != closed)
        return;
    editor = nullptr;
    editorColumn = -1;
    editorRow = -1;
    editorModified = false;
}

void TDBGridEhPrivate::queueEditorOpen()
{
    if (editorOpenQueued)
        return;
    editorOpenQueued = true;
    // Not from inside the focus change itself: the editor takes the focus when it opens.
    QTimer::singleShot(0, this, [this] {
        editorOpenQueued = false;
        if (!editor && (q->Options & dgAlwaysShowEditor) && gridHasFocus())
            openEditor();
    });
}

bool TDBGridEhPrivate::ensureEditing()
{
    TDataSet *ds = dataSet();
    if (!active())
        return false;
    if (ds->State() == dsEdit || ds->State() == dsInsert)
        return true;
    return runDataControlOperation([&] { ds->Edit(); });
}

void TDBGridEhPrivate::editorTouched()
{
    if (editorModified)
        return;
    // Marked first: entering edit state reloads unmodified editors and would eat the keystroke.
    editorModified = true;
    if (!ensureEditing()) {
        editorModified = false;
        reloadEditor();
    }
}

void TDBGridEhPrivate::editorChosen()
{
    editorModified = true;
    if (!ensureEditing()) {
        editorModified = false;
        reloadEditor();
        return;
    }
    commitEditor();
}

bool TDBGridEhPrivate::commitEditor()
{
    if (!editor || !editorModified)
        return true;
    // The box that reports a refused value takes the focus from the editor; that focus-out must not
    // write, and report, the same value a second time while the first report is open.
    if (committing)
        return false;
    const QScopedValueRollback inProgress(committing, true);
    TColumnEh *columnEh = column(editorColumn);
    if (!columnEh || !active() || editorRow != currentRow()) {
        editorModified = false;   // the row it was typed for is gone
        return true;
    }
    QString text;
    QVariant value;
    bool useText = true;
    if (!runDataControlOperation([&] { readEditor(&text, &value, &useText); }))
        return false;
    if (!storeCellValue(columnEh, text, value, useText))
        return false;
    editorModified = false;
    reloadEditor();
    return true;
}

bool TDBGridEhPrivate::storeCellValue(TColumnEh *col, QString text, QVariant value, bool useText)
{
    TField *field = col ? col->Field() : nullptr;
    TDataSet *ds = dataSet();
    if (!field || !ds)
        return false;
    return runDataControlOperation([&] {
        if (ds->State() != dsEdit && ds->State() != dsInsert)
            ds->Edit();
        bool handled = false;
        if (col->OnUpdateData)
            col->OnUpdateData(q, text, value, useText, handled);
        if (handled)
            return;
        if (field->FieldKind() == fkLookup) {
            const QList<TField *> keys = ds->FieldsByNames(field->KeyFields());
            if (keys.size() == 1) {
                keys.front()->setValue(value);
            } else {
                const QVariantList values = value.toList();
                for (int i = 0; i < keys.size(); ++i)
                    keys[i]->setValue(values.value(i));
            }
        } else if (useText) {
            field->setAsString(text);
        } else {
            field->setValue(value);
        }
    });
}

void TDBGridEhPrivate::readEditor(QString *text, QVariant *value, bool *useText) const
{
    const TColumnEh *columnEh = column(editorColumn);
    const TField *field = columnEh ? columnEh->Field() : nullptr;
    if (!field)
        return;
    if (auto *box = qobject_cast<QComboBox *>(editor.data())) {
        *text = box->currentText();
        if (field->FieldKind() == fkLookup) {
            *value = box->currentIndex() >= 0 ? box->currentData() : QVariant();
            *useText = false;
        } else {
            *value = *text;
            *useText = true;
        }
        return;
    }
    auto *edit = qobject_cast<QLineEdit *>(editor.data());
    if (!edit)
        return;
    *text = edit->text();
    if (!edit->inputMask().isEmpty() && field->IsDateType()) {
        *value = parseMaskedDate(*text, field);
        *useText = false;
        return;
    }
    *value = *text;
    *useText = true;
}

void TDBGridEhPrivate::reloadEditor()
{
    if (editor)
        loadEditor(editor, editorColumn);
}

void TDBGridEhPrivate::cancelEdit()
{
    TDataSet *ds = dataSet();
    editorModified = false;
    if (active() && (ds->State() == dsEdit || ds->State() == dsInsert))
        runDataControlOperation([&] { ds->Cancel(); });
    reloadEditor();
    if (!(q->Options & dgAlwaysShowEditor))
        closeEditor();
}

void TDBGridEhPrivate::toggleCheckbox(int col)
{
    TColumnEh *columnEh = column(col);
    TField *field = columnEh ? columnEh->Field() : nullptr;
    if (!field || !columnEh->Checkboxes || field->DataType() != ftBoolean || columnEh->ReadOnly || field->ReadOnly() ||
        !(q->Options & dgEditing) || !active())
        return;
    const bool ticked = !field->AsBoolean();
    storeCellValue(columnEh, ticked ? QStringLiteral("True") : QStringLiteral("False"), ticked, false);
}

QWidget *TDBGridEhPrivate::createEditor(QWidget *parent, int col)
{
    TColumnEh *columnEh = column(col);
    TField *field = columnEh ? columnEh->Field() : nullptr;
    if (!field)
        return nullptr;
    QWidget *widget = nullptr;
    if (field->FieldKind() == fkLookup || !columnEh->PickList.isEmpty()) {
        auto *box = new TDBGridDropDown(parent);
        const bool lookup = field->FieldKind() == fkLookup;
        box->setEditable(!lookup);
        if (lookup) {
            box->BeforePopup = [this, box, field] {
                if (editorModified)
                    return;
                fillLookupItems(box, field);
                loadEditor(box, editorColumn);
            };
        } else {
            box->setInsertPolicy(QComboBox::NoInsert);
            box->setCompleter(nullptr);
            box->addItems(columnEh->PickList);
            connect(box->lineEdit(), &QLineEdit::textEdited, this, [this] { editorTouched(); });
            box->lineEdit()->installEventFilter(delegate);
        }
        if (columnEh->DropDownWidth > 0)
            box->view()->setMinimumWidth(columnEh->DropDownWidth);
        connect(box, &QComboBox::activated, this, [this] { editorChosen(); });
        widget = box;
    } else {
        auto *edit = new QLineEdit(parent);
        edit->setFrame(false);
        const QString mask = qtInputMask(field->EditMask());
        if (!mask.isEmpty())
            edit->setInputMask(mask);
        else if (field->IsStringType() && field->Size() > 0)
            edit->setMaxLength(field->Size());
        connect(edit, &QLineEdit::textEdited, this, [this] { editorTouched(); });
        widget = edit;
    }
    widget->setFont(columnEh->Font.toQFont());
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Base, ColorToQColor(columnEh->Color));
    palette.setColor(QPalette::Text, ColorToQColor(columnEh->Font.Color()));
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
    editor = widget;
    editorColumn = col;
    editorRow = currentRow();
    editorModified = false;
    return widget;
}

void TDBGridEhPrivate::loadEditor(QWidget *editorWidget, int col)
{
    const TColumnEh *columnEh = column(col);
    TField *field = columnEh ? columnEh->Field() : nullptr;
    if (!field || !editorWidget)
        return;
    const QSignalBlocker quiet(editorWidget);
    try {
        if (auto *box = qobject_cast<QComboBox *>(editorWidget)) {
            if (field->FieldKind() == fkLookup) {
                if (box->count() == 0)
                    fillLookupItems(box, field);
                const QVariant key = lookupKeyValue(field);
                int found = -1;
                for (int i = 0; i < box->count() && found < 0; ++i) {
                    if (sameKeyValue(box->itemData(i), key))
                        found = i;
                }
                box->setCurrentIndex(found);
            } else {
                const QSignalBlocker quietText(box->lineEdit());
                box->setEditText(field->AsString());
            }
            return;
        }
        if (auto *edit = qobject_cast<QLineEdit *>(editorWidget)) {
            if (!edit->inputMask().isEmpty() && field->IsDateType()) {
                const QString format = QStringLiteral("dd%1MM%1yyyy").arg(maskSeparator(field->EditMask()));
                edit->setText(field->IsNull() ? QString() : field->AsDateTime().date().toString(format));
            } else {
                edit->setText(field->AsString());
            }
            edit->selectAll();
        }
    } catch (const std::exception &error) {
        qWarning("grid: the editor could not show the value: %s", error.what());
    }
}

bool TDBGridEhPrivate::editorEvent(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    case QEvent::KeyPress:
        if (replayingKey)
            return false;
        handleKeyPress(static_cast<QKeyEvent *>(event), watched);
        return true;
    case QEvent::KeyRelease:
        if (replayingKey)
            return false;
        raiseKeyUp(static_cast<QKeyEvent *>(event));
        return true;
    case QEvent::FocusOut:
        // Leaving the grid (not for the drop-down) writes what was typed, as leaving the cell would.
        if (static_cast<QFocusEvent *>(event)->reason() != Qt::PopupFocusReason && !gridHasFocus())
            commitEditor();
        return false;
    default: return false;
    }
}

QRect TDBGridEhPrivate::editorRect(const QRect &cell) const
{
    return innerRect(cell);
}
