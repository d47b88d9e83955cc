#include "platform/Dialog.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>

namespace {

// The width in pixels a control has in its template, to which FitControlTexts returns it.
constexpr char kTemplateWidthProperty[] = "templateWidth";


constexpr unsigned WS_DISABLED = 0x08000000u;

// Routes key presses through PreTranslateMessage of the dialogs around the target widget,
// innermost first, before the widget gets them. Installed once on the application.
class CKeyRouter : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::KeyPress && event->type() != QEvent::ShortcutOverride)
            return false;
        auto* widget = qobject_cast<QWidget*>(watched);
        if (!widget)
            return false;
        auto* keyEvent = static_cast<QKeyEvent*>(event);
        for (QWidget* w = widget; w; w = w->parentWidget()) {
            if (auto* dialog = qobject_cast<CDialog*>(w)) {
                if (dialog->PreTranslateMessage(watched, keyEvent)) {
                    // An accepted ShortcutOverride keeps menu shortcuts from firing as well.
                    keyEvent->accept();
                    return true;
                }
            }
            if (w->isWindow())
                break;
        }
        return false;
    }
};

void EnsureKeyRouter() {
    static QPointer<CKeyRouter> router;
    if (router || !qApp)
        return;
    router = new CKeyRouter(qApp);
    qApp->installEventFilter(router);
}

void AddMenuItems(QMenu* menu, const std::vector<MenuItemTemplate>& items) {
    for (const MenuItemTemplate& item : items) {
        if (item.IsSeparator()) {
            menu->addSeparator();
        } else if (item.IsPopup()) {
            QMenu* popup = menu->addMenu(item.text);
            AddMenuItems(popup, item.children);
        } else {
            QAction* action = menu->addAction(item.text);
            action->setData(item.id);
        }
    }
}

Qt::WindowFlags TopLevelFlags(unsigned style, unsigned exStyle) {
    const bool mainWindow = (exStyle & WS_EX_APPWINDOW) ||
                            (style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX)) == (WS_MINIMIZEBOX | WS_MAXIMIZEBOX);
    Qt::WindowFlags flags = mainWindow ? Qt::Window : Qt::Dialog;
    flags |= Qt::CustomizeWindowHint | Qt::WindowTitleHint;
    if (style & WS_SYSMENU)
        flags |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
    if (mainWindow)
        flags |= Qt::WindowMinMaxButtonsHint;
    return flags;
}

} // namespace

int ControlIdOf(const QObject* widget) {
    const QVariant id = widget ? widget->property(kControlIdProperty) : QVariant();
    return id.isValid() ? id.toInt() : 0;
}

QIcon LoadIconResource(int number) {
    return QIcon(QStringLiteral(":/icons/%1.png").arg(number));
}

QMenuBar* LoadMenuBar(int number, QWidget* parent) {
    const MenuTemplate* menuTemplate = FindMenuTemplate(number);
    if (!menuTemplate)
        return nullptr;
    auto* menuBar = new QMenuBar(parent);
    menuBar->setNativeMenuBar(false);
    for (const MenuItemTemplate& popup : menuTemplate->popups) {
        QMenu* menu = menuBar->addMenu(popup.text);
        AddMenuItems(menu, popup.children);
    }
    return menuBar;
}

CDialog::CDialog(int nIDTemplate, QWidget* parent) : QDialog(parent), m_nIDTemplate(nIDTemplate) {
    EnsureKeyRouter();
}

CDialog::~CDialog() = default;

bool CDialog::Create(QWidget* parent) {
    if (m_bCreated)
        return false;
    setParent(parent, Qt::Widget);
    return Build(true);
}

bool CDialog::CreateTopLevel() {
    return !m_bCreated && Build(false);
}

int CDialog::DoModal() {
    if (!m_bCreated && !CreateTopLevel())
        return -1;
    m_bModal = true;
    const int result = exec();
    m_bModal = false;
    return result;
}

void CDialog::EndDialog(int nResult) {
    done(nResult);
}

