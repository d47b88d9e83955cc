#pragma once

// The base of the tests that run on both journal engines: each test gets a fresh database on its
// engine, and PostgreSQL runs are skipped where no server can be started.

#include "tests/support/TestDatabase.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

// Names each instance of an engine test after its engine: .../SQLite, .../PostgreSQL.
inline std::string EngineTestName(const ::testing::TestParamInfo<JournalEngine>& test) {
    return EngineName(test.param);
}

class EngineTest : public ::testing::TestWithParam<JournalEngine> {
protected:
    // Makes m_database on engine. The caller's SetUp goes on only while
    // !IsSkipped() && !HasFatalFailure().
    void MakeDatabase(JournalEngine engine) {
        if (engine == JournalEngine::PostgreSQL && !CPgServer::IsInstalled())
            GTEST_SKIP() << "PostgreSQL 15 is not installed";
        m_database = std::make_unique<CTestDatabase>(engine);
        ASSERT_TRUE(m_database->IsReady()) << m_database->Error().toStdString();
    }
    bool DatabaseMade() const { return !IsSkipped() && !HasFatalFailure(); }

    std::unique_ptr<CTestDatabase> m_database;
};
