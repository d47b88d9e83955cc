// Renaming folders and items in place: how the edit ends, what it reports, the owner's consent
// and the edit's resize rules.

#include "outbar/GfxGroupEdit.h"
#include "OutBarTestSupport.h"

#include <QAction>
#include <QMenu>
#include <QPointer>

class GroupEdit : public BarFixture {
protected:
    QPointer<CGfxGroupEdit> edit;

    CGfxGroupEdit* OpenEdit() {
        edit = bar->findChild<CGfxGroupEdit*>();
        EXPECT_TRUE(edit);
        if (edit) {
            EXPECT_TRUE(QTest::qWaitFor([&] { return edit->hasFocus(); }));
        }
        return edit;
    }
    void ReplaceText(const QString& text) {
        QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(edit, Qt::Key_Delete);
        QTest::keyClicks(edit, text);
    }
    bool WaitClosed() {
        return QTest::qWaitFor([&] { return edit.isNull(); });
    }
    std::vector<RecordedNote> Renames() const {
        std::vector<RecordedNote> renames;
        for (const RecordedNote& n : owner.notes)
            if (n.code == BarNotifyItemRenamed || n.code == BarNotifyFolderRenamed)
                renames.push_back(n);
        return renames;
    }
};

TEST_F(GroupEdit, AFolderNameIsReportedOnReturnAndAppliedWhenTheOwnerAgrees) {
    FourFolders();
    bar->BeginFolderRename(2);
    ASSERT_TRUE(OpenEdit());
    EXPECT_EQ(edit->geometry(), QRect(QPoint(2, 342), QPoint(197, 367))); // header (0, 340, 200, 370) less 2
    EXPECT_EQ(edit->toPlainText(), "Language");
    const QRect before = edit->geometry();
    ReplaceText("Setup and much more text than fits");
    EXPECT_EQ(edit->geometry(), before); // a folder edit keeps its size
    QTest::keyClick(edit, Qt::Key_Return);
    ASSERT_TRUE(WaitClosed());
    ASSERT_EQ(Renames().size(), 1u);
    EXPECT_EQ(Renames()[0].code, BarNotifyFolderRenamed);
    EXPECT_EQ(Renames()[0].index, 2);
    EXPECT_EQ(Renames()[0].text, "Setup and much more text than fits");
    EXPECT_EQ(bar->GetFolder(2).m_strName, "Setup and much more text than fits");
}

TEST_F(GroupEdit, ARejectedRenameLeavesTheLabel) {
    FourFolders();
    owner.answer = 0;
    bar->BeginItemRename(1);
    ASSERT_TRUE(OpenEdit());
    ReplaceText("new");
    QTest::keyClick(edit, Qt::Key_Return);
    ASSERT_TRUE(WaitClosed());
    ASSERT_EQ(Renames().size(), 1u);
    EXPECT_EQ(Renames()[0].code, BarNotifyItemRenamed);
    EXPECT_EQ(Renames()[0].index, 1);
    EXPECT_EQ(Renames()[0].text, "new");
    EXPECT_EQ(Labels(1)[1], "b");
}

TEST_F(GroupEdit, EscapeAndEmptyTextsReportNothing) {
    FourFolders();
    bar->BeginItemRename(0);
    ASSERT_TRUE(OpenEdit());
    ReplaceText("xyz");
    QTest::keyClick(edit, Qt::Key_Escape);
    Click({100, 300}); // and then clicking elsewhere
    ASSERT_TRUE(WaitClosed());

    bar->BeginFolderRename(0);
    ASSERT_TRUE(OpenEdit());
    ReplaceText("");
    QTest::keyClick(edit, Qt::Key_Return);
    ASSERT_TRUE(WaitClosed());
    EXPECT_TRUE(Renames().empty());
    EXPECT_EQ(Labels(1)[0], "a");
    EXPECT_EQ(bar->GetFolder(0).m_strName, "Read|Write");
    EXPECT_TRUE(window.isVisible()); // neither key reached the window around the bar
}

// Swallows every Escape press of the application, as the key routing of a dialog around the bar
// does when the dialog must not end on Escape.
struct EscapeSwallower : QObject {
    bool eventFilter(QObject*, QEvent* e) override {
        return e->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(e)->key() == Qt::Key_Escape;
    }
};

TEST_F(GroupEdit, EscapeCancelsEvenInsideADialogThatSwallowsEscape) {
    FourFolders();
    EscapeSwallower dialogKeys;
    qApp->installEventFilter(&dialogKeys);
    bar->BeginItemRename(0);
    ASSERT_TRUE(OpenEdit());
    ReplaceText("xyz");
    QTest::keyClick(edit, Qt::Key_Escape);
    EXPECT_TRUE(WaitClosed());
    qApp->removeEventFilter(&dialogKeys);
    EXPECT_TRUE(Renames().empty());
    EXPECT_EQ(Labels(1)[0], "a");
}

