// The owner-drawn popup menu: what it measures, how it paints separators, disabled, selected,
// default and tabbed entries, and how it converts a menu and brings its entries up to date.

#include "outbar/GfxPopupMenu.h"
#include "platform/SystemColors.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QFontMetrics>
#include <QMenu>
#include <QPainter>
#include <QStyleOptionMenuItem>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

const QColor kUntouched(255, 0, 255);

CGfxPopupMenu::MenuItemRecord Record(const QString& text, int command = 1, int image = -1) {
    CGfxPopupMenu::MenuItemRecord record;
    record.command = command;
    record.image = image;
    std::copy(text.utf16(), text.utf16() + text.size(), record.text);
    return record;
}

QImage Draw(const CGfxPopupMenu& menu, const CGfxPopupMenu::MenuItemRecord& record, unsigned state,
            QSize size = QSize(200, 25)) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(kUntouched);
    QPainter p(&image);
    menu.DrawItem(p, QRect(QPoint(0, 0), size), record, state);
    return image;
}

int CountColor(const QImage& image, const QColor& color) {
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            count += image.pixelColor(x, y) == color;
    return count;
}

// Leftmost and rightmost columns holding a pixel that is neither of the two background colours.
std::pair<int, int> InkColumns(const QImage& image, const QColor& back) {
    int left = image.width();
    int right = -1;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (c != back && c != kUntouched) {
                left = std::min(left, x);
                right = std::max(right, x);
            }
        }
    return {left, right};
}

class CountingTarget : public CGfxCmdTarget {
public:
    std::vector<int> asked;
    bool OnCmdUIUpdate(CGfxCmdUI& cmdUI) override {
        asked.push_back(cmdUI.m_nID);
        if (cmdUI.m_nID == 1) {
            cmdUI.Enable(false);
            return true;
        }
        return cmdUI.m_nID == 3; // 3 handled and left as it is; anything else unknown
    }
};

} // namespace

TEST(GfxPopupMenu, MeasuresSeparatorsEmptyAndTextEntries) {
    CGfxPopupMenu menu;
    EXPECT_EQ(menu.MeasureItem(Record("--", CGfxPopupMenu::ItemSeparator, CGfxPopupMenu::ItemSeparator)),
              QSize(10, 6));
    EXPECT_EQ(menu.MeasureItem(Record("")), QSize(100, 25));
    const QSize size = menu.MeasureItem(Record("SMALLICON"));
    const int textWidth = QFontMetrics(QApplication::font("QMenu")).horizontalAdvance("SMALLICON");
    EXPECT_GE(size.height(), 25);
    EXPECT_EQ(size.width(), textWidth + 17 + size.height());
    menu.ImageWidth = 40;
    EXPECT_EQ(menu.MeasureItem(Record("SMALLICON")).width(), textWidth + 17 + 40);
}

TEST(GfxPopupMenu, AConvertedMenuTakesItsEntrySizesFromTheMenuObject) {
    CGfxPopupMenu menu;
    menu.CreatePopupMenu();
    QAction* small = menu.AppendMenu(50000, "SMALLICON");
    QAction* separator = menu.AppendSeparator();
    menu.AppendMenu(50001, "ICON");
    menu.ConvertMenu(menu.GetMenu());
    QMenu* qmenu = menu.GetMenu();
    qmenu->ensurePolished();
    qmenu->adjustSize();
    EXPECT_EQ(qmenu->actionGeometry(small).height(),
              menu.MeasureItem(*CGfxPopupMenu::RecordOf(small)).height());
    EXPECT_EQ(qmenu->actionGeometry(separator).height(), 6);
    EXPECT_EQ(qmenu->style()->styleHint(QStyle::SH_Menu_AllowActiveAndDisabled, nullptr, qmenu), 1);
}

TEST(GfxPopupMenu, ConvertingTwiceLeavesConvertedEntriesAlone) {
    CGfxPopupMenu menu;
    menu.CreatePopupMenu();
    QAction* a = menu.AppendMenu(1, "one");
    menu.ConvertMenu(menu.GetMenu());
    const auto* first = CGfxPopupMenu::RecordOf(a);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->command, 1);
    EXPECT_EQ(first->image, -1);
    EXPECT_EQ(first->Text(), "one");
    QAction* b = menu.AppendMenu(2, QString(200, QChar('x')));
    menu.ConvertMenu(menu.GetMenu());
    EXPECT_EQ(CGfxPopupMenu::RecordOf(a), first);
    ASSERT_NE(CGfxPopupMenu::RecordOf(b), nullptr);
    EXPECT_EQ(CGfxPopupMenu::RecordOf(b)->Text().size(), 127); // cut to what a record holds
}

