#pragma once
#include <map>
#include <mutex>
#include <string>

// The values of the batch window's input controls, by control id, for the workers of a job:
// the window writes a control's value here whenever it changes, and a worker reads it when
// it reaches its step, without touching a widget or waiting on the window's thread.
// A control that was never written reads as an empty text, unticked, index -1.
class JobInputs {
public:
    struct Value {
        std::string text;  // an edit's text, a combo box's edit text, an address field's text
        bool checked = false;
        int index = -1;    // a combo box's selected entry
    };

    void set_text(int id, std::string text);
    void set_checked(int id, bool checked);
    void set_index(int id, int index);

    std::string text(int id) const;
    bool checked(int id) const;
    int index(int id) const;
    Value value(int id) const;

private:
    mutable std::mutex m_mutex;
    std::map<int, Value> m_values;
};
