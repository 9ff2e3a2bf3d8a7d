#pragma once
#include <cstddef>
#include <string>
#include <vector>

// The model of the session's result list, a list box with the sort style: an appended line
// takes its sorted place (byte order, after equal lines), while a line inserted at a position
// stays there unsorted, so the list is sorted only as far as the appends go.
class ResultList {
public:
    void clear();
    // Returns the index the line took.
    size_t append(const std::string& line);
    // A position up to size() is taken; one past the end is refused, as by the list box.
    bool insert(size_t position, const std::string& line);
    const std::vector<std::string>& lines() const;
    size_t size() const;

private:
    std::vector<std::string> m_lines;
};
