#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>

class QAbstractButton;
class QAction;
class QComboBox;
class QKeyEvent;
class QLineEdit;
class QMenu;
class QPoint;
class QWidget;

namespace kalvendo {

class AddressTable;
class TDBAdvGrid;
class TFieldsPanel;
class TGridPanel;
class TMultilanguage;
class TStatusBar;

// True for the all-groups captions of the five languages (exact comparison).
bool isAllGroupsEntry(const QString& caption);

// The commands of the main window that work on the address records: new,
// delete, save, navigation, window caption, birthday picker, search and the
// group filter menu. Every handler runs through the command guard with the
// control that triggered it.
class RecordController : public QObject {
    Q_OBJECT
public:
    struct Parts {
        QWidget* window = nullptr; // takes the caption
        AddressTable* table = nullptr;
        TMultilanguage* lng = nullptr;
        TStatusBar* statusBar = nullptr; // panel 1: record count
        TFieldsPanel* fields = nullptr;
        TGridPanel* gridPanel = nullptr;
        QLineEdit* searchText = nullptr;    // Edit1
        QComboBox* searchField = nullptr;   // ComboBox1
        std::function<QString()> groupFile; // path of group.txt, asked at each use
    };

    explicit RecordController(Parts parts, QObject* parent = nullptr);

    // Wires and enables the tool buttons of new, delete, save and search.
    void connectToolButtons(QAbstractButton* newRecord, QAbstractButton* deleteRecord,
                            QAbstractButton* save, QAbstractButton* search);

    QMenu* popupMenu() const { return m_popup; }

    void ToolButton1Click();
    void ToolButton2Click();
    void ToolButton3Click();
    void ToolButton4Click();
    void Button1Click();
    void Button2Click();
    void Button3Click();
    void Button4Click();
    void DBEdit1Change();
    void DBEdit2Change();
    void DateTimePicker1Change();
    // Returns whether the key was taken (Enter starts the search).
    bool Edit1KeyPress(QKeyEvent* event);
    void Edit1Exit();
    void DBAdvGrid1RightClickCell(const QPoint& globalPos);
    void PopupMenu1Popup();
    void MenuItemClick(QAction* item);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QString text(const char* key) const;
    void showRecordCount(qint64 count);
    TDBAdvGrid* grid() const;

    Parts m_parts;
    QMenu* m_popup;
    QPointer<QAbstractButton> m_searchButton;
};

} // namespace kalvendo
