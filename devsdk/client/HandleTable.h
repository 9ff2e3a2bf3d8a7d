#pragma once
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <vector>

// Handles of one kind. Numbers come from one process-wide counter, so a handle of one kind
// is never valid as a handle of another kind, and a closed handle stays stale for good
// (until the counter wraps after two billion handles).
namespace ovix::client {

int32_t next_handle_number();

template <class T>
class HandleTable {
public:
    int32_t add(std::shared_ptr<T> object) {
        std::lock_guard<std::mutex> lock(m_mutex);
        int32_t handle;
        do handle = next_handle_number();
        while (m_objects.count(handle) != 0);
        m_objects.emplace(handle, std::move(object));
        return handle;
    }

    std::shared_ptr<T> find(int32_t handle) const {
        std::lock_guard<std::mutex> lock(m_mutex);
        auto it = m_objects.find(handle);
        return it == m_objects.end() ? nullptr : it->second;
    }

    std::shared_ptr<T> take(int32_t handle) {
        std::lock_guard<std::mutex> lock(m_mutex);
        auto it = m_objects.find(handle);
        if (it == m_objects.end()) return nullptr;
        std::shared_ptr<T> object = std::move(it->second);
        m_objects.erase(it);
        return object;
    }

    std::vector<std::shared_ptr<T>> take_all() {
        std::lock_guard<std::mutex> lock(m_mutex);
        std::vector<std::shared_ptr<T>> all;
        for (auto& [handle, object] : m_objects) all.push_back(std::move(object));
        m_objects.clear();
        return all;
    }

private:
    mutable std::mutex m_mutex;
    std::unordered_map<int32_t, std::shared_ptr<T>> m_objects;
};

} // namespace ovix::client
