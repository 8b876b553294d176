#pragma once

#include <QStringList>
#include <QWidget>

#include <optional>

class FieldEdit;
class QComboBox;
class QLabel;
class QLineEdit;
class QToolButton;
class WindowModel;

// The search field with its clear button, then the Process, Subsystem and
// Type dropdowns. The process options show friendly names and select the
// raw one.
class SearchRow : public QWidget {
    Q_OBJECT
public:
    explicit SearchRow(WindowModel* model, QWidget* parent = nullptr);

    QLineEdit* searchField() const;

protected:
    void changeEvent(QEvent* e) override;

private:
    void refresh(bool namesChanged = false);
    void refreshIcons();

    WindowModel* m_model;
    QLabel* m_icon = nullptr;
    FieldEdit* m_search = nullptr;
    QToolButton* m_clear = nullptr;
    QComboBox* m_process = nullptr;
    QComboBox* m_subsystem = nullptr;
    QComboBox* m_type = nullptr;
    // What the dropdowns were last filled with.
    QStringList m_processOptions, m_subsystemOptions;
    std::optional<QString> m_processSelection, m_subsystemSelection;
};
