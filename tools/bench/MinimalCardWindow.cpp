#include "tools/bench/MinimalCardWindow.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QVBoxLayout>

CMinimalCardWindow::CMinimalCardWindow(QSize fieldSize, QSize logSize)
    : m_pField(new QLineEdit(this)), m_pLog(new QPlainTextEdit(this)) {
    QFont font = m_pField->font();
    font.setPointSize(24);
    m_pField->setFont(font);
    m_pField->setFixedSize(fieldSize);
    m_pLog->setReadOnly(true);
    m_pLog->setUndoRedoEnabled(false);
    m_pLog->setMaximumBlockCount(10000);
    m_pLog->setFixedSize(logSize);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_pField);
    layout->addWidget(m_pLog);
    setWindowTitle(QStringLiteral("Minimal card display"));
}

qint64 CMinimalCardWindow::ShowCard() {
    QElapsedTimer clock;
    clock.start();
    m_pField->setText(QString::number(++m_nCardNo));
    m_pLog->appendPlainText(QStringLiteral("WRITE CARD SUCCESS\u221A"));
    QCoreApplication::processEvents();
    return clock.nsecsElapsed();
}

void CMinimalCardWindow::FillLog(int lines) {
    for (int line = 0; line < lines; ++line)
        m_pLog->appendPlainText(QStringLiteral("EARLIER CARD %1").arg(line));
    QCoreApplication::processEvents();
}

QSize CMinimalCardWindow::FieldSize() const {
    return m_pField->size();
}

QSize CMinimalCardWindow::LogSize() const {
    return m_pLog->size();
}
