// The navigation bar on a shown window: its records and operations, what it paints on its
// window surface, and the mouse interaction with headers, items, scroll buttons and the context
// menu.

#include "OutBarTestSupport.h"
#include "tests/support/TestPaths.h"

#include <QAction>
#include <QMenu>

namespace {

struct MenuEntry {
    QString text;
    bool enabled;
    bool separator;
    bool operator==(const MenuEntry&) const = default;
};

} // namespace

class OutBarModel : public BarFixture {};
class OutBarPaint : public BarFixture {};
class OutBarMouse : public BarFixture {};
class OutBarMenu : public BarFixture {
protected:
    std::vector<MenuEntry> shown;
    QString choose; // text of the entry to choose, empty for none

    void SetUp() override {
        BarFixture::SetUp();
        CGfxPopupMenu::s_trackHook = [this](QMenu* menu, QPoint) -> QAction* {
            QAction* chosen = nullptr;
            shown.clear();
            for (QAction* a : menu->actions()) {
                shown.push_back({a->isSeparator() ? QString() : a->text(), a->isEnabled(), a->isSeparator()});
                if (!choose.isEmpty() && a->text() == choose)
                    chosen = a;
            }
            return chosen;
        };
    }
    void RightClick(QPoint p) { QTest::mouseClick(bar, Qt::RightButton, {}, p); }
};

TEST_F(OutBarModel, InsertItemAppendsForPositionsOutsideTheListAndReturnsThePositionUsed) {
    const int f = bar->AppendFolder("one", 7);
    EXPECT_EQ(f, 0);
    EXPECT_EQ(bar->GetFolder(0).m_dwData, 7u);
    CGfxOutBarCtrl::CBarFolder& folder = bar->GetFolder(0);
    EXPECT_EQ(folder.InsertItem(-1, "x", 0), 0);
    EXPECT_EQ(folder.InsertItem(5, "y", 0), 1);
    EXPECT_EQ(folder.InsertItem(2, "z", 0), 2);
    EXPECT_EQ(folder.InsertItem(0, "w", 0), 0);
    EXPECT_EQ(Labels(0), (std::vector<QString>{"w", "x", "y", "z"}));
    EXPECT_EQ(folder.GetItem(0)->m_dwData, 0u);
}

TEST_F(OutBarModel, RemoveFolderMovesTheCurrentFolderAsDocumented) {
    FourFolders();
    bar->SelectFolder(2);
    bar->RemoveFolder(2);
    EXPECT_EQ(bar->GetCurrentFolder(), 1);

    bar->SelectFolder(2); // the last of three
    bar->RemoveFolder(1);
    EXPECT_EQ(bar->GetCurrentFolder(), 0);

    while (bar->GetFolderCount() > 1)
        bar->RemoveFolder(1);
    bar->RemoveFolder(0);
    EXPECT_EQ(bar->GetCurrentFolder(), -1);
}

TEST_F(OutBarModel, InvalidIndexesAreReportedAndChangeNothing) {
    FourFolders();
    const int before = bar->GetFolderCount();
    EXPECT_THROW(bar->GetFolder(4), CBarInvalidArgException);
    EXPECT_THROW(bar->GetFolder(-1), CBarInvalidArgException);
    EXPECT_THROW(bar->SelectFolder(4), CBarInvalidArgException);
    EXPECT_THROW(bar->RemoveFolder(9), CBarInvalidArgException);
    EXPECT_THROW(bar->SetFolderText(4, "x"), CBarInvalidArgException);
    EXPECT_THROW(bar->SetItemText(1, 3, "x"), CBarInvalidArgException);
    EXPECT_THROW(bar->SetItemText(5, 0, "x"), CBarInvalidArgException);
    EXPECT_THROW(bar->BeginFolderRename(4), CBarInvalidArgException);
    EXPECT_THROW(bar->BeginItemRename(3), CBarInvalidArgException);
    EXPECT_EQ(bar->GetFolderCount(), before);
    EXPECT_EQ(bar->GetCurrentFolder(), 1);
    EXPECT_TRUE(bar->findChildren<QWidget*>().isEmpty()); // no edit was created
    EXPECT_TRUE(owner.notes.empty());

    // Removing an item that is not there is no error.
    bar->RemoveItem(3);
    bar->RemoveItem(-1);
    EXPECT_EQ(bar->GetFolder(1).GetItemCount(), 3);
    bar->RemoveItem(1);
    EXPECT_EQ(Labels(1), (std::vector<QString>{"a", "c"}));
}

