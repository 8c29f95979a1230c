#pragma once

#include <QWidget>

#include <functional>

class QLineEdit;
class QToolButton;

namespace kalvendo {

// A folder path edit with a button that opens the system's folder browser and
// puts the chosen folder into the edit. Cancelling the browser changes nothing.
class DirectoryEdit : public QWidget {
    Q_OBJECT
public:
    explicit DirectoryEdit(QWidget* parent = nullptr);

    QString text() const;
    void setText(const QString& text);
    QLineEdit* lineEdit() const { return m_edit; }
    QToolButton* browseButton() const { return m_button; }

    // Opens the folder browser (chooseFolder), starting at the edit's folder.
    void browse();

private:
    QLineEdit* m_edit;
    QToolButton* m_button;
};

} // namespace kalvendo
