#include "batch/JobInputs.h"

#include <utility>

void JobInputs::set_text(int id, std::string text) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_values[id].text = std::move(text);
}

void JobInputs::set_checked(int id, bool checked) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_values[id].checked = checked;
}

void JobInputs::set_index(int id, int index) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_values[id].index = index;
}

std::string JobInputs::text(int id) const { return value(id).text; }
bool JobInputs::checked(int id) const { return value(id).checked; }
int JobInputs::index(int id) const { return value(id).index; }

JobInputs::Value JobInputs::value(int id) const {
    std::lock_guard<std::mutex> lock(m_mutex);
    auto it = m_values.find(id);
    return it == m_values.end() ? Value{} : it->second;
}