TEST(GfxPopupMenu, UpdateMenuStateAsksTheTargetAndDisablesUnknownCommands) {
    CGfxPopupMenu menu;
    menu.CreatePopupMenu();
    QAction* one = menu.AppendMenu(1, "one");
    menu.AppendSeparator();
    QAction* two = menu.AppendMenu(2, "two");
    QAction* three = menu.AppendMenu(3, "three");
    menu.ConvertMenu(menu.GetMenu());
    CountingTarget target;
    menu.UpdateMenuState(menu.GetMenu(), &target);
    EXPECT_EQ(target.asked, (std::vector<int>{3, 2, 1})); // last to first, separators skipped
    EXPECT_FALSE(one->isEnabled());
    EXPECT_FALSE(two->isEnabled());
    EXPECT_TRUE(three->isEnabled());
}

TEST(GfxPopupMenu, TrackingReturnsTheChosenEnabledCommandOnly) {
    CGfxPopupMenu menu;
    menu.CreatePopupMenu();
    menu.AppendMenu(50000, "SMALLICON");
    QAction* disabled = menu.AppendMenu(50001, "ICON");
    disabled->setEnabled(false);
    QAction* pick = nullptr;
    CGfxPopupMenu::s_trackHook = [&](QMenu*, QPoint) { return pick; };
    EXPECT_EQ(menu.TrackPopupMenu(QPoint(10, 10), nullptr), 0);
    pick = menu.GetMenu()->actions().at(0);
    EXPECT_EQ(menu.TrackPopupMenu(QPoint(10, 10), nullptr), 50000);
    pick = disabled;
    EXPECT_EQ(menu.TrackPopupMenu(QPoint(10, 10), nullptr), 0);
    CGfxPopupMenu::s_trackHook = nullptr;
}

TEST(GfxPopupMenu, WithoutAToolbarResourceNoEntryHasAnImage) {
    CGfxPopupMenu menu;
    EXPECT_FALSE(menu.LoadToolBarResource());
    EXPECT_EQ(menu.ImageWidth, 20);
    EXPECT_EQ(menu.ImageHeight, 20);
}

TEST(GfxPopupMenu, AToolbarGivesImagesToItsCommandsInOrder) {
    QTemporaryDir dir;
    const QString toolbar = dir.filePath("toolbar.bin");
    const QString bitmap = dir.filePath("toolbar.png");
    {
        QFile file(toolbar);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        const quint16 words[] = {1, 16, 15, 4, 7, 0, 9, 11}; // a separator between 7 and 9
        file.write(reinterpret_cast<const char*>(words), sizeof words);
    }
    QImage strip(48, 15, QImage::Format_RGB32);
    strip.fill(Qt::blue);
    ASSERT_TRUE(strip.save(bitmap));
    CGfxPopupMenu menu;
    ASSERT_TRUE(menu.LoadToolBarResource(toolbar, bitmap));
    EXPECT_EQ(menu.ImageWidth, 16);
    EXPECT_EQ(menu.ImageHeight, 15);
    menu.CreatePopupMenu();
    QAction* nine = menu.AppendMenu(9, "nine");
    QAction* other = menu.AppendMenu(8, "eight");
    QAction* eleven = menu.AppendMenu(11, "eleven");
    menu.ConvertMenu(menu.GetMenu());
    EXPECT_EQ(CGfxPopupMenu::RecordOf(nine)->image, 1);
    EXPECT_EQ(CGfxPopupMenu::RecordOf(eleven)->image, 2);
    EXPECT_EQ(CGfxPopupMenu::RecordOf(other)->image, -1);

    // A truncated toolbar description is refused.
    QFile file(toolbar);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    const quint16 shortWords[] = {1, 16, 15, 9, 7};
    file.write(reinterpret_cast<const char*>(shortWords), sizeof shortWords);
    file.close();
    CGfxPopupMenu other2;
    EXPECT_FALSE(other2.LoadToolBarResource(toolbar, bitmap));
}

