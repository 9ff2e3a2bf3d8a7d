#pragma once
#include <cstddef>
#include <cstdio>
#include <string>
#include <string_view>

// One of the facade's plain-text trace files ("recv.txt", "send.txt"). What goes in comes from
// the network, so the file is bounded: once a line would take it past the limit it is renamed
// to "<name>.1" (replacing the one before) and a fresh file is started. The two together
// hold at most about twice the limit. Not thread-safe; the facade guards each file.
class TraceFile {
public:
    TraceFile(const char* name, size_t limit) : m_name(name), m_limit(limit) {}
    ~TraceFile() { close(); }
    TraceFile(const TraceFile&) = delete;
    TraceFile& operator=(const TraceFile&) = delete;

    // Starts the file empty in the directory and removes the rotated file of an earlier run;
    // false when it cannot be opened (then writes do nothing).
    bool open(const std::string& directory);
    void close();
    bool is_open() const { return m_file != nullptr; }
    // Writes and flushes the line (a caller's whole record, line breaks included).
    void write(std::string_view line);

private:
    void rotate();

    std::string m_name;
    size_t m_limit;
    std::string m_path;
    std::FILE* m_file = nullptr;
    size_t m_written = 0;
};
