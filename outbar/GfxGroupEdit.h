#pragma once
// The short-lived edit placed over a folder header or an item label to rename it in place.
// Return commits, Escape abandons, and losing the focus ends the edit; the new text is reported
// once to the bar, and the edit then closes and deletes itself.

#include <QString>
#include <QTextEdit>

class CGfxGroupEdit : public QTextEdit {
    Q_OBJECT

public:
    enum Kind { KindItem = 2, KindFolder = 3 };

    explicit CGfxGroupEdit(QWidget* bar);

    // Places the edit (rectangle in the bar's client coordinates) and gives it the text and focus.
    // Folder names and large-view labels are edited multi-line and centred; small-view labels on
    // one line that follows the text.
    void Open(int kind, int index, const QRect& rect, bool singleLine, bool border, const QString& text);

    int m_bCancelled = 0;
    QString m_strText;
    int m_nKind = KindFolder;
    bool m_bSingleLine = false;
    int m_nIndex = -1;
    // The folder that was current when an item's edit opened; the bar drops the new text when
    // another folder has become current since (the index would name an item of that folder).
    int m_nFolder = -1;

protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void PostClose();
    bool HandleEndKey(QEvent* event); // Return and Escape: true when the key ended the edit
    void FitToText();
    void Finish(); // reports the text once, unless cancelled or empty

    bool m_bReported = false;
};
