#include "station/ResultList.h"

#include <algorithm>
#include <iterator>

void ResultList::clear() { m_lines.clear(); }

size_t ResultList::append(const std::string& line) {
    // Before the first greater line: the sorted place when the lines are in order, and a
    // defined one when positioned inserts have left them out of order.
    const auto at = std::find_if(m_lines.begin(), m_lines.end(), [&](const std::string& e) { return line < e; });
    return static_cast<size_t>(std::distance(m_lines.begin(), m_lines.insert(at, line)));
}

bool ResultList::insert(size_t position, const std::string& line) {
    if (position > m_lines.size()) return false;
    m_lines.insert(m_lines.begin() + static_cast<std::ptrdiff_t>(position), line);
    return true;
}

const std::vector<std::string>& ResultList::lines() const { return m_lines; }

size_t ResultList::size() const { return m_lines.size(); }