TEST_F(OutBarModel, SelectFolderResetsScrollAndClickAndNotifiesEvenForTheCurrentFolder) {
    FourFolders(8);
    bar->FirstVisibleItem = 2;
    bar->LastClickedItem = 3;
    bar->SelectFolder(1);
    EXPECT_EQ(bar->FirstVisibleItem, 0);
    EXPECT_EQ(bar->LastClickedItem, -1);
    ASSERT_EQ(owner.notes.size(), 1u);
    EXPECT_EQ(owner.notes[0].code, BarNotifyFolderChanged);
    EXPECT_EQ(owner.notes[0].param, 1);
    EXPECT_EQ(bar->SlideFrameCount(), 0);
}

TEST_F(OutBarModel, TheSlidePlaysOnlyBetweenDifferentFoldersWithAnimationOn) {
    FourFolders();
    bar->SetBarStyle(BarStyleAnimateFolders);
    bar->SelectFolder(3);
    EXPECT_GT(bar->SlideFrameCount(), 0);
    bar->SelectFolder(3);
    EXPECT_EQ(bar->SlideFrameCount(), 0);
    bar->SetAnimationTicks(-1);
    bar->SelectFolder(0);
    EXPECT_EQ(bar->SlideFrameCount(), 0);
    bar->SetAnimationTicks(0);
    bar->SetBarStyle(0);
    bar->SelectFolder(2);
    EXPECT_EQ(bar->SlideFrameCount(), 0);
    bar->SetBarStyle(BarStyleAnimateFolders);
    bar->SelectFolder(0);
    EXPECT_EQ(bar->SlideFrameCount(), 10); // the worked example: 2 -> 0 in a 200 x 400 bar
    EXPECT_EQ(bar->GetCurrentFolder(), 0);
}

TEST_F(OutBarModel, WithoutFoldersSelectingAndHitTestingStaySafe) {
    bar->SelectFolder(3);
    EXPECT_EQ(bar->GetCurrentFolder(), 3);
    int index = 0;
    EXPECT_EQ(bar->HitTest({100, 100}, &index), HitNothing);
    // An owner that appends a single folder and never selects one sees folder 1 "open".
    bar->AppendFolder("only", 0);
    bar->SelectFolder(0);
    bar->RemoveFolder(0);
    EXPECT_EQ(bar->HitTest({100, 100}, &index), HitNothing);
    EXPECT_EQ(Pixel(100, 100), kBarBackground);
}

TEST_F(OutBarPaint, WithoutFoldersTheWholeWindowIsTheBackground) {
    bar->InvalidateAll();
    bar->UpdateWindow();
    const QImage& image = bar->SurfaceImage();
    for (int y = 0; y < image.height(); y += 3)
        for (int x = 0; x < image.width(); x += 3)
            ASSERT_EQ(image.pixelColor(x, y), kBarBackground) << x << "," << y;
}

TEST_F(OutBarPaint, HeadersShowLineRaisedEdgeAndFaceAndThePageTheBackground) {
    FourFolders(0);
    const QColor face = SystemColor(COLOR_BTNFACE);
    const QColor light = SystemColor(COLOR_BTNHIGHLIGHT);
    // Header 1 spans (0, 29, 200, 59): a top line, then a raised outline around the face.
    EXPECT_EQ(Pixel(50, 29), kBarBackground); // the line colour is the background's blue
    EXPECT_EQ(Pixel(50, 30), light);
    EXPECT_EQ(Pixel(0, 40), light);
    EXPECT_EQ(Pixel(199, 40), kBarBackground);
    EXPECT_EQ(Pixel(50, 58), kBarBackground);
    EXPECT_EQ(Pixel(3, 40), face);
    // Header 3 stands on the bottom edge.
    EXPECT_EQ(Pixel(50, 370), kBarBackground);
    EXPECT_EQ(Pixel(3, 385), face);
    // The row under the open folder's header belongs to nothing; then the page.
    EXPECT_EQ(Pixel(100, 59), QColor(Qt::black));
    EXPECT_EQ(Pixel(100, 60), kBarBackground);
    EXPECT_EQ(Pixel(100, 339), kBarBackground);
}

