#include "shell/SSplitter.h"

#include "platform/AppProfile.h"
#include "platform/XorTracker.h"

#include <QApplication>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSettings>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

namespace {

constexpr unsigned kInnerStyle = 0x52000002;
constexpr unsigned kOuterStyle = 0x52000001;

QSettings OpenProfile() {
    return QSettings(QSettings::NativeFormat, QSettings::UserScope, GetRegistryKey(), GetProfileName());
}

// The main window's arrangement: the navigation pane left of an inner splitter that holds the
// page above the log. Members are declared in the main window's order, so that they are
// destroyed as its members are: the splitters first, while the panes they hold still live.
struct MainWindowLike {
    QWidget window;
    QLineEdit nav;
    QLineEdit page;
    QLineEdit otherPage;
    CSSplitter outer;
    CSSplitter inner;
    QPlainTextEdit* log = nullptr;

    MainWindowLike() {
        window.resize(800, 540);
        nav.setParent(&window);
        page.setParent(&window);
        otherPage.setParent(&window);
        otherPage.hide();
        log = new QPlainTextEdit(&window);

        inner.ProfileId = 40001;
        inner.Create(kInnerStyle, window.rect(), &window, 40001);
        inner.MinLeft = inner.MinTop = 150;
        inner.MinRight = inner.MinBottom = 60;
        inner.SetPanes(&window, &page, log, kInnerStyle);

        outer.ProfileId = 40000;
        outer.Create(kOuterStyle, window.rect(), &window, 40000);
        outer.MinLeft = outer.MinTop = 150;
        outer.MinRight = outer.MinBottom = 0;
        outer.SetPanes(&window, &nav, &inner, kOuterStyle);
    }

    bool Show() {
        window.show();
        window.activateWindow();
        return QTest::qWaitForWindowActive(&window);
    }
};

class SplitterWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        // Every test starts from an empty profile of its own.
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        SetRegistryKey(QStringLiteral("RFID splitter test %1").arg(QString::fromLatin1(info->name())));
        OpenProfile().clear();
    }
    void TearDown() override { OpenProfile().clear(); }
};

// Presses and releases go straight to the splitter; the queued move that warping the cursor to
// the bar's centre produces is delivered right after the press, as on a real display.
void Press(CSSplitter& s, QPoint p) {
    QTest::mousePress(&s, Qt::LeftButton, {}, p);
    QCoreApplication::processEvents();
}

void Move(CSSplitter& s, QPoint p) {
    QTest::mouseMove(&s, p);
}

void Release(CSSplitter& s, QPoint p) {
    QTest::mouseRelease(&s, Qt::LeftButton, {}, p);
}

QList<QRect> TrackerBands(const QWidget* surface) {
    const CXorTracker* overlay = CXorTracker::Find(surface);
    return overlay ? overlay->Bands() : QList<QRect>();
}

} // namespace

TEST_F(SplitterWindowTest, FirstStartGivesTheNavigationPaneTwiceItsMinimumAndTheLogTwiceItsMinimum) {
    MainWindowLike w;
    // Moving the inner splitter lays out its panes at once, before anything is shown.
    EXPECT_EQ(w.log->geometry(), QRect(0, 420, 493, 120));
    ASSERT_TRUE(w.Show());
    EXPECT_EQ(w.outer.VertPos, 300);
    EXPECT_EQ(w.inner.HorizPos, 120);
    // 300 pixels plus the one that reaches under the bar; then a gap of 6.
    EXPECT_EQ(w.nav.geometry(), QRect(0, 0, 301, 540));
    EXPECT_EQ(w.inner.geometry(), QRect(307, 0, 493, 540));
    EXPECT_EQ(w.log->geometry(), QRect(0, 420, 493, 120));
    EXPECT_EQ(w.page.geometry(), QRect(0, 0, 493, 414));
    EXPECT_EQ(w.outer.GetSecondPane(), &w.inner);
    EXPECT_EQ(w.inner.GetSecondPane(), w.log);
    EXPECT_TRUE(w.outer.IsVertical());
    EXPECT_TRUE(w.inner.IsHorizontal());
    EXPECT_EQ(w.page.parentWidget(), &w.inner);
    EXPECT_EQ(w.inner.parentWidget(), &w.outer);
}

