#include "shell/JournalTable.h"

#include <QEvent>
#include <QHeaderView>
#include <QPainter>
#include <QScrollBar>

#include <algorithm>
#include <limits>

namespace {

// Far rows get positions within this bound, so a rectangle between two rows always fits in an int.
constexpr qint64 kFarthestY = std::numeric_limits<int>::max() / 4;

qint64 FloorDiv(qint64 value, qint64 divisor) {
    return value >= 0 ? value / divisor : -((-value + divisor - 1) / divisor);
}

} // namespace

CJournalTable::CJournalTable(QWidget* parent) : QAbstractItemView(parent), m_header(new QHeaderView(Qt::Horizontal, this)) {
    m_header->setSectionsClickable(false);
    m_header->setHighlightSections(false);
    m_nRowHeight = fontMetrics().height() + 6;
    setHorizontalScrollMode(ScrollPerPixel);
    setVerticalScrollMode(ScrollPerItem);
    connect(m_header, &QHeaderView::sectionResized, this, [this] { LayOut(); });
    connect(m_header, &QHeaderView::sectionMoved, this, [this] { viewport()->update(); });
}

void CJournalTable::setModel(QAbstractItemModel* model) {
    if (this->model())
        disconnect(this->model(), nullptr, this, nullptr);
    QAbstractItemView::setModel(model);
    m_header->setModel(this->model());
    // Rows taken away (an estimated count made exact) shorten the scroll bar.
    if (this->model())
        connect(this->model(), &QAbstractItemModel::rowsRemoved, this, [this] { LayOut(); });
    LayOut();
}

int CJournalTable::RowCount() const {
    return model() ? model()->rowCount(rootIndex()) : 0;
}

int CJournalTable::TopRow() const {
    return verticalScrollBar()->value();
}

int CJournalTable::RowsInView() const {
    return std::max(1, viewport()->height() / m_nRowHeight);
}

qint64 CJournalTable::RowAtY(int y) const {
    return TopRow() + FloorDiv(y, m_nRowHeight);
}

int CJournalTable::RowY(qint64 row) const {
    return int(std::clamp<qint64>((row - TopRow()) * m_nRowHeight, -kFarthestY, kFarthestY));
}

void CJournalTable::selectRow(int row) {
    if (row < 0 || row >= RowCount())
        return;
    // As a click does: the row is selected alone and Shift with a key extends the selection from it.
    const int column = currentIndex().isValid() ? currentIndex().column() : 0;
    setCurrentIndex(model()->index(row, column, rootIndex()));
}

int CJournalTable::sizeHintForColumn(int column) const {
    if (!model())
        return -1;
    QStyleOptionViewItem option;
    initViewItemOption(&option);
    int width = 0;
    // The rows in view and a screenful more: the window sizes its columns before it first shows.
    const int last = std::min(RowCount() - 1, TopRow() + std::max(RowsInView(), 30));
    for (int row = TopRow(); row <= last; ++row)
        width = std::max(width, itemDelegate()->sizeHint(option, model()->index(row, column, rootIndex())).width());
    return width + 1; // the grid line
}

void CJournalTable::resizeColumnsToContents() {
    for (int column = 0; column < m_header->count(); ++column)
        m_header->resizeSection(column, std::max(sizeHintForColumn(column), m_header->sectionSizeHint(column)));
}

QRect CJournalTable::visualRect(const QModelIndex& index) const {
    if (!index.isValid() || index.model() != model())
        return QRect();
    return QRect(m_header->sectionViewportPosition(index.column()), RowY(index.row()),
                 m_header->sectionSize(index.column()), m_nRowHeight);
}