TEST_F(OutBarPaint, APressedHeaderIsSunkenAndComesBackRaisedOnRelease) {
    FourFolders(0);
    const QColor dark = SystemColor(COLOR_3DDKSHADOW);
    const QColor light = SystemColor(COLOR_BTNHIGHLIGHT);
    EXPECT_EQ(Pixel(0, 30), light);
    Press({100, 45});
    EXPECT_EQ(bar->SurfaceImage().pixelColor(0, 30), dark);
    EXPECT_EQ(bar->SurfaceImage().pixelColor(199, 40), light);
    EXPECT_EQ(bar->SurfaceImage().pixelColor(1, 31), kBarBackground);
    Release({100, 45});
    EXPECT_EQ(Pixel(0, 30), light);
    EXPECT_TRUE(owner.notes.empty()); // the current folder's header opens nothing
}

TEST_F(OutBarPaint, HoverOverAHeaderDrawsItsEdgeAndMovingAwayRemovesIt) {
    FourFolders(0);
    const QColor dark = SystemColor(COLOR_3DDKSHADOW);
    const QColor face = SystemColor(COLOR_BTNFACE);
    Pixel(0, 0);
    Move({100, 355});
    EXPECT_EQ(bar->HotFolder, 2);
    EXPECT_EQ(bar->SurfaceImage().pixelColor(50, 369), dark);
    EXPECT_EQ(bar->SurfaceImage().pixelColor(50, 368), kBarBackground);
    EXPECT_EQ(bar->SurfaceImage().pixelColor(199, 350), dark);
    Move({100, 200});
    EXPECT_EQ(bar->HotFolder, -1);
    EXPECT_EQ(bar->SurfaceImage().pixelColor(50, 369), kBarBackground);
    EXPECT_EQ(bar->SurfaceImage().pixelColor(50, 368), face);
}

TEST_F(OutBarPaint, ItemsShowTheirImagesCentredInTheLargeView) {
    FourFolders(2);
    // Item 0: icon (84, 65) to (116, 97), red; item 1 green from y = 129.
    EXPECT_EQ(Pixel(84, 65), QColor(Qt::red));
    EXPECT_EQ(Pixel(115, 96), QColor(Qt::red));
    EXPECT_EQ(Pixel(83, 65), kBarBackground);
    EXPECT_EQ(Pixel(100, 130), QColor(Qt::green));
    bar->SetBarStyle(BarStyleSmallIcons);
    bar->InvalidateAll();
    // Small view: icon at (7, 65), 16 x 16.
    EXPECT_EQ(Pixel(7, 65), QColor(Qt::red));
    EXPECT_EQ(Pixel(22, 80), QColor(Qt::red));
    EXPECT_EQ(Pixel(100, 70), kBarBackground);
}

TEST_F(OutBarPaint, WithoutAnImageListThePageShowsOnlyTheBackground) {
    FourFolders(3, false);
    bar->UpdateWindow();
    const QImage& image = bar->SurfaceImage();
    for (int y = 60; y < 340; ++y)
        for (int x = 0; x < 200; ++x)
            ASSERT_EQ(image.pixelColor(x, y), kBarBackground) << x << "," << y;
}

TEST_F(OutBarPaint, TheClickedItemKeepsASunkenFrameOnlyWithTheSelectedFrameStyle) {
    FourFolders(2);
    const QColor dark = SystemColor(COLOR_3DDKSHADOW);
    const QColor face = SystemColor(COLOR_BTNFACE);
    bar->SetBarStyle(BarStyleSelectedFrame);
    Click({100, 80});
    ASSERT_EQ(bar->LastClickedItem, 0);
    // The icon (84, 65, 116, 98) grown by one: dark top-left, face bottom-right.
    EXPECT_EQ(Pixel(83, 64), dark);
    EXPECT_EQ(Pixel(116, 98), face);
    EXPECT_EQ(Pixel(83, 90), dark);

    Click({100, 140});
    EXPECT_EQ(bar->LastClickedItem, 1);
    EXPECT_EQ(Pixel(83, 64), kBarBackground); // the old frame went with the click
    const BarRect second = bar->Geometry().IconRect(1, 1).Inflated(1);
    EXPECT_EQ(Pixel(second.left, second.top), dark);
    EXPECT_EQ(Pixel(second.right - 1, second.bottom - 1), face);

    bar->SetBarStyle(0);
    bar->InvalidateAll();
    Click({100, 80});
    EXPECT_EQ(Pixel(83, 64), kBarBackground);
    EXPECT_EQ(Pixel(116, 98), kBarBackground);
}

