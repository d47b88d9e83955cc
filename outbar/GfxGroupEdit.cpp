#include "outbar/GfxGroupEdit.h"

#include "outbar/GfxOutBarCtrl.h"
#include "outbar/OutBarGeometry.h"

#include <QApplication>
#include <QFocusEvent>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QScrollBar>
#include <QTextBlock>

CGfxGroupEdit::CGfxGroupEdit(QWidget* bar) : QTextEdit(bar) {
    setAttribute(Qt::WA_DeleteOnClose);
    setAcceptRichText(false);
    setContextMenuPolicy(Qt::NoContextMenu);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setFont(QApplication::font());
    document()->setDocumentMargin(1);
}

void CGfxGroupEdit::Open(int kind, int index, const QRect& rect, bool singleLine, bool border,
                         const QString& text) {
    m_nKind = kind;
    m_nIndex = index;
    m_bSingleLine = singleLine;
    setFrameStyle(border ? (QFrame::Box | QFrame::Plain) : (QFrame::StyledPanel | QFrame::Sunken));
    setLineWrapMode(singleLine ? QTextEdit::NoWrap : QTextEdit::WidgetWidth);
    setGeometry(rect);
    setPlainText(text);
    if (!singleLine) {
        QTextCursor cursor(document());
        cursor.select(QTextCursor::Document);
        QTextBlockFormat centred;
        centred.setAlignment(Qt::AlignHCenter);
        cursor.mergeBlockFormat(centred);
    }
    moveCursor(QTextCursor::End);
    // Filters installed last run first: this one runs before the key routing of the dialogs.
    qApp->installEventFilter(this);
    show();
    setFocus(Qt::OtherFocusReason);
}

void CGfxGroupEdit::PostClose() {
    QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
}

bool CGfxGroupEdit::event(QEvent* e) {
    // Return and Escape end the edit before the text control sees them, and never reach a dialog
    // around the bar as a shortcut.
    if (HandleEndKey(e))
        return true;
    return QTextEdit::event(e);
}

bool CGfxGroupEdit::eventFilter(QObject* watched, QEvent* e) {
    // The edit watches the application's key presses from the moment it opens, so it sees its own
    // Return and Escape before a dialog around the bar that swallows Escape; otherwise Escape
    // would leave the edit open.
    if (watched == this && HandleEndKey(e))
        return true;
    return QTextEdit::eventFilter(watched, e);
}

bool CGfxGroupEdit::HandleEndKey(QEvent* e) {
    if (e->type() != QEvent::ShortcutOverride && e->type() != QEvent::KeyPress)
        return false;
    const int key = static_cast<QKeyEvent*>(e)->key();
    const bool commit = key == Qt::Key_Return || key == Qt::Key_Enter;
    const bool cancel = key == Qt::Key_Escape;
    if (!commit && !cancel)
        return false;
    if (e->type() == QEvent::KeyPress) {
        if (cancel)
            m_bCancelled = 1;
        PostClose();
        // Handing the focus back to the bar ends the edit through the focus loss, which reports
        // the text unless the edit was cancelled.
        if (QWidget* bar = parentWidget())
            bar->setFocus(Qt::OtherFocusReason);
    }
    e->accept();
    return true;
}

void CGfxGroupEdit::keyPressEvent(QKeyEvent* e) {
    QTextEdit::keyPressEvent(e);
    if (m_nKind == KindFolder)
        return; // a folder name keeps the size of its header
    if (!e->text().isEmpty() || e->key() == Qt::Key_Backspace)
        FitToText();
}

void CGfxGroupEdit::FitToText() {
    QWidget* bar = parentWidget();
    if (!bar)
        return;
    const BarRect r = BarRect::FromQRect(geometry());
    const BarRect B = BarRect::FromQRect(bar->rect());
    const QFontMetrics metrics(bar->font());
    const QString text = toPlainText();
    BarRect fitted;
    if (m_bSingleLine) {
        const int width = metrics.horizontalAdvance(text);
        fitted = FitSingleLineEdit(r, r.left + width, B);
    } else {
        const QRect measured =
            metrics.boundingRect(QRect(0, 0, r.Width(), 0), Qt::AlignHCenter | Qt::TextWordWrap, text);
        fitted = FitMultiLineEdit(r, measured.size(), B);
    }
    if (!(fitted == r))
        setGeometry(fitted.ToQRect());
}

void CGfxGroupEdit::focusOutEvent(QFocusEvent* e) {
    QTextEdit::focusOutEvent(e);
    PostClose();
    Finish();
}

void CGfxGroupEdit::closeEvent(QCloseEvent* e) {
    // Closed while still holding the focus (no focus loss will follow): end the edit now.
    if (hasFocus())
        Finish();
    QTextEdit::closeEvent(e);
}

void CGfxGroupEdit::Finish() {
    if (m_bCancelled || m_bReported)
        return;
    m_bReported = true; // one report per edit, however often the focus goes
    m_strText = toPlainText();
    if (m_strText.isEmpty())
        return;
    if (auto* receiver = dynamic_cast<CGfxGroupEditReceiver*>(parentWidget()))
        receiver->OnGroupEditNotify(m_nKind, this);
}