void CJournalTable::scrollTo(const QModelIndex& index, ScrollHint hint) {
    if (!index.isValid())
        return;
    const int row = index.row();
    const int shown = RowsInView();
    int top = TopRow();
    switch (hint) {
    case PositionAtTop:
        top = row;
        break;
    case PositionAtBottom:
        top = row - shown + 1;
        break;
    case PositionAtCenter:
        top = row - shown / 2;
        break;
    case EnsureVisible:
        if (row < top)
            top = row;
        else if (row >= top + shown)
            top = row - shown + 1;
        break;
    }
    verticalScrollBar()->setValue(top);
    // The column too, as far as the width allows.
    const int left = m_header->sectionPosition(index.column());
    const int right = left + m_header->sectionSize(index.column());
    QScrollBar* across = horizontalScrollBar();
    if (left < across->value())
        across->setValue(left);
    else if (right > across->value() + viewport()->width())
        across->setValue(std::min(left, right - viewport()->width()));
}

QModelIndex CJournalTable::indexAt(const QPoint& point) const {
    const qint64 row = RowAtY(point.y());
    const int column = m_header->logicalIndexAt(point.x());
    if (row < 0 || row >= RowCount() || column < 0)
        return QModelIndex();
    return model()->index(int(row), column, rootIndex());
}

QModelIndex CJournalTable::moveCursor(CursorAction cursorAction, Qt::KeyboardModifiers) {
    const int rows = RowCount();
    if (rows == 0 || m_header->count() == 0)
        return QModelIndex();
    const QModelIndex current = currentIndex();
    int row = current.isValid() ? current.row() : -1;
    int visual = current.isValid() ? m_header->visualIndex(current.column()) : 0;
    switch (cursorAction) {
    case MoveUp:
    case MovePrevious:
        --row;
        break;
    case MoveDown:
    case MoveNext:
        ++row;
        break;
    case MovePageUp:
        row -= RowsInView();
        break;
    case MovePageDown:
        row = std::max(row, 0) + RowsInView();
        break;
    case MoveHome:
        row = 0;
        break;
    case MoveEnd:
        row = rows - 1;
        break;
    case MoveLeft:
        --visual;
        break;
    case MoveRight:
        ++visual;
        break;
    }
    row = std::clamp(row, 0, rows - 1);
    visual = std::clamp(visual, 0, m_header->count() - 1);
    return model()->index(row, m_header->logicalIndex(visual), rootIndex());
}

int CJournalTable::horizontalOffset() const {
    return horizontalScrollBar()->value();
}

int CJournalTable::verticalOffset() const {
    return int(std::min<qint64>(qint64(TopRow()) * m_nRowHeight, kFarthestY));
}

bool CJournalTable::isIndexHidden(const QModelIndex&) const {
    return false;
}

void CJournalTable::setSelection(const QRect& rect, QItemSelectionModel::SelectionFlags command) {
    const int rows = RowCount();
    if (rows == 0 || m_header->count() == 0)
        return;
    const QRect area = rect.normalized();
    const int first = int(std::clamp<qint64>(RowAtY(area.top()), 0, rows - 1));
    const int last = int(std::clamp<qint64>(RowAtY(area.bottom()), 0, rows - 1));
    int left = m_header->visualIndexAt(area.left());
    int right = m_header->visualIndexAt(area.right());
    left = left < 0 ? 0 : left;
    right = right < 0 ? m_header->count() - 1 : right;
    const QItemSelection selection(model()->index(first, m_header->logicalIndex(std::min(left, right)), rootIndex()),
                                   model()->index(last, m_header->logicalIndex(std::max(left, right)), rootIndex()));
    selectionModel()->select(selection, command);
}

QRegion CJournalTable::visualRegionForSelection(const QItemSelection& selection) const {
    QRegion region;
    const int top = TopRow();
    const int bottom = top + RowsInView();
    for (const QItemSelectionRange& range : selection) {
        const int first = std::max(range.top(), top);
        const int last = std::min(range.bottom(), bottom);
        if (first <= last)
            region += QRect(0, RowY(first), viewport()->width(), (last - first + 1) * m_nRowHeight);
    }
    return region;
}