TEST_F(OutBarPaint, ScrolledPagesShowTheUpButtonAtTheTopRight) {
    FourFolders(8);
    Pixel(0, 0);
    const COutBarGeometry before = bar->Geometry();
    EXPECT_FALSE(before.upVisible);
    ASSERT_TRUE(before.downVisible);
    const BarRect down = before.downRect;
    EXPECT_EQ(down.right, 200 - 5);
    EXPECT_EQ(down.bottom, 340 - 5);
    Click({(down.left + down.right) / 2, (down.top + down.bottom) / 2});
    EXPECT_EQ(bar->FirstVisibleItem, 1);
    Pixel(0, 0);
    const COutBarGeometry after = bar->Geometry();
    ASSERT_TRUE(after.upVisible);
    EXPECT_EQ(after.upRect.right, 195);
    EXPECT_EQ(after.upRect.top, 65);
    // The button is drawn there, not the page.
    int notBackground = 0;
    for (int y = after.upRect.top; y < after.upRect.bottom; ++y)
        for (int x = after.upRect.left; x < after.upRect.right; ++x)
            notBackground += Pixel(x, y) != kBarBackground;
    EXPECT_GT(notBackground, after.upRect.Width() * after.upRect.Height() / 2);
    // Item 1 now stands where item 0 stood.
    EXPECT_EQ(Pixel(100, 70), QColor(Qt::green));
}

TEST_F(OutBarMouse, TheDownButtonDoesNotScrollOnceTheLastItemIsFullyVisible) {
    FourFolders(5); // item 4 ends at 321 + 56 = 377, below the page
    Pixel(0, 0);
    for (int i = 0; i < 4; ++i) {
        const COutBarGeometry g = bar->Geometry();
        if (!g.downVisible)
            break;
        Click({(g.downRect.left + g.downRect.right) / 2, (g.downRect.top + g.downRect.bottom) / 2});
        Pixel(0, 0);
    }
    EXPECT_EQ(bar->FirstVisibleItem, 1);
    EXPECT_FALSE(bar->Geometry().downVisible);
    // Releasing outside the held button scrolls nothing.
    Click({100, 60});
    EXPECT_EQ(bar->FirstVisibleItem, 1);
}

TEST_F(OutBarMouse, ReleasingOverAnotherHeaderOpensThatFolder) {
    FourFolders();
    Press({100, 385}); // header 3
    Move({100, 200});
    Move({100, 10}); // header 0
    Release({100, 10});
    EXPECT_EQ(owner.Codes(), (std::vector<unsigned>{BarNotifyFolderChanged}));
    EXPECT_EQ(owner.notes[0].param, 0);
    EXPECT_EQ(bar->GetCurrentFolder(), 0);

    owner.notes.clear();
    Press({100, 10});
    Release({100, 10}); // the current folder's header
    Press({100, 45});   // header 1, now at the bottom? no: folder 0 open, header 1 stands at 310
    Release({100, 200});
    EXPECT_TRUE(owner.notes.empty());
    Click({100, 325});
    EXPECT_EQ(bar->GetCurrentFolder(), 1);
}

TEST_F(OutBarMouse, ClickingAnItemTellsTheOwnerItsIndex) {
    FourFolders();
    Click({100, 150});
    ASSERT_EQ(owner.Codes(), (std::vector<unsigned>{BarNotifyItemClicked}));
    EXPECT_EQ(owner.notes[0].param, 1);
    EXPECT_EQ(bar->LastClickedItem, 1);
    // Pressing on one item and releasing on another is no click.
    Press({100, 80});
    Move({100, 150});
    Release({100, 150});
    EXPECT_EQ(owner.notes.size(), 1u);
}

TEST_F(OutBarMouse, DraggingAnItemOntoAnotherMovesItBeforeIt) {
    FourFolders();
    bar->SetBarStyle(BarStyleDragItems);
    Press({100, 80}); // item a
    Move({100, 62});  // off the item: the drag starts
    Move({100, 210}); // over item c
    Release({100, 210});
    ASSERT_EQ(owner.Codes(), (std::vector<unsigned>{BarNotifyItemDragged}));
    EXPECT_EQ(owner.notes[0].folder, 1);
    EXPECT_EQ(owner.notes[0].item, 0);
    EXPECT_EQ(Labels(1), (std::vector<QString>{"b", "a", "c"}));
}

TEST_F(OutBarMouse, DraggingBelowTheLastItemMovesItToTheEnd) {
    FourFolders();
    bar->SetBarStyle(BarStyleDragItems);
    Press({100, 80});
    Move({100, 300});
    Release({100, 300});
    EXPECT_EQ(owner.Codes(), (std::vector<unsigned>{BarNotifyItemDragged}));
    EXPECT_EQ(Labels(1), (std::vector<QString>{"b", "c", "a"}));
}

