#include "outbar/GfxPopupMenu.h"

#include "platform/SystemColors.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QFontMetrics>
#include <QIcon>
#include <QMenu>
#include <QPainter>
#include <QProxyStyle>
#include <QStyleOptionMenuItem>
#include <QtEndian>

namespace {

// Marks an entry as converted; the value is the address of its record.
constexpr const char* kRecordProperty = "gfxMenuRecord";

} // namespace

// The style set on the converted menu only: it hands entry measuring and painting to the menu
// object, and lets a disabled entry be highlighted like any other.
class CGfxPopupMenuStyle : public QProxyStyle {
public:
    explicit CGfxPopupMenuStyle(const CGfxPopupMenu* owner) : m_pOwner(owner) {}

    QSize sizeFromContents(ContentsType type, const QStyleOption* option, const QSize& size,
                           const QWidget* widget) const override {
        if (type == CT_MenuItem) {
            if (const CGfxPopupMenu::MenuItemRecord* record = RecordFor(option, widget))
                return m_pOwner->MeasureItem(*record);
        }
        return QProxyStyle::sizeFromContents(type, option, size, widget);
    }

    void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget) const override {
        if (element == CE_MenuItem) {
            const auto* menu = qobject_cast<const QMenu*>(widget);
            const QAction* action = menu ? menu->actionAt(option->rect.center()) : nullptr;
            if (const CGfxPopupMenu::MenuItemRecord* record = CGfxPopupMenu::RecordOf(action)) {
                unsigned state = 0;
                if (option->state & State_Selected)
                    state |= ODS_SELECTED;
                if (!(option->state & State_Enabled))
                    state |= ODS_DISABLED;
                if (action->isChecked())
                    state |= ODS_CHECKED;
                if (menu->defaultAction() == action)
                    state |= ODS_DEFAULT;
                m_pOwner->DrawItem(*painter, option->rect, *record, state);
                return;
            }
        }
        QProxyStyle::drawControl(element, option, painter, widget);
    }

    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returnData) const override {
        if (hint == SH_Menu_AllowActiveAndDisabled)
            return 1;
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }

private:
    // A measure request carries no item: find the converted entry by its kind and text.
    static const CGfxPopupMenu::MenuItemRecord* RecordFor(const QStyleOption* option, const QWidget* widget) {
        const auto* itemOption = qstyleoption_cast<const QStyleOptionMenuItem*>(option);
        const auto* menu = qobject_cast<const QMenu*>(widget);
        if (!itemOption || !menu)
            return nullptr;
        const bool separator = itemOption->menuItemType == QStyleOptionMenuItem::Separator;
        for (const QAction* action : menu->actions()) {
            const CGfxPopupMenu::MenuItemRecord* record = CGfxPopupMenu::RecordOf(action);
            if (!record || action->isSeparator() != separator)
                continue;
            if (separator || record->Text() == itemOption->text)
                return record;
        }
        return nullptr;
    }

    const CGfxPopupMenu* m_pOwner;
};

std::function<QAction*(QMenu*, QPoint)> CGfxPopupMenu::s_trackHook;

void CGfxCmdUI::Enable(bool on) {
    if (m_pAction)
        m_pAction->setEnabled(on);
}

void CGfxCmdUI::SetCheck(int check) {
    if (!m_pAction)
        return;
    m_pAction->setCheckable(check != 0);
    m_pAction->setChecked(check != 0);
}

CGfxPopupMenu::CGfxPopupMenu()
    : m_crMenuText(SystemColor(COLOR_MENUTEXT)), m_crHighlightText(SystemColor(COLOR_HIGHLIGHTTEXT)),
      m_crBtnFace(SystemColor(COLOR_BTNFACE)), m_crMenu(SystemColor(COLOR_MENU)),
      m_crHighlight(SystemColor(COLOR_HIGHLIGHT)), m_crBtnHighlight(SystemColor(COLOR_BTNHIGHLIGHT)),
      m_crBtnShadow(SystemColor(COLOR_BTNSHADOW)), m_crGrayText(SystemColor(COLOR_GRAYTEXT)),
      m_pStyle(std::make_unique<CGfxPopupMenuStyle>(this)) {
    m_fontMenu = QApplication::font("QMenu");
    m_fontBold = m_fontMenu;
    m_fontBold.setWeight(QFont::Bold);
}

CGfxPopupMenu::~CGfxPopupMenu() {
    DestroyMenu();
}

bool CGfxPopupMenu::CreatePopupMenu() {
    DestroyMenu();
    m_pMenu = std::make_unique<QMenu>();
    return true;
}

