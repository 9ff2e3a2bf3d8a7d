#pragma once
#include <QString>

#include <functional>
#include <map>

class DeviceListModel;
class QComboBox;
class QDialog;
class QProgressBar;
class QPushButton;
class QTableView;
class QToolButton;
class QAction;
class QWidget;

// The batch window's controls: each by its numeric id (its object name), with its caption's
// text key and its start state, laid out in groups. It holds no behaviour; the window wires
// the controls.
class BatchForm {
public:
    using Lang = std::function<QString(const char* key)>;

    BatchForm(QDialog* window, DeviceListModel* model);

    // The control with a numeric id, or null.
    QWidget* control(int id) const;
    template <class T>
    T* as(int id) const;
    const std::map<int, QWidget*>& controls() const { return m_controls; }

    // Every caption from the language file, and the combo boxes' entries and selections.
    void apply_texts(const Lang& lang);
    void fill_combo_boxes(const Lang& lang);
    // Shown, hidden and enabled as the window starts; check boxes unticked, edits empty.
    void apply_start_states();
    // Every job group and the login fields shown ("All job steps"), or the shipped view.
    void show_all_steps(bool on);

    // The fixed-address fields that follow the "set network" box.
    static const int kNetworkFields[5];

    QTableView* devlist = nullptr;
    QProgressBar* progress = nullptr;
    // The window's menu (top right): the "All job steps" view, export, the about box.
    QToolButton* menu_button = nullptr;
    QAction* all_steps_action = nullptr;  // checkable
    QAction* export_action = nullptr;
    QAction* about_action = nullptr;
    QComboBox* devtype_combo = nullptr;
    QComboBox* videostd_combo = nullptr;
    QComboBox* timezone_combo = nullptr;
    QComboBox* timefmt_combo = nullptr;
    QComboBox* language_combo = nullptr;
    QComboBox* maxch_combo = nullptr;
    QComboBox* defaultch_combo = nullptr;
    QComboBox* netcard_combo = nullptr;

private:
    template <class T>
    T* make(int id);
    void create(DeviceListModel* model);
    void lay_out();

    QDialog* m_window;
    std::map<int, QWidget*> m_controls;
    QWidget* m_range_tilde = nullptr;
};

template <class T>
T* BatchForm::as(int id) const {
    return qobject_cast<T*>(control(id));
}