TEST_F(OutBarMouse, DropsOnItselfAboveTheFirstItemOrRefusedMoveNothing) {
    FourFolders();
    bar->SetBarStyle(BarStyleDragItems);
    Press({100, 150});
    Move({100, 62});
    Release({100, 62}); // page space above the first item
    Press({100, 150});
    Move({100, 300});
    Move({100, 150});
    Release({100, 150}); // back on itself
    EXPECT_TRUE(owner.notes.empty());

    owner.answer = 0;
    Press({100, 80});
    Move({100, 300});
    Release({100, 300});
    EXPECT_EQ(owner.Codes(), (std::vector<unsigned>{BarNotifyItemDragged}));
    EXPECT_EQ(Labels(1), (std::vector<QString>{"a", "b", "c"}));
}

TEST_F(OutBarMouse, WithoutTheDragStyleLeavingTheItemIsNoDrag) {
    FourFolders();
    bar->SetBarStyle(0);
    Press({100, 80});
    Move({100, 300});
    Release({100, 300});
    EXPECT_TRUE(owner.notes.empty());
    EXPECT_EQ(Labels(1), (std::vector<QString>{"a", "b", "c"}));
}

TEST_F(OutBarMouse, ALoopWhoseReleaseWentElsewhereEndsWithoutItsReleaseAction) {
    FourFolders();
    bar->SetBarStyle(BarStyleDragItems);
    Press({100, 385}); // header 3; its release never comes
    Press({100, 80});  // item a: the header loop ends, the item loop starts
    Move({100, 62});   // dragging
    Press({100, 150}); // and again the release went elsewhere
    Release({100, 150});
    EXPECT_EQ(owner.Codes(), (std::vector<unsigned>{BarNotifyItemClicked}));
    EXPECT_EQ(owner.notes[0].param, 1);
    EXPECT_EQ(bar->GetCurrentFolder(), 1);
    EXPECT_EQ(Labels(1), (std::vector<QString>{"a", "b", "c"}));
}

TEST_F(OutBarMouse, TheClickedIconTwitchesForFourTicksInTwelve) {
    FourFolders();
    bar->SetBarStyle(0);
    Click({100, 80});
    ASSERT_EQ(bar->LastClickedItem, 0);
    Pixel(0, 0);
    auto red = [&](int x, int y) { return bar->SurfaceImage().pixelColor(x, y) == QColor(Qt::red); };
    // At rest the icon covers (84..115, 65..96).
    bar->OnTimer(3); // step 1: at rest
    EXPECT_TRUE(red(84, 65));
    EXPECT_FALSE(red(83, 66));
    bar->OnTimer(3); // step 2: right and down
    EXPECT_FALSE(red(84, 65));
    EXPECT_TRUE(red(116, 97));
    bar->OnTimer(3); // step 3: at rest
    EXPECT_TRUE(red(84, 65));
    EXPECT_FALSE(red(116, 97));
    const QImage rest = bar->SurfaceImage().copy();
    for (int tick = 4; tick <= 11; ++tick) { // steps 4 to 10 and -1 draw nothing
        bar->OnTimer(3);
        EXPECT_EQ(bar->SurfaceImage(), rest) << tick;
    }
    bar->OnTimer(3); // step 0: left and down
    EXPECT_TRUE(red(83, 66));
    EXPECT_FALSE(red(84, 65));
    EXPECT_FALSE(red(115, 66));
    bar->OnTimer(3);
    EXPECT_EQ(bar->SurfaceImage(), rest);
}

TEST_F(OutBarMouse, TimerOneDropsTheHoversOnceThePointerHasLeft) {
    FourFolders();
    Pixel(0, 0);
    Move({100, 80});
    EXPECT_EQ(bar->HotItem, 0);
    QCursor::setPos(bar->mapToGlobal(QPoint(100, 80)));
    bar->OnTimer(1);
    EXPECT_EQ(bar->HotItem, 0);
    QCursor::setPos(bar->mapToGlobal(QPoint(300, 80)));
    bar->OnTimer(1);
    EXPECT_EQ(bar->HotItem, -1);
    EXPECT_EQ(bar->HotFolder, -1);
}

TEST_F(OutBarMenu, EmptyPageSpaceOffersOnlyTheTwoViewsWhateverTheStyle) {
    FourFolders();
    bar->SetBarStyle(BarStyleDefault);
    RightClick({100, 300});
    EXPECT_EQ(shown, (std::vector<MenuEntry>{{"SMALLICON", true, false}, {"ICON", false, false}}));
}