TEST(GfxPopupMenu, ASeparatorIsAnEtchedLineTwoPixelsInFromEachSide) {
    CGfxPopupMenu menu;
    const QImage image =
        Draw(menu, Record("--", CGfxPopupMenu::ItemSeparator, CGfxPopupMenu::ItemSeparator), 0, QSize(60, 6));
    const QColor shadow = SystemColor(COLOR_BTNSHADOW);
    const QColor light = SystemColor(COLOR_BTNHIGHLIGHT);
    EXPECT_EQ(image.pixelColor(2, 2), shadow);
    EXPECT_EQ(image.pixelColor(57, 2), shadow);
    EXPECT_EQ(image.pixelColor(2, 3), light);
    EXPECT_EQ(image.pixelColor(57, 3), light);
    EXPECT_EQ(image.pixelColor(1, 2), kUntouched);
    EXPECT_EQ(image.pixelColor(58, 2), kUntouched);
    EXPECT_EQ(image.pixelColor(30, 1), kUntouched);
    EXPECT_EQ(image.pixelColor(30, 4), kUntouched);
}

TEST(GfxPopupMenu, DisabledEntriesAreEmbossedAndHighlightedInTheMenuColour) {
    CGfxPopupMenu menu;
    const QColor menuColor = SystemColor(COLOR_MENU);
    const QColor highlight = SystemColor(COLOR_HIGHLIGHT);
    const QColor grey = SystemColor(COLOR_GRAYTEXT);
    const QColor light = SystemColor(COLOR_BTNHIGHLIGHT);

    const QImage plain = Draw(menu, Record("SMALLICON"), ODS_DISABLED);
    // No image: the whole entry is the menu colour; grey text over a light copy.
    EXPECT_EQ(plain.pixelColor(0, 0), menuColor);
    EXPECT_EQ(plain.pixelColor(199, 24), menuColor);
    EXPECT_GT(CountColor(plain, grey), 5);
    EXPECT_GT(CountColor(plain, light), 0);

    const QImage hovered = Draw(menu, Record("ICON"), ODS_DISABLED | ODS_SELECTED);
    EXPECT_EQ(hovered.pixelColor(0, 0), highlight); // across the whole width
    EXPECT_EQ(hovered.pixelColor(199, 24), highlight);
    EXPECT_GT(CountColor(hovered, menuColor), 5);
    EXPECT_EQ(CountColor(hovered, grey), 0);

    const QImage selected = Draw(menu, Record("SMALLICON"), ODS_SELECTED);
    EXPECT_GT(CountColor(selected, SystemColor(COLOR_HIGHLIGHTTEXT)), 5);
    EXPECT_EQ(CountColor(selected, grey), 0);
}

TEST(GfxPopupMenu, TextStartsAfterTheImageColumnAndATabbedAcceleratorEndsFifteenPixelsEarly) {
    CGfxPopupMenu menu;
    const QColor back = SystemColor(COLOR_MENU);
    // R = (0, 0, 200, 25): the image square is 25 wide, the text starts at 25 + 1 + 2.
    const auto [left, right] = InkColumns(Draw(menu, Record("Open"), 0), back);
    EXPECT_GE(left, 28);
    EXPECT_LT(left, 32);
    EXPECT_LT(right, 100);
    const auto [tabLeft, tabRight] = InkColumns(Draw(menu, Record("Open\tCtrl+O"), 0), back);
    EXPECT_GE(tabLeft, 28);
    EXPECT_LE(tabRight, 200 - 15 - 1);
    EXPECT_GE(tabRight, 200 - 15 - 4);
}

TEST(GfxPopupMenu, TheDefaultEntryIsBold) {
    CGfxPopupMenu menu;
    const QColor text = SystemColor(COLOR_MENUTEXT);
    const int normal = CountColor(Draw(menu, Record("Default entry"), 0), text);
    const auto [l1, r1] = InkColumns(Draw(menu, Record("Default entry"), 0), SystemColor(COLOR_MENU));
    const auto [l2, r2] =
        InkColumns(Draw(menu, Record("Default entry"), ODS_DEFAULT), SystemColor(COLOR_MENU));
    EXPECT_GT(normal, 0);
    EXPECT_GT(r2 - l2, r1 - l1);
}