QAction* CGfxPopupMenu::AppendMenu(int command, const QString& text) {
    if (!m_pMenu)
        return nullptr;
    QAction* action = m_pMenu->addAction(text);
    action->setData(command);
    return action;
}

QAction* CGfxPopupMenu::AppendSeparator() {
    return m_pMenu ? m_pMenu->addSeparator() : nullptr;
}

void CGfxPopupMenu::DestroyMenu() {
    m_pMenu.reset();
}

bool CGfxPopupMenu::LoadToolBarResource() {
    return LoadToolBarResource(QStringLiteral(":/toolbar/128"), QStringLiteral(":/bitmap/128"));
}

bool CGfxPopupMenu::LoadToolBarResource(const QString& toolbarPath, const QString& bitmapPath) {
    QFile file(toolbarPath);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray bytes = file.readAll();
    auto word = [&](int i) {
        return quint16(quint8(bytes.at(2 * i)) | quint8(bytes.at(2 * i + 1)) << 8); // little-endian
    };
    if (bytes.size() < 8)
        return false;
    const int width = word(1);
    const int height = word(2);
    const int count = word(3);
    if (bytes.size() < 2 * (4 + count) || !m_ilImages.Create(width, height))
        return false;
    QImage strip;
    if (!strip.load(bitmapPath))
        return false;
    ImageWidth = width;
    ImageHeight = height;
    m_ilImages.Add(strip, QColor(192, 192, 192));
    int image = 0;
    for (int i = 0; i < count; ++i) {
        const qint32 command = word(4 + i);
        if (command != 0)
            m_arImageMap.emplace_back(image++, command);
    }
    return true;
}

int CGfxPopupMenu::ImageOfCommand(int command) const {
    for (const auto& [image, id] : m_arImageMap) {
        if (id == command)
            return image;
    }
    return -1;
}

const CGfxPopupMenu::MenuItemRecord* CGfxPopupMenu::RecordOf(const QAction* action) {
    if (!action)
        return nullptr;
    return static_cast<const MenuItemRecord*>(action->property(kRecordProperty).value<const void*>());
}

void CGfxPopupMenu::ConvertMenu(QMenu* menu) {
    if (!menu)
        return;
    const QList<QAction*> actions = menu->actions();
    for (auto it = actions.rbegin(); it != actions.rend(); ++it) {
        QAction* action = *it;
        if (RecordOf(action))
            continue; // already drawn by a menu object
        auto record = std::make_unique<MenuItemRecord>();
        // Records hold at most 127 characters; longer texts are cut there.
        const QString text = action->isSeparator() ? QStringLiteral("--") : action->text().left(127);
        std::copy(text.utf16(), text.utf16() + text.size(), record->text);
        if (action->isSeparator()) {
            record->command = ItemSeparator;
            record->image = ItemSeparator;
        } else {
            record->command = action->data().toInt();
            record->image = ImageOfCommand(record->command);
        }
        action->setProperty(kRecordProperty, QVariant::fromValue<const void*>(record.get()));
        m_arRecords.push_back(std::move(record));
    }
    menu->setStyle(m_pStyle.get());
}

void CGfxPopupMenu::UpdateMenuState(QMenu* menu, CGfxCmdTarget* target) {
    if (!menu || !target)
        return;
    const QList<QAction*> actions = menu->actions();
    for (int i = int(actions.size()) - 1; i >= 0; --i) {
        QAction* action = actions[i];
        const int id = action->data().toInt();
        if (action->isSeparator() || action->menu() || id == 0)
            continue;
        CGfxCmdUI cmdUI;
        cmdUI.m_nID = id;
        cmdUI.m_nIndex = i;
        cmdUI.m_pMenu = menu;
        cmdUI.m_pAction = action;
        if (!target->OnCmdUIUpdate(cmdUI))
            action->setEnabled(false);
    }
}

int CGfxPopupMenu::TrackPopupMenu(QPoint screenPos, QWidget* owner) {
    if (!m_pMenu)
        return 0;
    Q_UNUSED(owner);
    QAction* chosen = s_trackHook ? s_trackHook(m_pMenu.get(), screenPos) : m_pMenu->exec(screenPos);
    if (!chosen || !chosen->isEnabled() || chosen->isSeparator())
        return 0;
    return chosen->data().toInt();
}

QSize CGfxPopupMenu::MeasureItem(const MenuItemRecord& record) const {
    if (record.command == ItemSeparator)
        return QSize(10, 6);
    const QString text = record.Text();
    if (text.isEmpty())
        return QSize(100, ImageHeight + 5);
    const QSize extent = QFontMetrics(m_fontMenu).size(Qt::TextSingleLine | Qt::TextExpandTabs, text);
    const int height = std::max(ImageHeight + 5, extent.height());
    return QSize(extent.width() + 17 + std::max(height, ImageWidth), height);
}

