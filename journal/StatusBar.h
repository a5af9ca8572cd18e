// The journal window's status bar: a row of fixed-width panels, each with a text of its own.
#pragma once

#include "toolkit/ui/DBGridEh.h"

#include <QString>
#include <QWidget>

#include <vector>

class QLabel;

class TStatusBar : public QWidget {
    Q_OBJECT
public:
    explicit TStatusBar(QWidget *parent = nullptr);

    /// Appends a panel of width pixels; the panels keep their widths whatever the bar's width.
    void AddPanel(int width, const QString &text, TAlignment alignment = taLeftJustify);
    int PanelCount() const { return int(m_panels.size()); }
    /// The text of panel index (0-based); empty for a panel that does not exist.
    QString PanelText(int index) const;
    void setPanelText(int index, const QString &text);
    int PanelWidth(int index) const;
    TAlignment PanelAlignment(int index) const;

private:
    struct Panel {
        QLabel *label;
        TAlignment alignment;
    };
    std::vector<Panel> m_panels;
};