bool CDialog::Build(bool asChild) {
    const DialogTemplate* dialogTemplate = FindDialogTemplate(m_nIDTemplate);
    if (!dialogTemplate)
        return false;
    m_dwStyle = dialogTemplate->style;
    if (asChild) {
        m_dwStyle |= WS_CHILD;
    } else {
        setWindowFlags(TopLevelFlags(dialogTemplate->style, dialogTemplate->exStyle));
        setWindowTitle(dialogTemplate->caption);
    }
    if (dialogTemplate->menu != 0)
        m_pMenuBar = LoadMenuBar(dialogTemplate->menu, this);
    if (m_pMenuBar) {
        connect(m_pMenuBar, &QMenuBar::triggered, this, [this](QAction* action) {
            if (action->data().isValid())
                OnCommand(action->data().toInt());
        });
    }

    const QSize clientSize = MapDialogSize(dialogTemplate->size);
    resize(clientSize.width(), clientSize.height() + MenuBarHeight());
    if (m_pMenuBar)
        m_pMenuBar->setGeometry(0, 0, width(), MenuBarHeight());
    if (!asChild && !(dialogTemplate->style & WS_THICKFRAME))
        setFixedSize(size());
    CreateControls(*dialogTemplate);
    m_bCreated = true;

    const bool giveFocus = OnInitDialog();
    FitControlTexts();
    if (giveFocus) {
        for (QObject* child : children()) {
            auto* w = qobject_cast<QWidget*>(child);
            if (w && ControlIdOf(w) != 0 && (w->focusPolicy() & Qt::TabFocus) && w->isEnabled()) {
                w->setFocus();
                break;
            }
        }
    }
    // A child without the visible style stays hidden when its parent is shown, until someone
    // shows it (the splitter shows its panes).
    if (asChild)
        setVisible(m_dwStyle & WS_VISIBLE);
    return true;
}

void CDialog::CreateControls(const DialogTemplate& dialogTemplate) {
    QButtonGroup* radioGroup = nullptr;
    for (const ControlTemplate& control : dialogTemplate.controls) {
        QWidget* widget = CreateControl(control);
        if (control.kind == ControlKind::RadioButton) {
            // Radio buttons from one that starts a group up to the next group form one
            // exclusive set.
            if (!radioGroup || (control.style & WS_GROUP))
                radioGroup = new QButtonGroup(this);
            radioGroup->addButton(static_cast<QRadioButton*>(widget));
        } else if (control.style & WS_GROUP) {
            radioGroup = nullptr;
        }
    }
}

QWidget* CDialog::CreateControl(const ControlTemplate& control) {
    QWidget* widget = nullptr;
    switch (control.kind) {
    case ControlKind::PushButton: {
        auto* button = new QPushButton(control.text, this);
        button->setAutoDefault(true);
        if (control.style & BS_DEFPUSHBUTTON) {
            button->setDefault(true);
            m_nDefaultButtonId = control.id;
        }
        const int id = control.id;
        connect(button, &QPushButton::clicked, this, [this, id] { OnCommand(id); });
        widget = button;
        break;
    }
    case ControlKind::Edit:
        if (control.style & ES_MULTILINE) {
            auto* edit = new QPlainTextEdit(control.text, this);
            edit->setReadOnly(control.style & ES_READONLY);
            widget = edit;
        } else {
            auto* edit = new QLineEdit(control.text, this);
            edit->setReadOnly(control.style & ES_READONLY);
            edit->setFrame(control.style & WS_BORDER);
            widget = edit;
        }
        break;
    case ControlKind::Static: {
        auto* label = new QLabel(control.text, this);
        if (control.exStyle & WS_EX_STATICEDGE)
            label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        widget = label;
        break;
    }
    case ControlKind::Icon: {
        auto* label = new QLabel(this);
        const QSize size = MapDialogRect(control.rect).size();
        label->setPixmap(LoadIconResource(control.text.toInt()).pixmap(qMin(size.width(), size.height())));
        widget = label;
        break;
    }
    case ControlKind::RadioButton:
        widget = new QRadioButton(control.text, this);
        break;
    case ControlKind::CheckBox:
        widget = new QCheckBox(control.text, this);
        break;
    }
    widget->setProperty(kControlIdProperty, control.id);
    widget->setProperty(kTemplateWidthProperty, MapDialogRect(control.rect).width());
    widget->setGeometry(MapDialogRect(control.rect).translated(GetClientRect().topLeft()));
    widget->setEnabled(!(control.style & WS_DISABLED));
    widget->setVisible(control.style & WS_VISIBLE);
    return widget;
}

void CDialog::FitControlTexts() {
    for (QObject* child : children()) {
        auto* button = qobject_cast<QAbstractButton*>(child);
        if (!button || !button->property(kTemplateWidthProperty).isValid())
            continue;
        const int templateWidth = button->property(kTemplateWidthProperty).toInt();
        const int width = qMax(templateWidth, button->sizeHint().width());
        if (width != button->width())
            button->resize(width, button->height());
    }
}

