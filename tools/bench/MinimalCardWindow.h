#pragma once

// The least display work a Qt program does for one Mass Production card: a 24-point line edit gets the
// next card number, a plain-text log gets one line, and the window is repainted once. The benchmarks
// hold the real page's host time a card against it.

#include <QWidget>

class QLineEdit;
class QPlainTextEdit;

class CMinimalCardWindow : public QWidget {
public:
    // The field and the log get the given sizes, so that as many pixels are repainted as in the page.
    CMinimalCardWindow(QSize fieldSize, QSize logSize);

    // One card: the field's text, the log line, and the repaint that the events bring; returns the time it took.
    qint64 ShowCard();
    // Earlier lines in the log, as a log that has been running for a while holds them.
    void FillLog(int lines);

    QSize FieldSize() const;
    QSize LogSize() const;

private:
    QLineEdit* m_pField;
    QPlainTextEdit* m_pLog;
    quint64 m_nCardNo = 1;
};