TEST_F(SplitterWindowTest, StoredPositionIsUsedUnchangedAndOnlySizeChangesApplyTheLimits) {
    // 40 pixels is less than MinLeft: honoured at start, limited at the next size change.
    WriteProfileInt(QStringLiteral("splt\\init_v40000"), QStringLiteral("VertSplitPos"), 40);
    {
        MainWindowLike w;
        ASSERT_TRUE(w.Show());
        EXPECT_EQ(w.nav.width(), 41);
        w.outer.resize(790, 540);
        EXPECT_EQ(w.nav.width(), 148); // the bar's centre at MinLeft
        EXPECT_EQ(w.outer.VertPos, 40);
    }
    // A position that fits comes back when a shrunk window is enlarged again.
    WriteProfileInt(QStringLiteral("splt\\init_v40000"), QStringLiteral("VertSplitPos"), 600);
    MainWindowLike w;
    ASSERT_TRUE(w.Show());
    EXPECT_EQ(w.nav.width(), 601);
    w.outer.resize(500, 540);
    EXPECT_EQ(w.nav.width(), 498); // MinRight is 0: the centre at the right edge
    EXPECT_EQ(w.inner.width(), 0);
    w.outer.resize(100, 540);
    EXPECT_EQ(w.nav.width(), 148); // too narrow for both: the left limit wins
    w.outer.resize(800, 540);
    EXPECT_EQ(w.nav.width(), 601);
    EXPECT_EQ(w.outer.VertPos, 600);
}

TEST_F(SplitterWindowTest, DragShowsATrackerMovesThePanesAtReleaseAndStopsAtTheLimit) {
    MainWindowLike w;
    ASSERT_TRUE(w.Show());
    w.page.setFocus();

    Press(w.outer, QPoint(305, 100));
    EXPECT_TRUE(w.outer.IsDragging());
    EXPECT_EQ(QWidget::mouseGrabber(), &w.outer);
    EXPECT_EQ(w.outer.cursor().shape(), Qt::SplitHCursor);
    EXPECT_EQ(TrackerBands(&w.window), QList<QRect>{QRect(301, 0, 6, 540)});

    Move(w.outer, QPoint(400, 100));
    EXPECT_EQ(TrackerBands(&w.window), QList<QRect>{QRect(398, 0, 6, 540)});
    EXPECT_EQ(w.nav.width(), 301); // the panes wait for the release
    Release(w.outer, QPoint(400, 100));
    EXPECT_FALSE(w.outer.IsDragging());
    EXPECT_EQ(CXorTracker::Find(&w.window), nullptr);
    EXPECT_EQ(QWidget::mouseGrabber(), nullptr);
    EXPECT_EQ(w.nav.width(), 398);
    EXPECT_EQ(w.inner.geometry(), QRect(404, 0, 396, 540));
    EXPECT_EQ(w.outer.VertPos, 397);
    EXPECT_TRUE(w.outer.hasFocus()); // a completed drag keeps the focus

    // Past the left limit the tracker stops at MinLeft, and so does the stored position.
    Press(w.outer, QPoint(400, 10));
    Move(w.outer, QPoint(20, 10));
    EXPECT_EQ(TrackerBands(&w.window), QList<QRect>{QRect(148, 0, 6, 540)});
    Release(w.outer, QPoint(5, 10));
    EXPECT_EQ(w.outer.VertPos, 147);
    EXPECT_EQ(w.nav.width(), 148);
}

