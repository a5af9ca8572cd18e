// What the data module needs of the journal window: the three selection boxes, the journal grid and the
// status bar. The window implements it, so the module can be built and tested without the window.
#pragma once

#include <QString>

class TDBGridEh;
class TDBLookupComboBox;

class TJournalWindowLink {
public:
    virtual ~TJournalWindowLink() = default;

    /// The group box (DBLookupComboBox1, key id_group).
    virtual TDBLookupComboBox *GroupBox() const = 0;
    /// The semester box (DBLookupComboBox2, key id_semester).
    virtual TDBLookupComboBox *SemesterBox() const = 0;
    /// The student box (DBLookupComboboxEh1, key id_student).
    virtual TDBLookupComboBox *StudentBox() const = 0;
    /// The journal grid (DBGridEh1).
    virtual TDBGridEh *JournalGrid() const = 0;
    /// Writes a panel of the status bar (StatusBar1), 0-based.
    virtual void SetStatusPanelText(int index, const QString &text) = 0;
};