TEST_F(GroupEdit, AFolderChangeDuringAnItemRenameRenamesNoItemOfTheNewFolder) {
    FourFolders();
    bar->GetFolder(3).InsertItem(-1, QStringLiteral("other"), 0);
    bar->BeginItemRename(0);
    ASSERT_TRUE(OpenEdit());
    bar->SelectFolder(3); // the owner changes the folder; the edit keeps the focus
    ReplaceText("renamed");
    QTest::keyClick(edit, Qt::Key_Return);
    ASSERT_TRUE(WaitClosed());
    EXPECT_TRUE(Renames().empty());
    EXPECT_EQ(bar->GetFolder(3).GetItem(0)->m_strLabel, "other");
    EXPECT_EQ(Labels(1)[0], "a");
}

TEST_F(GroupEdit, ClickingAHeaderWhileEditingCommitsTheLabelBeforeTheFolderOpens) {
    FourFolders();
    bar->BeginItemRename(0);
    ASSERT_TRUE(OpenEdit());
    ReplaceText("first");
    Click({100, 385});
    ASSERT_TRUE(WaitClosed());
    EXPECT_EQ(owner.Codes(), (std::vector<unsigned>{BarNotifyItemRenamed, BarNotifyFolderChanged}));
    EXPECT_EQ(bar->GetFolder(1).GetItem(0)->m_strLabel, "first");
    EXPECT_EQ(bar->GetCurrentFolder(), 3);
}

TEST_F(GroupEdit, ASingleLineEditFollowsItsTextAndStopsShortOfTheBarEdge) {
    FourFolders();
    bar->SetBarStyle(BarStyleSmallIcons);
    bar->BeginItemRename(1);
    ASSERT_TRUE(OpenEdit());
    EXPECT_TRUE(edit->m_bSingleLine);
    QTest::keyClicks(edit, "long");
    const int grown = edit->geometry().width();
    QTest::keyClick(edit, Qt::Key_Backspace);
    QTest::keyClick(edit, Qt::Key_Backspace);
    EXPECT_LT(edit->geometry().width(), grown);
    QTest::keyClicks(edit, QString(60, QChar('w')));
    EXPECT_EQ(edit->geometry().right(), 200 - 1 - 1); // exclusive right edge at 199
}

TEST_F(GroupEdit, AMultiLineEditGrowsDownByTheTextHeightButNotBeyondTheBar) {
    FourFolders();
    bar->BeginItemRename(0);
    ASSERT_TRUE(OpenEdit());
    EXPECT_FALSE(edit->m_bSingleLine);
    EXPECT_EQ(edit->geometry().left(), 5);
    EXPECT_EQ(edit->geometry().right(), 194);
    const QRect start = edit->geometry();
    ReplaceText("one");
    EXPECT_EQ(edit->geometry(), start);
    for (int i = 0; i < 8; ++i)
        QTest::keyClicks(edit, " wordy");
    const int lineHeight = QFontMetrics(bar->font()).height();
    EXPECT_GE(edit->geometry().height(), 2 * lineHeight);
    EXPECT_EQ(edit->geometry().top(), start.top());
    EXPECT_EQ(edit->geometry().width(), start.width());
    for (int i = 0; i < 200; ++i)
        QTest::keyClicks(edit, " wordy");
    EXPECT_LE(edit->geometry().bottom(), 399);
}

TEST_F(GroupEdit, ARenameOfAFolderRemovedMeanwhileIsDropped) {
    FourFolders();
    bar->BeginFolderRename(3);
    ASSERT_TRUE(OpenEdit());
    ReplaceText("gone");
    bar->RemoveFolder(3);
    QTest::keyClick(edit, Qt::Key_Return);
    ASSERT_TRUE(WaitClosed());
    EXPECT_TRUE(Renames().empty());
    EXPECT_EQ(bar->GetFolderCount(), 3);
}

TEST_F(GroupEdit, TheContextMenuRenameOpensTheEditOverTheHitHeader) {
    FourFolders();
    bar->SetBarStyle(BarStyleEditFolders);
    CGfxPopupMenu::s_trackHook = [](QMenu* menu, QPoint) -> QAction* {
        for (QAction* a : menu->actions())
            if (a->text() == "RENAME")
                return a;
        return nullptr;
    };
    QTest::mouseClick(bar, Qt::RightButton, {}, QPoint(100, 355));
    ASSERT_TRUE(OpenEdit());
    EXPECT_EQ(edit->m_nKind, CGfxGroupEdit::KindFolder);
    EXPECT_EQ(edit->m_nIndex, 2);
    QTest::keyClick(edit, Qt::Key_Escape);
    ASSERT_TRUE(WaitClosed());
}
