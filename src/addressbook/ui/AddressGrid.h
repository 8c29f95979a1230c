#pragma once

#include "addressbook/AddressTable.h"

#include <QAbstractTableModel>
#include <QFont>
#include <QPointer>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <QTableView>

#include <array>

namespace kalvendo {

class TMultilanguage;

// The rows of the address table's current order as a table model. Cells are
// read on demand through the cursor's record cache, so a grid over any number
// of records costs only the rows on screen. Column 0 is the record indicator;
// columns 1 to 15 are the fields Name .. Gruppe in record order.
class AddressGridModel : public QAbstractTableModel {
    Q_OBJECT
public:
    static constexpr int kColumns = 16;

    explicit AddressGridModel(AddressTable* table, QObject* parent = nullptr);

    // The field a column shows; -1 for the indicator column.
    static int fieldOfColumn(int column);
    // The index a header click on the column sets; empty for other columns.
    static QString indexOfColumn(int column);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    bool setHeaderData(int section, Qt::Orientation orientation, const QVariant& value,
                       int role = Qt::EditRole) override;

    // The one header drawn underlined: the column whose index orders the rows.
    int markedColumn() const { return m_marked; }
    void setMarkedColumn(int column);
    void setHeaderFont(const QFont& font);

    // The object that errors of in-place edits are reported for.
    void setErrorSender(QObject* sender) { m_errorSender = sender; }

private:
    void setIndicator(int row);

    QPointer<AddressTable> m_table;
    std::array<QString, kColumns> m_headers;
    int m_marked = 1;
    int m_indicator = -1; // row showing the current-record mark
    QFont m_headerFont;
    QObject* m_errorSender = nullptr;
};

// Draws web and e-mail addresses as links and the cell with the focus in bold;
// its editors accept no more than the field's width.
class AddressGridDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    static bool looksLikeLink(const QString& text);

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override;
    void destroyEditor(QWidget* editor, const QModelIndex& index) const override;
    // Writes an open editor's text to the record and closes it.
    void commitOpenEditor();

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override;

private:
    mutable QPointer<QWidget> m_editor;
};

// The address grid (objectName "DBAdvGrid1") over the cursor: it follows the
// current record, makes a clicked row current, re-orders on a click on one of
// the seven sortable headers and keeps its column widths in a file.
class TDBAdvGrid : public QTableView {
    Q_OBJECT
public:
    explicit TDBAdvGrid(AddressTable* table, QWidget* parent = nullptr);

    AddressGridModel* gridModel() const { return m_model; }
    AddressTable* table() const { return m_table; }

    // Headers of columns 1 to 10 and 12 to 15 from the engine's named strings.
    void ReadHeaders(const TMultilanguage& engine);
    // Column 11 shows the user-defined field's label without its colons.
    void setUserFieldHeader(const QString& definably);

    // Section "all", keys Col0 .. Col15; an absent key keeps the width.
    void loadColumnWidths(const QString& iniPath);
    void saveColumnWidths(const QString& iniPath) const;

    // A click on a cell; row 0 is the header row.
    void DBAdvGrid1ClickCell(int row, int column);

    // The full text of a cell too narrow for it, else empty.
    QString cellHint(const QModelIndex& index) const;

    // Hands an open cell editor's text to the record before the table moves.
    void commitEdit();

Q_SIGNALS:
    // A right click anywhere on the grid, header row included.
    void RightClickCell(const QPoint& globalPos);

protected:
    bool viewportEvent(QEvent* event) override;

private:
    void followCurrent(int row);
    void onCurrentRowChanged(const QModelIndex& current);

    QPointer<AddressTable> m_table;
    AddressGridModel* m_model;
    AddressGridDelegate* m_delegate;
    bool m_following = false;
};

// The right half of the main window: the grid and below it the navigation
// buttons Button1 (first), Button3 (back), Button2 (forward), Button4 (last).
class TGridPanel : public QWidget {
    Q_OBJECT
public:
    explicit TGridPanel(AddressTable* table, QWidget* parent = nullptr);

    TDBAdvGrid* grid() const { return m_grid; }
    // Button1 .. Button4.
    QPushButton* button(int n) const;

private:
    TDBAdvGrid* m_grid;
    std::array<QPushButton*, 5> m_buttons{};
};

} // namespace kalvendo