TEST_F(SplitterWindowTest, EscapeCancelsTheDragAndGivesTheFocusBack) {
    MainWindowLike w;
    ASSERT_TRUE(w.Show());
    w.nav.setFocus();
    // A window that swallows every key for its own use does not keep Escape from the drag.
    struct SwallowKeys : QObject {
        bool eventFilter(QObject*, QEvent* e) override { return e->type() == QEvent::KeyPress; }
    } swallow;
    w.outer.installEventFilter(&swallow);

    Press(w.outer, QPoint(303, 50));
    Move(w.outer, QPoint(450, 50));
    ASSERT_TRUE(w.outer.hasFocus());
    QTest::keyClick(&w.outer, Qt::Key_Escape);
    EXPECT_FALSE(w.outer.IsDragging());
    EXPECT_EQ(CXorTracker::Find(&w.window), nullptr);
    EXPECT_EQ(QWidget::mouseGrabber(), nullptr);
    EXPECT_TRUE(w.nav.hasFocus());
    // The release that follows moves nothing.
    Release(w.outer, QPoint(450, 50));
    EXPECT_EQ(w.nav.width(), 301);
    EXPECT_EQ(w.outer.VertPos, 300);
}

TEST_F(SplitterWindowTest, AMoveAfterTheGrabWasTakenEndsTheDragThere) {
    MainWindowLike w;
    ASSERT_TRUE(w.Show());
    Press(w.outer, QPoint(303, 50));
    Move(w.outer, QPoint(500, 50));
    w.page.grabMouse(); // someone else takes the mouse
    Move(w.outer, QPoint(520, 50));
    w.page.releaseMouse();
    EXPECT_FALSE(w.outer.IsDragging());
    EXPECT_EQ(CXorTracker::Find(&w.window), nullptr);
    EXPECT_EQ(w.nav.width(), 518);
    EXPECT_EQ(w.outer.VertPos, 517);
}

TEST_F(SplitterWindowTest, InnerBarIsDraggedOverTheOuterSplitterAndSwitchingPagesKeepsTheLogHeight) {
    MainWindowLike w;
    ASSERT_TRUE(w.Show());
    Press(w.inner, QPoint(100, 416));
    EXPECT_EQ(w.inner.cursor().shape(), Qt::SplitVCursor);
    // The inner splitter's tracker is drawn on its parent, the outer splitter.
    EXPECT_EQ(TrackerBands(&w.outer), QList<QRect>{QRect(307, 414, 493, 6)});
    Move(w.inner, QPoint(100, 300));
    EXPECT_EQ(TrackerBands(&w.outer), QList<QRect>{QRect(307, 297, 493, 6)});
    Release(w.inner, QPoint(100, 300));
    EXPECT_EQ(w.inner.HorizPos, 237);
    EXPECT_EQ(w.log->geometry(), QRect(0, 303, 493, 237));

    // A changed profile is not read again: the position stays the splitter's own.
    WriteProfileInt(QStringLiteral("splt\\init_h40001"), QStringLiteral("HorizSplitPos"), 60);
    w.inner.SetPanes(&w.window, &w.otherPage, w.inner.GetSecondPane(), 0);
    EXPECT_TRUE(w.inner.IsHorizontal());
    EXPECT_TRUE(w.page.isHidden());
    EXPECT_TRUE(w.otherPage.isVisible());
    EXPECT_EQ(w.otherPage.geometry(), QRect(0, 0, 493, 297));
    EXPECT_EQ(w.log->geometry(), QRect(0, 303, 493, 237));
    EXPECT_EQ(w.inner.HorizPos, 237);
}

