#pragma once
#include <sqlite3.h>

#include <cstdint>
#include <string>

// An open SQLite connection with the project's wait policy: a busy database is waited for
// in Clock slices up to a budget, so that sped-up tests wait sped-up too.
class HistoryDatabase {
public:
    static constexpr int64_t kBusyBudgetMs = 2000;

    HistoryDatabase() = default;
    ~HistoryDatabase();
    HistoryDatabase(const HistoryDatabase&) = delete;
    HistoryDatabase& operator=(const HistoryDatabase&) = delete;

    // create: make a missing file; else a missing file fails to open.
    bool open(const std::string& path, bool create, std::string& error);
    // Runs statements that return no rows.
    bool exec(const char* sql, std::string& error);
    sqlite3* handle() const { return m_db; }
    std::string last_error() const;

private:
    static int on_busy(void* context, int attempts);

    sqlite3* m_db = nullptr;
    int64_t m_busy_since_ms = -1;
};

// A prepared statement, finalised with the object.
class Statement {
public:
    Statement(sqlite3* db, const char* sql);
    ~Statement();
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    bool ok() const { return m_stmt != nullptr; }
    void bind(int index, const std::string& text);
    void bind(int index, double value);
    void bind(int index, int64_t value);
    // SQLITE_ROW, SQLITE_DONE or an error code.
    int step();
    void reset();
    std::string text(int column) const;
    double real(int column) const;
    int64_t integer(int column) const;

private:
    sqlite3_stmt* m_stmt = nullptr;
};
