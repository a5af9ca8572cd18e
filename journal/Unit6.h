// The restore window TForm5: lists the deleted journal rows of the chosen group, semester and student with a
// tick box each, and on OK brings the ticked rows back into the journal. Created for one use by the journal window.
#pragma once

#include "toolkit/ui/Graphics.h"

#include <QDialog>

#include <exception>

class QLabel;
class TBitBtn;
class TForm2;
class TQZDBGridEh;

class TForm5 : public QDialog {
    Q_OBJECT
public:
    static constexpr int DesignedLeft = 18;
    static constexpr int DesignedTop = 119;
    static constexpr int DesignedWidth = 1008;
    static constexpr int DesignedHeight = 399;
    /// The background of the columns that say who deleted a row and when (red 255, green 94, blue 94).
    static constexpr TColor DeletionColor = 6184703;

    /// journalWindow: whose selection the rows are restored into and whose journal is reloaded; it outlives
    /// this window.
    explicit TForm5(TForm2 *journalWindow, QWidget *parent = nullptr);

    // Controls, named as on the form.
    TQZDBGridEh *DBGridEh1;
    QLabel *Label1;
    TBitBtn *BitBtn1;

    /// Stores the current tick, restores the ticked rows on the server and reloads both lists.
    void BitBtn1Click(QObject *Sender);

    /// Raises again the error a click on OK ended with, once, so that it reaches the user after the
    /// opener has closed the window and what it opened.
    void rethrowFailure();

private:
    void createGrid();
    void createGridColumns();
    void createBottomRow();

    TForm2 *m_journalWindow;
    std::exception_ptr m_failure;
};