TEST_F(OutBarMenu, ItemsAndHeadersAddRemoveAndRenameAsTheStyleAllows) {
    FourFolders();
    bar->SetBarStyle(BarStyleDefault);
    RightClick({100, 80});
    EXPECT_EQ(shown, (std::vector<MenuEntry>{{"SMALLICON", true, false},
                                             {"ICON", false, false},
                                             {"", true, true},
                                             {"REMOVE", true, false},
                                             {"RENAME", true, false}}));
    bar->SetBarStyle(BarStyleEditFolders | BarStyleSmallIcons);
    RightClick({100, 10});
    EXPECT_EQ(
        shown,
        (std::vector<MenuEntry>{
            {"SMALLICON", false, false}, {"ICON", true, false}, {"", true, true}, {"RENAME", true, false}}));
    // Item bits do nothing on a header, and the pane's style offers nothing more on an item.
    bar->SetBarStyle(BarStyleEditItems | BarStyleRemoveItems);
    RightClick({100, 10});
    EXPECT_EQ(shown.size(), 2u);
    bar->SetBarStyle(0x300);
    RightClick({100, 80});
    EXPECT_EQ(shown.size(), 2u);
}

TEST_F(OutBarMenu, ChosenCommandsSwitchTheViewAndRemoveTheHitItem) {
    FourFolders(8);
    bar->SetBarStyle(BarStyleRemoveItems);
    bar->SmallIconsLabel = "Small icons";
    bar->FirstVisibleItem = 2;
    choose = "Small icons";
    RightClick({100, 300});
    EXPECT_EQ(shown[0].text, "Small icons");
    EXPECT_TRUE(bar->GetBarStyle() & BarStyleSmallIcons);
    EXPECT_EQ(bar->FirstVisibleItem, 0);
    // The current view's entry is disabled and cannot be chosen.
    bar->FirstVisibleItem = 1;
    RightClick({100, 300});
    EXPECT_EQ(bar->FirstVisibleItem, 1);

    choose = "REMOVE";
    bar->FirstVisibleItem = 0;
    RightClick({10, 95}); // item 1 in the small view
    EXPECT_EQ(Labels(1).size(), 7u);
    EXPECT_EQ(Labels(1)[1], "c");
}

TEST_F(OutBarMenu, SaveAPictureOfTheBarWithItsFourFoldersAndIcons) {
    CImageList large48(48, 48);
    CImageList small16(16, 16);
    ASSERT_EQ(large48.AddFromFile(":/bitmaps/134.png", QColor(255, 0, 255)), 0);
    ASSERT_EQ(small16.AddFromFile(":/bitmaps/132.png", QColor(255, 0, 255)), 0);
    EXPECT_EQ(large48.GetImageCount(), 5);
    EXPECT_EQ(small16.GetImageCount(), 5);
    bar->SetBarStyle(0x300);
    bar->SetLargeImageList(&large48);
    bar->SetSmallImageList(&small16);
    for (const char* name : {"Read|Write", "Mass Production", "Language", "About"})
        bar->AppendFolder(QString::fromLatin1(name), quint32(bar->GetFolderCount()));
    bar->GetFolder(0).InsertItem(0, "All number\n[Include Vendor ID]", 0);
    bar->GetFolder(0).InsertItem(1, "Only card number", 1);
    bar->GetFolder(1).InsertItem(0, "All number\n[Include Vendor ID]", 2);
    bar->GetFolder(2).InsertItem(0, "English", 3);
    bar->GetFolder(3).InsertItem(0, "www.example.com", 4);
    bar->SelectFolder(0);
    Click({100, 80});
    Move({100, 200});
    bar->UpdateWindow();
    QImage picture(400, 400, QImage::Format_RGB32);
    QPainter p(&picture);
    p.drawImage(0, 0, bar->SurfaceImage());
    bar->SetBarStyle(0x301);
    bar->SelectFolder(1);
    bar->SelectFolder(0);
    bar->UpdateWindow();
    p.drawImage(200, 0, bar->SurfaceImage());
    p.end();
    const QString path = TestBuildPath(QStringLiteral("outbar-four-folders.png"));
    ASSERT_TRUE(picture.save(path)) << path.toStdString();
    // The page background shows through the masked corners of the first image.
    EXPECT_EQ(picture.pixelColor(76, 36), kBarBackground);
    EXPECT_NE(picture.pixelColor(100, 60), kBarBackground);
}