void CGfxPopupMenu::DrawSeparator(QPainter& painter, const QRect& r) const {
    // Two one-pixel lines, shadow above highlight, 2 pixels in from each side: an etched groove.
    const int left = r.left() + 2;
    const int width = r.width() - 4;
    painter.fillRect(QRect(left, r.top() + 2, width, 1), m_crBtnShadow);
    painter.fillRect(QRect(left, r.top() + 3, width, 1), m_crBtnHighlight);
}

void CGfxPopupMenu::DrawImage(QPainter& painter, const QRect& square, int image, bool selected,
                              bool enabled) const {
    const QImage picture = m_ilImages.Image(image);
    const int dx = (square.width() - ImageWidth) / 2;
    const int dy = (square.height() - ImageHeight) / 2;
    const QColor topLeft = selected && enabled ? m_crBtnHighlight : m_crMenu;
    const QColor bottomRight = selected && enabled ? m_crBtnShadow : m_crMenu;
    painter.fillRect(QRect(square.left(), square.top(), square.width() - 1, 1), topLeft);
    painter.fillRect(QRect(square.left(), square.top(), 1, square.height() - 1), topLeft);
    painter.fillRect(QRect(square.right(), square.top(), 1, square.height()), bottomRight);
    painter.fillRect(QRect(square.left(), square.bottom(), square.width(), 1), bottomRight);
    if (picture.isNull())
        return;
    const QPoint at(square.left() + dx, square.top() + dy);
    if (enabled) {
        painter.drawImage(at, picture);
        return;
    }
    const QPixmap greyed = QIcon(QPixmap::fromImage(picture)).pixmap(picture.size(), QIcon::Disabled);
    painter.drawPixmap(QRect(at, QSize(ImageWidth, ImageHeight)), greyed);
}

void CGfxPopupMenu::DrawMenuText(QPainter& painter, const QRect& rect, const QString& text, bool selected,
                                 bool enabled, const QColor& enabledColor) const {
    auto drawIn = [&](const QRect& r) {
        const int tab = text.indexOf(QLatin1Char('\t'));
        if (!text.isEmpty() && tab >= 0) {
            painter.drawText(r, Qt::AlignLeft | Qt::AlignTop | Qt::TextShowMnemonic, text.left(tab));
            painter.drawText(r, Qt::AlignRight | Qt::AlignTop | Qt::TextShowMnemonic, text.mid(tab + 1));
        } else {
            painter.drawText(r, Qt::AlignLeft | Qt::AlignTop | Qt::TextExpandTabs | Qt::TextShowMnemonic,
                             text);
        }
    };
    if (enabled) {
        painter.setPen(enabledColor);
        drawIn(rect);
    } else if (selected) {
        painter.setPen(m_crMenu);
        drawIn(rect);
    } else {
        // Embossed: a light copy one pixel down and right under the grey text.
        painter.setPen(m_crBtnHighlight);
        drawIn(rect.adjusted(1, 1, -1, -1));
        painter.setPen(m_crGrayText);
        drawIn(rect);
    }
}

void CGfxPopupMenu::DrawItem(QPainter& painter, const QRect& R, const MenuItemRecord& record,
                             unsigned state) const {
    painter.save();
    const bool selected = state & ODS_SELECTED;
    const bool enabled = !(state & ODS_DISABLED);
    const bool checked = state & ODS_CHECKED;
    painter.setFont(state & ODS_DEFAULT ? m_fontBold : m_fontMenu);
    const int H = R.height();
    const QRect S(R.left(), R.top(), H, H);
    if (record.command == ItemSeparator) {
        DrawSeparator(painter, R);
        painter.restore();
        return;
    }
    QRect T = R;
    T.setLeft(R.left() + (S.left() + S.width()) + 1);
    const bool hasImage = record.image >= 0;
    const QColor back = selected ? m_crHighlight : m_crMenu;
    const QColor textColor = selected ? m_crHighlightText : m_crMenuText;
    painter.fillRect(hasImage || checked ? T : R, back);
    if (hasImage)
        DrawImage(painter, S, record.image, selected, enabled);
    // The check-mark list never holds an image, so a checked entry shows no mark.
    const QString text = record.Text();
    const QSize extent = QFontMetrics(painter.font()).size(Qt::TextSingleLine | Qt::TextExpandTabs, text);
    T.setLeft(T.left() + 2);
    T.setRight(T.right() - 15);
    T.setTop(T.top() + (T.top() + T.height() - extent.height() - T.top()) / 2);
    DrawMenuText(painter, T, text, selected, enabled, textColor);
    painter.restore();
}
