#include "shell/DeliveryReport.h"

#include "cards/CardIdentifier.h"

#include <QFileInfo>
#include <QFontMetricsF>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>

#include <algorithm>

namespace {

constexpr int kResolution = 300;
constexpr qreal kMarginMm = 15;

struct Column {
    QString title;
    NumberForm form; // 0: the 13-digit identifier
    qreal x = 0;
};

class CDeliveryPainter {
public:
    CDeliveryPainter(QPdfWriter& writer, const DeliveryContents& contents, NumberFormSet forms)
        : m_writer(writer), m_contents(contents) {
        m_body = QFont(QStringLiteral("DejaVu Sans"), 10);
        m_mono = QFont(QStringLiteral("DejaVu Sans Mono"), 10);
        m_mono.setStyleHint(QFont::Monospace);
        m_title = QFont(QStringLiteral("DejaVu Sans"), 16, QFont::Bold);
        // No ligatures: the customer's reader copies and searches "fi" as two letters.
        for (QFont* font : {&m_body, &m_mono, &m_title})
            font->setStyleStrategy(QFont::PreferNoShaping);
        m_columns.push_back({QStringLiteral("Identifier"), NumberForm(0)});
        for (NumberForm form : ALL_NUMBER_FORMS) {
            if (forms & form)
                m_columns.push_back({NumberFormName(form), form});
        }
    }

    bool Paint(QString* error) {
        QPainter painter;
        if (!painter.begin(&m_writer)) {
            *error = QStringLiteral("the PDF cannot be started");
            return false;
        }
        m_painter = &painter;
        m_page = m_writer.pageLayout().paintRectPixels(kResolution);
        m_line = QFontMetricsF(m_mono, &m_writer).lineSpacing() * 1.15;
        PlaceColumns();
        const QStringList head = HeaderLines();
        const qreal headHeight = QFontMetricsF(m_title, &m_writer).lineSpacing() * 1.6 +
                                 head.size() * QFontMetricsF(m_body, &m_writer).lineSpacing() + m_line;
        const int rowsFirst = std::max(1, int((m_page.height() - headHeight - 3 * m_line) / m_line));
        const int rowsOther = std::max(1, int((m_page.height() - 3 * m_line) / m_line));
        const std::size_t cards = m_contents.good.size();
        m_pages = 1 + (cards > std::size_t(rowsFirst) ? int((cards - rowsFirst + rowsOther - 1) / rowsOther) : 0);

        qreal y = DrawHeader(head);
        std::size_t next = 0;
        for (int page = 1; page <= m_pages; ++page) {
            if (page > 1) {
                m_writer.newPage();
                y = 0;
            }
            y = DrawColumnTitles(y);
            const int rows = page == 1 ? rowsFirst : rowsOther;
            painter.setFont(m_mono);
            for (int row = 0; row < rows && next < cards; ++row, ++next) {
                DrawCard(m_contents.good[next], y);
                y += m_line;
            }
            DrawPageNumber(page);
        }
        return painter.end();
    }

private:
    QStringList HeaderLines() const {
        const BatchCounts& c = m_contents.info.counts;
        QStringList lines{QStringLiteral("Order: %1").arg(BatchOrderText(m_contents.info)),
                          QStringLiteral("Good cards: %1 of %2").arg(c.Done()).arg(c.total),
                          QStringLiteral("Thrown away: %1").arg(c.throwAway),
                          QStringLiteral("Left: %1").arg(c.total - c.Done()),
                          QStringLiteral("First card: %1").arg(m_contents.firstCard.isEmpty() ? QStringLiteral("-") : m_contents.firstCard),
                          QStringLiteral("Last card: %1").arg(m_contents.lastCard.isEmpty() ? QStringLiteral("-") : m_contents.lastCard)};
        QStringList stations;
        for (const auto& [name, cards] : m_contents.stations)
            stations << QStringLiteral("%1 (%2 cards)").arg(name).arg(cards);
        lines << QStringLiteral("Stations: %1").arg(stations.isEmpty() ? QStringLiteral("-") : stations.join(QStringLiteral(", ")));
        return lines;
    }

