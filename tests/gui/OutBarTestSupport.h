#pragma once
// A bar on a shown window with an owner that records every notification, for the GUI tests.

#include "outbar/GfxOutBarCtrl.h"
#include "platform/ImageList.h"
#include "platform/SystemColors.h"

#include <QPainter>
#include <QTest>
#include <QWidget>
#include <functional>
#include <gtest/gtest.h>
#include <vector>

struct RecordedNote {
    unsigned code = 0;
    qintptr param = 0;
    int index = -1;  // renames
    QString text;    // renames
    int folder = -1; // drags
    int item = -1;   // drags
};

class RecordingOwner : public CGfxOutBarOwner {
public:
    std::vector<RecordedNote> notes;
    qintptr answer = 1;
    std::function<void(const RecordedNote&)> onNote;

    qintptr OnBarNotify(quintptr wParam, qintptr lParam) override {
        RecordedNote note;
        note.code = unsigned(wParam);
        note.param = lParam;
        if (note.code == BarNotifyItemRenamed || note.code == BarNotifyFolderRenamed) {
            const auto* change = reinterpret_cast<const BarLabelChange*>(lParam);
            note.index = change->index;
            note.text = QString::fromUtf16(change->text);
        } else if (note.code == BarNotifyItemDragged) {
            const auto* move = reinterpret_cast<const BarDragMove*>(lParam);
            note.folder = move->folder;
            note.item = move->item;
        }
        notes.push_back(note);
        if (onNote)
            onNote(note);
        return answer;
    }

    std::vector<unsigned> Codes() const {
        std::vector<unsigned> codes;
        for (const RecordedNote& n : notes)
            codes.push_back(n.code);
        return codes;
    }
};

inline QImage SolidStrip(int size, const std::vector<QColor>& colors) {
    QImage strip(size * int(colors.size()), size, QImage::Format_RGB32);
    QPainter p(&strip);
    for (size_t i = 0; i < colors.size(); ++i)
        p.fillRect(int(i) * size, 0, size, size, colors[i]);
    return strip;
}

inline const QColor kBarBackground(99, 118, 214);

class BarFixture : public ::testing::Test {
protected:
    RecordingOwner owner; // outlives the window and its bar
    QWidget window;
    CGfxOutBarCtrl* bar = nullptr;
    CImageList large{32, 32};
    CImageList small{16, 16};

    void SetUp() override {
        window.resize(200, 400);
        bar = new CGfxOutBarCtrl(&window);
        bar->setGeometry(0, 0, 200, 400);
        bar->SetOwner(&owner);
        bar->SetAnimationTicks(0);
        large.Add(SolidStrip(32, {Qt::red, Qt::green, Qt::yellow}), QColor(255, 0, 255));
        small.Add(SolidStrip(16, {Qt::red, Qt::green, Qt::yellow}), QColor(255, 0, 255));
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
        window.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    }

    void TearDown() override { CGfxPopupMenu::s_trackHook = nullptr; }

    // Four folders; folder 1 (current) holds `items` items labelled "a", "b", ...
    void FourFolders(int items = 3, bool withImages = true) {
        for (const char* name : {"Read|Write", "Mass Production", "Language", "About"})
            bar->AppendFolder(QString::fromLatin1(name), quint32(bar->GetFolderCount()));
        for (int i = 0; i < items; ++i)
            bar->GetFolder(1).InsertItem(-1, QString(QChar('a' + i)), i % 3);
        if (withImages) {
            bar->SetLargeImageList(&large);
            bar->SetSmallImageList(&small);
        }
        bar->InvalidateAll();
    }

    QColor Pixel(int x, int y) {
        bar->UpdateWindow();
        return bar->SurfaceImage().pixelColor(x, y);
    }

    std::vector<QString> Labels(int folder) {
        std::vector<QString> labels;
        CGfxOutBarCtrl::CBarFolder& f = bar->GetFolder(folder);
        for (int i = 0; i < f.GetItemCount(); ++i)
            labels.push_back(f.GetItem(i)->m_strLabel);
        return labels;
    }

    void Press(QPoint p) { QTest::mousePress(bar, Qt::LeftButton, {}, p); }
    void Move(QPoint p) { QTest::mouseMove(bar, p); }
    void Release(QPoint p) { QTest::mouseRelease(bar, Qt::LeftButton, {}, p); }
    void Click(QPoint p) {
        Press(p);
        Release(p);
    }
};
