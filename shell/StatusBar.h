#pragma once

// CStatusBar: the status bar at the bottom of the main window, a row of text panes. A pane has
// an id, a style (normal, or stretch: it takes the width the other panes leave) and a width.

#include <QString>
#include <QWidget>
#include <vector>

constexpr unsigned SBPS_NORMAL = 0x0000u;
constexpr unsigned SBPS_STRETCH = 0x08000000u;

// The initial texts of string resources 101 to 103 ("Ready", "00:00:00", ...); empty for
// other numbers.
QString LoadStringResource(int nID);

class CStatusBar : public QWidget {
    Q_OBJECT
public:
    explicit CStatusBar(QWidget* parent = nullptr);

    // One pane per id, each starting with the text of the string resource of that id.
    bool SetIndicators(const std::vector<int>& ids);
    void SetPaneInfo(int nIndex, int nID, unsigned nStyle, int cxWidth);
    bool SetPaneText(int nIndex, const QString& text, bool bUpdate = true);
    QString GetPaneText(int nIndex) const;
    int GetPaneCount() const { return static_cast<int>(m_Panes.size()); }
    // The pane's rectangle in the status bar's coordinates.
    QRect GetItemRect(int nIndex) const;

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* e) override;

private:
    struct Pane {
        int nID = 0;
        unsigned nStyle = SBPS_NORMAL;
        int cxWidth = 0;
        QString text;
    };
    bool IsValidIndex(int nIndex) const { return nIndex >= 0 && nIndex < GetPaneCount(); }

    std::vector<Pane> m_Panes;
};