    void PlaceColumns() {
        const QFontMetricsF metrics(m_mono, &m_writer);
        const qreal gap = metrics.horizontalAdvance(QStringLiteral("    "));
        qreal x = 0;
        for (Column& column : m_columns) {
            column.x = x;
            const QString widest = column.form ? NumberFormText(column.form, 0xFFFFFFFFFFull) : CardIdText(0);
            x += std::max(metrics.horizontalAdvance(widest), metrics.horizontalAdvance(column.title)) + gap;
        }
    }

    qreal DrawHeader(const QStringList& lines) {
        m_painter->setFont(m_title);
        const qreal titleLine = QFontMetricsF(m_title, &m_writer).lineSpacing();
        m_painter->drawText(QPointF(0, titleLine), QStringLiteral("Delivery report: %1").arg(m_contents.info.name));
        qreal y = titleLine * 1.6;
        m_painter->setFont(m_body);
        const QFontMetricsF body(m_body, &m_writer);
        for (const QString& line : lines) {
            y += body.lineSpacing();
            m_painter->drawText(QPointF(0, y), body.elidedText(line, Qt::ElideRight, m_page.width()));
        }
        return y + m_line;
    }

    qreal DrawColumnTitles(qreal y) {
        QFont bold = m_mono;
        bold.setBold(true);
        m_painter->setFont(bold);
        y += m_line;
        for (const Column& column : m_columns)
            m_painter->drawText(QPointF(column.x, y), column.title);
        return y + m_line * 0.5;
    }

    void DrawCard(std::uint64_t identifier, qreal y) {
        for (const Column& column : m_columns)
            m_painter->drawText(QPointF(column.x, y + m_line),
                                column.form ? NumberFormText(column.form, identifier) : CardIdText(identifier));
    }

    void DrawPageNumber(int page) {
        m_painter->setFont(m_body);
        const QString text = QStringLiteral("Page %1 of %2").arg(page).arg(m_pages);
        m_painter->drawText(QRectF(0, m_page.height() - m_line, m_page.width(), m_line), Qt::AlignCenter, text);
    }

    QPdfWriter& m_writer;
    const DeliveryContents& m_contents;
    QPainter* m_painter = nullptr;
    QFont m_body, m_mono, m_title;
    std::vector<Column> m_columns;
    QRectF m_page;
    qreal m_line = 0;
    int m_pages = 1;
};

} // namespace

QString DeliveryReportFileName(const QString& batch) {
    static const QString forbidden = QStringLiteral("/\\:*?\"<>|");
    QString name;
    for (const QChar c : batch.trimmed())
        name += (c.unicode() < 0x20 || forbidden.contains(c)) ? QChar(u'_') : c;
    while (name.startsWith(u'.'))
        name.remove(0, 1); // neither hidden nor a way up
    return (name.isEmpty() ? QStringLiteral("report") : name) + QStringLiteral(".pdf");
}

bool WriteDeliveryPdf(const DeliveryContents& contents, NumberFormSet forms, const QString& path, QString* error) {
    // Written whole or not at all: a report that failed halfway never lies beside the cards.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        *error = QStringLiteral("%1 cannot be written (%2)").arg(path, file.errorString());
        return false;
    }
    {
        QPdfWriter writer(&file);
        writer.setResolution(kResolution);
        writer.setPageSize(QPageSize(QPageSize::A4));
        writer.setPageMargins(QMarginsF(kMarginMm, kMarginMm, kMarginMm, kMarginMm), QPageLayout::Millimeter);
        writer.setTitle(QStringLiteral("Delivery report: %1").arg(contents.info.name));
        writer.setCreator(QStringLiteral("RFID"));
        CDeliveryPainter painter(writer, contents, forms);
        if (!painter.Paint(error))
            return false;
    }
    if (!file.commit()) {
        *error = QStringLiteral("%1 cannot be written (%2)").arg(path, file.errorString());
        return false;
    }
    return true;
}

bool WriteDeliveryReport(QSqlDatabase& db, const QString& batch, NumberFormSet forms, const QString& path,
                         QString* error) {
    const std::optional<DeliveryContents> contents = ReadDeliveryContents(db, batch, error);
    return contents && WriteDeliveryPdf(*contents, forms, path, error);
}