// The selected cells in view only: a selection may hold millions of rows.
QModelIndexList CJournalTable::selectedIndexes() const {
    QModelIndexList indexes;
    if (!selectionModel())
        return indexes;
    const int last = std::min(RowCount() - 1, TopRow() + RowsInView());
    for (int row = TopRow(); row <= last; ++row)
        for (int column = 0; column < m_header->count(); ++column) {
            const QModelIndex index = model()->index(row, column, rootIndex());
            if (selectionModel()->isSelected(index))
                indexes << index;
        }
    return indexes;
}

void CJournalTable::paintEvent(QPaintEvent*) {
    QPainter painter(viewport());
    QStyleOptionViewItem option;
    initViewItemOption(&option);
    const QColor grid = QColor::fromRgba(QRgb(style()->styleHint(QStyle::SH_Table_GridLineColor, &option, this)));
    const int width = viewport()->width();
    const int last = std::min(RowCount() - 1, TopRow() + viewport()->height() / m_nRowHeight);
    const QModelIndex current = currentIndex();
    for (int row = TopRow(); row <= last; ++row) {
        const int y = RowY(row);
        for (int visual = 0; visual < m_header->count(); ++visual) {
            const int column = m_header->logicalIndex(visual);
            const int x = m_header->sectionViewportPosition(column);
            const int size = m_header->sectionSize(column);
            if (m_header->isSectionHidden(column) || x + size <= 0 || x >= width)
                continue;
            const QModelIndex index = model()->index(row, column, rootIndex());
            QStyleOptionViewItem cell = option;
            cell.rect = QRect(x, y, size - 1, m_nRowHeight - 1);
            if (selectionModel()->isSelected(index))
                cell.state |= QStyle::State_Selected;
            if (index == current && hasFocus())
                cell.state |= QStyle::State_HasFocus;
            itemDelegate()->paint(&painter, cell, index);
            painter.setPen(grid);
            painter.drawLine(x + size - 1, y, x + size - 1, y + m_nRowHeight - 1);
        }
        painter.setPen(grid);
        painter.drawLine(0, y + m_nRowHeight - 1, width, y + m_nRowHeight - 1);
    }
}

// The header above the rows, and scroll bars that span every row and the width of every column.
void CJournalTable::updateGeometries() {
    if (m_bLayingOut)
        return;
    m_bLayingOut = true;
    const int headerHeight = m_header->isHidden() ? 0 : m_header->sizeHint().height();
    setViewportMargins(0, headerHeight, 0, 0);
    const QRect area = viewport()->geometry();
    m_header->setGeometry(area.left(), area.top() - headerHeight, area.width(), headerHeight);
    const int shown = viewport()->height() / m_nRowHeight;
    verticalScrollBar()->setRange(0, std::max(0, RowCount() - shown));
    verticalScrollBar()->setPageStep(std::max(1, shown));
    verticalScrollBar()->setSingleStep(1);
    horizontalScrollBar()->setRange(0, std::max(0, m_header->length() - area.width()));
    horizontalScrollBar()->setPageStep(area.width());
    horizontalScrollBar()->setSingleStep(20);
    m_header->setOffset(horizontalScrollBar()->value());
    QAbstractItemView::updateGeometries();
    m_bLayingOut = false;
}

void CJournalTable::LayOut() {
    updateGeometries();
    viewport()->update();
}

void CJournalTable::scrollContentsBy(int dx, int) {
    if (dx != 0)
        m_header->setOffset(horizontalScrollBar()->value());
    viewport()->update();
}

void CJournalTable::rowsInserted(const QModelIndex& parent, int start, int end) {
    QAbstractItemView::rowsInserted(parent, start, end);
    LayOut();
}

void CJournalTable::reset() {
    QAbstractItemView::reset();
    verticalScrollBar()->setValue(0);
    LayOut();
}

void CJournalTable::changeEvent(QEvent* event) {
    if (event->type() == QEvent::FontChange) {
        m_nRowHeight = fontMetrics().height() + 6;
        LayOut();
    }
    QAbstractItemView::changeEvent(event);
}
