#pragma once

// Stations filling batches for the tests of the batch figures: real stations on their own connections
// of a test database, cards recorded good or thrown away, and times moved back as if the cards had been
// made earlier.

#include "batches/BatchStation.h"
#include "tests/support/EngineTest.h"
#include "tests/support/TestDatabase.h"

#include <QSqlDatabase>
#include <QString>

#include <map>
#include <memory>
#include <vector>

class CBatchLine {
public:
    explicit CBatchLine(CTestDatabase& database) : m_database(database) {}

    // The station of that name, started on its own connection at its first use.
    CBatchStation& Station(const QString& name);
    // Claims and records count good cards (verified) of the station; false on any failure.
    bool Good(const QString& station, const QString& batch, int count);
    // Claims (or keeps) a number and records one card to throw away.
    bool ThrowAway(const QString& station, const QString& batch);
    // Claims a number and holds it.
    bool Hold(const QString& station, const QString& batch);
    void StopStation(const QString& name);

    // Moves the times of every good card (claimed and done) and card to throw away of the batch back by
    // seconds.
    bool MoveBack(QSqlDatabase& db, const QString& batch, int seconds);

private:
    CTestDatabase& m_database;
    std::map<QString, std::unique_ptr<CBatchStation>> m_stations;
};

// The text of a PDF as pdftotext reads it (poppler-utils); empty when it cannot be read.
QString PdfText(const QString& path);
// Every 13-digit identifier in a text, in order.
std::vector<std::uint64_t> IdentifiersIn(const QString& text);
// The good numbers of a batch, in its order.
std::vector<std::uint64_t> GoodNumbers(QSqlDatabase& db, const QString& batch);

// A fresh database on each engine, read through the supervisor's connection while m_line's stations
// fill its batches.
class BatchLineTest : public EngineTest {
protected:
    void SetUp() override {
        MakeDatabase(GetParam());
        if (!DatabaseMade())
            return;
        m_db = m_database->Open("supervisor");
        m_line = std::make_unique<CBatchLine>(*m_database);
    }

    QSqlDatabase m_db;
    std::unique_ptr<CBatchLine> m_line;
};
