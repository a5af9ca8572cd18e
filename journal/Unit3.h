// The deletion confirmation dialog TForm1: lists the journal rows about to be deleted in a string grid,
// states their count and asks yes or no. The journal window fills it, shows it once and frees it.
#pragma once

#include <QDialog>

class QFrame;
class QLabel;
class TBitBtn;
class TStringGrid;

class TForm1 : public QDialog {
    Q_OBJECT
public:
    static constexpr int DesignedWidth = 696;
    static constexpr int DesignedHeight = 250;
    static constexpr int MinimumWidth = 550;
    static constexpr int MinimumHeight = 250;

    /// Builds the controls as designed, then runs FormCreate.
    explicit TForm1(QWidget *parent = nullptr);

    // Controls, named as on the form.
    QFrame *Panel1;
    QLabel *Warning_Image;
    QLabel *Count_Lbl;
    QLabel *Qst_Lbl;
    TStringGrid *StringGrid;
    QFrame *Panel2;
    QWidget *Btns_Pnl;
    TBitBtn *BitBtn1;
    TBitBtn *BitBtn2;

    // Form events.
    void FormCreate();
    /// Centres the button panel on Panel2 as wide as it is before the resize; every size is allowed.
    void FormCanResize(int &NewWidth, int &NewHeight, bool &Resize);

protected:
    void resizeEvent(QResizeEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void createPanels();
    void createStringGrid();
    void createButtons();
    /// Panels at the top and bottom, the grid between them, for the window's present size.
    void placeBands();
};
