#include "history/HistoryDatabase.h"

#include "foundation/Clock.h"

namespace {
constexpr int64_t kBusySliceMs = 20;
}

HistoryDatabase::~HistoryDatabase() {
    if (m_db) sqlite3_close(m_db);
}

bool HistoryDatabase::open(const std::string& path, bool create, std::string& error) {
    const int flags = SQLITE_OPEN_READWRITE | (create ? SQLITE_OPEN_CREATE : 0);
    if (sqlite3_open_v2(path.c_str(), &m_db, flags, nullptr) != SQLITE_OK) {
        error = path + ": " + last_error();
        return false;
    }
    sqlite3_extended_result_codes(m_db, 1);
    sqlite3_busy_handler(m_db, &HistoryDatabase::on_busy, this);
    return true;
}

int HistoryDatabase::on_busy(void* context, int attempts) {
    auto* self = static_cast<HistoryDatabase*>(context);
    if (attempts == 0) self->m_busy_since_ms = Clock::now_ms();
    if (Clock::now_ms() - self->m_busy_since_ms >= kBusyBudgetMs) return 0;
    Clock::sleep_ms(kBusySliceMs);
    return 1;
}

bool HistoryDatabase::exec(const char* sql, std::string& error) {
    char* message = nullptr;
    if (sqlite3_exec(m_db, sql, nullptr, nullptr, &message) == SQLITE_OK) return true;
    error = message ? message : last_error();
    sqlite3_free(message);
    return false;
}

std::string HistoryDatabase::last_error() const { return m_db ? sqlite3_errmsg(m_db) : "out of memory"; }

Statement::Statement(sqlite3* db, const char* sql) {
    if (sqlite3_prepare_v2(db, sql, -1, &m_stmt, nullptr) != SQLITE_OK) m_stmt = nullptr;
}

Statement::~Statement() { sqlite3_finalize(m_stmt); }

void Statement::bind(int index, const std::string& text) {
    sqlite3_bind_text(m_stmt, index, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
}
void Statement::bind(int index, double value) { sqlite3_bind_double(m_stmt, index, value); }
void Statement::bind(int index, int64_t value) { sqlite3_bind_int64(m_stmt, index, value); }
int Statement::step() { return sqlite3_step(m_stmt); }
void Statement::reset() {
    sqlite3_reset(m_stmt);
    sqlite3_clear_bindings(m_stmt);
}

std::string Statement::text(int column) const {
    const unsigned char* text = sqlite3_column_text(m_stmt, column);
    return text ? std::string(reinterpret_cast<const char*>(text), static_cast<size_t>(sqlite3_column_bytes(m_stmt, column)))
                : std::string();
}
double Statement::real(int column) const { return sqlite3_column_double(m_stmt, column); }
int64_t Statement::integer(int column) const { return sqlite3_column_int64(m_stmt, column); }