TEST_F(SplitterWindowTest, PositionsAreWrittenAtDestroyAndRestoredAtTheNextStart) {
    {
        MainWindowLike w;
        ASSERT_TRUE(w.Show());
        Press(w.outer, QPoint(303, 50));
        Release(w.outer, QPoint(400, 50));
        Press(w.inner, QPoint(10, 416));
        Release(w.inner, QPoint(10, 300));
        // The page that is switched away stays the window's, not the splitter's, to destroy.
        w.inner.SetPanes(&w.window, &w.otherPage, w.log, 0);
    }
    QSettings profile = OpenProfile();
    EXPECT_EQ(profile.value(QStringLiteral("splt/init_v40000/VertSplitPos")).toInt(), 397);
    EXPECT_EQ(profile.value(QStringLiteral("splt/init_h40001/HorizSplitPos")).toInt(), 237);
    // Each splitter also writes the entry of the orientation it does not use.
    EXPECT_TRUE(profile.contains(QStringLiteral("splt/init_h40000/HorizSplitPos")));
    EXPECT_TRUE(profile.contains(QStringLiteral("splt/init_v40001/VertSplitPos")));

    MainWindowLike w;
    ASSERT_TRUE(w.Show());
    EXPECT_EQ(w.nav.width(), 398);
    EXPECT_EQ(w.log->height(), 237);
}

TEST_F(SplitterWindowTest, DestroyingTheSplitterMidDragLeavesNoTrackerAndHandsThePanesBack) {
    QWidget window;
    window.resize(400, 300);
    auto left = std::make_unique<QLineEdit>();
    auto right = std::make_unique<QLineEdit>();
    auto splitter = std::make_unique<CSSplitter>();
    ASSERT_TRUE(splitter->Create(kOuterStyle, window.rect(), &window, 1));
    splitter->MinLeft = 50;
    splitter->SetPanes(&window, left.get(), right.get(), SplitVertical);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    Press(*splitter, QPoint(101, 20));
    ASSERT_NE(CXorTracker::Find(&window), nullptr);
    splitter.reset();
    EXPECT_EQ(CXorTracker::Find(&window), nullptr);
    EXPECT_EQ(QWidget::mouseGrabber(), nullptr);
    EXPECT_EQ(left->parentWidget(), &window);
    EXPECT_EQ(right->parentWidget(), &window);
}

TEST_F(SplitterWindowTest, MalformedStoredPositionsGiveTheDefaults) {
    QSettings profile = OpenProfile();
    profile.setValue(QStringLiteral("splt/init_v40000/VertSplitPos"), QStringLiteral("wide"));
    profile.setValue(QStringLiteral("splt/init_h40001/HorizSplitPos"), 2147483647);
    profile.sync();
    {
        MainWindowLike w;
        EXPECT_EQ(w.outer.VertPos, 300);
        EXPECT_EQ(w.inner.HorizPos, 120);
    }
    // What a window too small for its panes once stored.
    WriteProfileInt(QStringLiteral("splt\\init_h40001"), QStringLiteral("HorizSplitPos"), -24);
    MainWindowLike w;
    EXPECT_EQ(w.inner.HorizPos, 120);
}

TEST_F(SplitterWindowTest, ADragInAnAreaTooSmallForBothMinimumsKeepsThePositionAndNothingNegativeIsStored) {
    {
        MainWindowLike w;
        ASSERT_TRUE(w.Show());
        w.inner.resize(w.inner.width(), 170); // less than MinTop + MinBottom
        const QPoint bar = w.inner.GetHorizBarRect().ToQRect().center();
        Press(w.inner, bar);
        Release(w.inner, bar + QPoint(0, 30));
        EXPECT_EQ(w.inner.HorizPos, 120);
        w.outer.resize(100, 540); // narrower than MinLeft: the left pane is laid out at its limit
        Press(w.outer, QPoint(w.outer.GetVertBarRect().ToQRect().center().x(), 10));
        Release(w.outer, QPoint(5, 10));
        EXPECT_EQ(w.outer.VertPos, 300);
    }
    QSettings profile = OpenProfile();
    EXPECT_EQ(profile.value(QStringLiteral("splt/init_h40001/HorizSplitPos")).toInt(), 120);
    EXPECT_EQ(profile.value(QStringLiteral("splt/init_v40000/VertSplitPos")).toInt(), 300);
    EXPECT_EQ(profile.value(QStringLiteral("splt/init_v40001/VertSplitPos")).toInt(), 0);
}