QWidget* CDialog::GetDlgItem(int nID) const {
    // The remembered control still answers for the id while it is a child with that id; otherwise
    // the children are searched in their order, as before, and the answer remembered.
    const auto found = m_controlById.find(nID);
    if (found != m_controlById.end() && found->second && found->second->parent() == this &&
        ControlIdOf(found->second) == nID)
        return found->second;
    for (QObject* child : children()) {
        auto* widget = qobject_cast<QWidget*>(child);
        const QVariant id = widget ? widget->property(kControlIdProperty) : QVariant();
        if (id.isValid() && id.toInt() == nID) {
            m_controlById[nID] = widget;
            return widget;
        }
    }
    m_controlById.erase(nID);
    return nullptr;
}

QString CDialog::GetDlgItemText(int nID) const {
    QWidget* item = GetDlgItem(nID);
    if (auto* edit = qobject_cast<QLineEdit*>(item))
        return edit->text();
    if (auto* edit = qobject_cast<QPlainTextEdit*>(item))
        return edit->toPlainText();
    if (auto* button = qobject_cast<QAbstractButton*>(item))
        return button->text();
    if (auto* label = qobject_cast<QLabel*>(item))
        return label->text();
    return item ? item->windowTitle() : QString();
}

void CDialog::SetDlgItemText(int nID, const QString& text) {
    QWidget* item = GetDlgItem(nID);
    if (auto* line = qobject_cast<QLineEdit*>(item))
        line->setText(text);
    else if (auto* lines = qobject_cast<QPlainTextEdit*>(item))
        lines->setPlainText(text);
    else if (auto* button = qobject_cast<QAbstractButton*>(item))
        button->setText(text);
    else if (auto* label = qobject_cast<QLabel*>(item))
        label->setText(text);
    else if (item)
        item->setWindowTitle(text);
}

void CDialog::ModifyStyle(unsigned remove, unsigned add) {
    m_dwStyle = (m_dwStyle & ~remove) | add;
    update();
}

QRect CDialog::GetClientRect() const {
    const int menuHeight = MenuBarHeight();
    return QRect(0, menuHeight, width(), qMax(0, height() - menuHeight));
}

bool CDialog::PreTranslateMessage(QObject*, QKeyEvent*) {
    return false;
}

bool CDialog::OnInitDialog() {
    return true;
}

void CDialog::OnOK() {
    if (m_bModal)
        EndDialog(IDOK);
}

void CDialog::OnCancel() {
    if (m_bModal)
        EndDialog(IDCANCEL);
}

void CDialog::OnCommand(int nID) {
    if (nID == IDOK)
        OnOK();
    else if (nID == IDCANCEL)
        OnCancel();
}

QPushButton* CDialog::TemplateDefaultButton() const {
    return m_nDefaultButtonId != 0 ? qobject_cast<QPushButton*>(GetDlgItem(m_nDefaultButtonId)) : nullptr;
}

bool CDialog::PressEnter() {
    if (auto* focused = qobject_cast<QPushButton*>(focusWidget());
        focused && focused->window() == window() && focused->isEnabled()) {
        focused->click();
        return true;
    }
    QPushButton* defaultButton = TemplateDefaultButton();
    if (defaultButton && defaultButton->isEnabled() && defaultButton->isVisible()) {
        defaultButton->click();
        return true;
    }
    OnOK();
    return true;
}

void CDialog::keyPressEvent(QKeyEvent* e) {
    // Enter and Esc that no control took are this dialog's; they never propagate further, so a
    // child dialog keeps them away from the window around it.
    if (e->modifiers() == Qt::NoModifier || e->modifiers() == Qt::KeypadModifier) {
        if (e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) {
            PressEnter();
            e->accept();
            return;
        }
        if (e->key() == Qt::Key_Escape) {
            OnCancel();
            e->accept();
            return;
        }
    }
    QWidget::keyPressEvent(e);
}

void CDialog::paintEvent(QPaintEvent* e) {
    QDialog::paintEvent(e);
    if ((m_dwStyle & WS_CHILD) && (m_dwStyle & WS_BORDER)) {
        QPainter painter(this);
        painter.setPen(palette().color(QPalette::WindowText));
        painter.drawRect(rect().adjusted(0, 0, -1, -1));
    }
}

void CDialog::resizeEvent(QResizeEvent* e) {
    QDialog::resizeEvent(e);
    if (m_pMenuBar)
        m_pMenuBar->setGeometry(0, 0, width(), MenuBarHeight());
}

bool CDialog::DrawMenuBar() {
    if (!m_pMenuBar)
        return false;
    const int before = m_pMenuBar->height();
    m_pMenuBar->setGeometry(0, 0, width(), MenuBarHeight());
    m_pMenuBar->update();
    return m_pMenuBar->height() != before;
}

int CDialog::MenuBarHeight() const {
    return m_pMenuBar ? m_pMenuBar->sizeHint().height() : 0;
}
