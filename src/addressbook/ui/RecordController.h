#pragma once

#include "addressbook/ui/MainWindowContext.h"

#include <QObject>
#include <QPointer>
#include <QString>

class QAbstractButton;
class QAction;
class QComboBox;
class QKeyEvent;
class QLineEdit;
class QMenu;
class QPoint;
class QWidget;

namespace kalvendo {

class TDBAdvGrid;
class TFieldsPanel;
class TGridPanel;

// The commands of the main window that work on the address records: new,
// delete, save, navigation, window caption, birthday picker, search and the
// group filter menu. Every handler runs through the command guard with the
// control that triggered it.
class RecordController : public QObject {
    Q_OBJECT
public:
    // The controller's own widgets, beside the shared context.
    struct Widgets {
        TGridPanel* gridPanel = nullptr;
        QLineEdit* searchText = nullptr;         // Edit1
        QComboBox* searchField = nullptr;        // ComboBox1
        QAbstractButton* searchButton = nullptr; // ToolButton4: Enter in Edit1 clicks it
    };

    RecordController(const MainWindowContext& context, Widgets widgets, QObject* parent = nullptr);

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
    void showRecordCount(qint64 count);
    TDBAdvGrid* grid() const;

    MainWindowContext m_ctx;
    Widgets m_w;
    QMenu* m_popup;
};

} // namespace kalvendo
