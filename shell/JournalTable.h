#pragma once

// CJournalTable: the journal window's table of records. It lays out only the rows in view, so a journal
// of ten million records costs what one of a hundred does: rows are all one height, the vertical scroll
// bar counts rows (its value is the row at the top) and spans every row of the model, and the columns are
// those of a horizontal header. Selection and the current row are kept by the model's rows wherever they
// are; the keys of a table move through them (arrows, Page Up/Down, Home/End, Shift to extend).

#include <QAbstractItemView>

class QHeaderView;

class CJournalTable : public QAbstractItemView {
    Q_OBJECT
public:
    explicit CJournalTable(QWidget* parent = nullptr);

    void setModel(QAbstractItemModel* model) override;
    QHeaderView* horizontalHeader() const { return m_header; }

    int RowHeight() const { return m_nRowHeight; }
    // The row at the top of the view and how many rows it shows whole (at least one).
    int TopRow() const;
    int RowsInView() const;
    // Makes row the current and only selected row.
    void selectRow(int row);
    // Every column as wide as its header and the texts of the rows in view.
    void resizeColumnsToContents();

    QRect visualRect(const QModelIndex& index) const override;
    void scrollTo(const QModelIndex& index, ScrollHint hint = EnsureVisible) override;
    QModelIndex indexAt(const QPoint& point) const override;
    int sizeHintForColumn(int column) const override;
    void reset() override;

protected:
    QModelIndex moveCursor(CursorAction cursorAction, Qt::KeyboardModifiers modifiers) override;
    int horizontalOffset() const override;
    int verticalOffset() const override;
    bool isIndexHidden(const QModelIndex& index) const override;
    void setSelection(const QRect& rect, QItemSelectionModel::SelectionFlags command) override;
    QRegion visualRegionForSelection(const QItemSelection& selection) const override;
    QModelIndexList selectedIndexes() const override;
    void paintEvent(QPaintEvent* event) override;
    void updateGeometries() override;
    void scrollContentsBy(int dx, int dy) override;
    void rowsInserted(const QModelIndex& parent, int start, int end) override;
    void changeEvent(QEvent* event) override;

private:
    int RowCount() const;
    // The row a y position of the viewport falls on, counted from row 0 (it may lie outside the rows).
    qint64 RowAtY(int y) const;
    // The y position of a row's top in the viewport, kept within what a QRect can hold.
    int RowY(qint64 row) const;
    void LayOut();

    QHeaderView* m_header = nullptr;
    int m_nRowHeight = 0;
    bool m_bLayingOut = false;
};
