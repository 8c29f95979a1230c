#include "addressbook/ui/AddressGrid.h"

#include "addressbook/AddressTable.h"
#include "addressbook/Fields.h"
#include "addressbook/ui/DBControls.h"
#include "common/CommandGuard.h"
#include "common/IniFile.h"
#include "lang/Multilanguage.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QHelpEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QScopedValueRollback>
#include <QToolTip>
#include <QVBoxLayout>

namespace kalvendo {

namespace {
constexpr int kIndicatorWidth = 20;
constexpr int kColumnWidth = 64;
constexpr int kRowHeight = 22;

const QString kSection = QStringLiteral("all");

QString colKey(int column) {
    return QStringLiteral("Col") + QString::number(column);
}

QFont gridFont() {
    QFont f(QStringLiteral("Tahoma"));
    f.setPointSize(8);
    return f;
}
} // namespace

// ---------------------------------------------------------------------------

AddressGridModel::AddressGridModel(AddressTable* table, QObject* parent)
    : QAbstractTableModel(parent), m_table(table), m_headerFont(gridFont()), m_errorSender(this) {
    // The indicator row moves with the rows it marks, so that a row's data never
    // changes behind a structural signal.
    connect(table, &AddressTable::orderAboutToBeReset, this, [this]() { beginResetModel(); });
    connect(table, &AddressTable::orderReset, this, [this]() {
        m_indicator = -1;
        endResetModel();
    });
    connect(table, &AddressTable::rowAboutToBeInserted, this,
            [this](int row) { beginInsertRows({}, row, row); });
    connect(table, &AddressTable::rowInserted, this, [this](int row) {
        if (m_indicator >= row)
            ++m_indicator;
        endInsertRows();
    });
    connect(table, &AddressTable::rowAboutToBeRemoved, this,
            [this](int row) { beginRemoveRows({}, row, row); });
    connect(table, &AddressTable::rowRemoved, this, [this](int row) {
        if (m_indicator == row)
            m_indicator = -1;
        else if (m_indicator > row)
            --m_indicator;
        endRemoveRows();
    });
    connect(table, &AddressTable::rowAboutToBeMoved, this, [this](int from, int to) {
        beginMoveRows({}, from, from, {}, to > from ? to + 1 : to);
    });
    connect(table, &AddressTable::rowMoved, this, [this](int from, int to) {
        if (m_indicator == from)
            m_indicator = to;
        else if (from < m_indicator && m_indicator <= to)
            --m_indicator;
        else if (to <= m_indicator && m_indicator < from)
            ++m_indicator;
        endMoveRows();
    });
    connect(table, &AddressTable::rowChanged, this, [this](int row) {
        if (row >= 0 && row < rowCount())
            Q_EMIT dataChanged(index(row, 0), index(row, kColumns - 1));
    });
    connect(table, &AddressTable::currentChanged, this, [this](int row) { setIndicator(row); });
    connect(table, &AddressTable::stateChanged, this,
            [this]() { setIndicator(m_table ? m_table->currentRow() : -1); });
}

int AddressGridModel::fieldOfColumn(int column) {
    return column >= 1 && column < kColumns ? column - 1 : -1;
}

QString AddressGridModel::indexOfColumn(int column) {
    switch (column) {
    case 1:
        return QStringLiteral("NAME");
    case 2:
        return QStringLiteral("VORNAME");
    case 3:
        return QStringLiteral("STRASSE");
    case 5:
        return QStringLiteral("PLZ");
    case 6:
        return QStringLiteral("WOHNORT");
    case 11:
        return QStringLiteral("DEFINIERBAR");
    case 15:
        return QStringLiteral("GRUPPE");
    default:
        return {};
    }
}

int AddressGridModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() || !m_table ? 0 : m_table->rowCount();
}

int AddressGridModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kColumns;
}

void AddressGridModel::setIndicator(int row) {
    const int old = m_indicator;
    m_indicator = row >= 0 && row < rowCount() ? row : -1;
    for (int r : {old, m_indicator})
        if (r >= 0 && r < rowCount())
            Q_EMIT dataChanged(index(r, 0), index(r, 0), {Qt::DisplayRole});
}

QVariant AddressGridModel::data(const QModelIndex& index, int role) const {
    if (!m_table || !index.isValid() || !checkIndex(index))
        return {};
    if (role != Qt::DisplayRole && role != Qt::EditRole)
        return {};
    if (index.column() == 0) {
        if (role != Qt::DisplayRole || index.row() != m_indicator)
            return {};
        return m_table->state() == AddressTable::State::Edit ? QStringLiteral("I")
                                                             : QStringLiteral("\u25B6");
    }
    return m_table->value(index.row(), fieldOfColumn(index.column()));
}

bool AddressGridModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (!m_table || role != Qt::EditRole || !index.isValid() || !checkIndex(index))
        return false;
    const int field = fieldOfColumn(index.column());
    if (field < 0)
        return false;
    const QString text = value.toString();
    if (text == m_table->value(index.row(), field))
        return true;
    bool done = false;
    guardCommand(m_errorSender, [&]() {
        // The edited row becomes the current record, as a click on it does.
        if (index.row() != m_table->currentRow())
            m_table->moveToRow(index.row());
        startEditing(*m_table);
        m_table->setFieldValue(field, text);
        done = true;
    });
    return done;
}

Qt::ItemFlags AddressGridModel::flags(const QModelIndex& index) const {
    if (!index.isValid() || !checkIndex(index))
        return Qt::NoItemFlags;
    if (index.column() == 0)
        return Qt::ItemIsEnabled;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable;
}

QVariant AddressGridModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= kColumns)
        return QAbstractTableModel::headerData(section, orientation, role);
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
        return m_headers[size_t(section)];
    case Qt::FontRole: {
        QFont f = m_headerFont;
        f.setUnderline(section == m_marked);
        return f;
    }
    default:
        return {};
    }
}

bool AddressGridModel::setHeaderData(int section, Qt::Orientation orientation,
                                     const QVariant& value, int role) {
    if (orientation != Qt::Horizontal || section < 0 || section >= kColumns ||
        (role != Qt::DisplayRole && role != Qt::EditRole))
        return false;
    m_headers[size_t(section)] = value.toString();
    Q_EMIT headerDataChanged(Qt::Horizontal, section, section);
    return true;
}

void AddressGridModel::setMarkedColumn(int column) {
    if (column == m_marked)
        return;
    const int old = m_marked;
    m_marked = column;
    if (old >= 0 && old < kColumns)
        Q_EMIT headerDataChanged(Qt::Horizontal, old, old);
    if (column >= 0 && column < kColumns)
        Q_EMIT headerDataChanged(Qt::Horizontal, column, column);
}

void AddressGridModel::setHeaderFont(const QFont& font) {
    m_headerFont = font;
    Q_EMIT headerDataChanged(Qt::Horizontal, 0, kColumns - 1);
}

// ---------------------------------------------------------------------------

bool AddressGridDelegate::looksLikeLink(const QString& text) {
    static const QRegularExpression web(QStringLiteral("^(https?://|ftp://|www\\.)\\S+$"),
                                        QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression mail(QStringLiteral("^(mailto:)?[^\\s@]+@[^\\s@]+\\.[^\\s@]+$"),
                                         QRegularExpression::CaseInsensitiveOption);
    const QString t = text.trimmed();
    return !t.isEmpty() && (web.match(t).hasMatch() || mail.match(t).hasMatch());
}

void AddressGridDelegate::initStyleOption(QStyleOptionViewItem* option,
                                          const QModelIndex& index) const {
    QStyledItemDelegate::initStyleOption(option, index);
    if (option->state & QStyle::State_HasFocus)
        option->font.setBold(true);
    if (index.column() > 0 && looksLikeLink(option->text)) {
        option->font.setUnderline(true);
        option->palette.setColor(QPalette::Text, QColor(0, 0, 255));
    }
}

QWidget* AddressGridDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                                           const QModelIndex& index) const {
    QWidget* editor = QStyledItemDelegate::createEditor(parent, option, index);
    const int field = AddressGridModel::fieldOfColumn(index.column());
    if (auto* line = qobject_cast<QLineEdit*>(editor); line && field >= 0)
        line->setMaxLength(fieldWidth(field));
    m_editor = editor;
    return editor;
}

void AddressGridDelegate::destroyEditor(QWidget* editor, const QModelIndex& index) const {
    if (m_editor == editor)
        m_editor.clear();
    QStyledItemDelegate::destroyEditor(editor, index);
}

void AddressGridDelegate::commitOpenEditor() {
    if (QWidget* editor = m_editor) {
        Q_EMIT commitData(editor);
        Q_EMIT closeEditor(editor, QAbstractItemDelegate::NoHint);
    }
}

// ---------------------------------------------------------------------------

TDBAdvGrid::TDBAdvGrid(AddressTable* table, QWidget* parent)
    : QTableView(parent), m_table(table), m_model(new AddressGridModel(table, this)),
      m_delegate(new AddressGridDelegate(this)) {
    setObjectName(QStringLiteral("DBAdvGrid1"));
    m_model->setErrorSender(this);
    setModel(m_model);
    setItemDelegate(m_delegate);
    setFont(gridFont());
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setSelectionBehavior(QAbstractItemView::SelectItems);
    setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                    QAbstractItemView::AnyKeyPressed);
    setWordWrap(false);
    setTextElideMode(Qt::ElideNone);

    QHeaderView* rows = verticalHeader();
    rows->hide();
    rows->setMinimumSectionSize(1);
    rows->setDefaultSectionSize(kRowHeight);
    rows->setSectionResizeMode(QHeaderView::Fixed);

    QHeaderView* head = horizontalHeader();
    head->setMinimumSectionSize(1);
    head->setDefaultSectionSize(kColumnWidth);
    head->setFixedHeight(kRowHeight);
    head->setSectionResizeMode(QHeaderView::Interactive);
    head->setSectionsClickable(true);
    head->setHighlightSections(false);
    head->setSortIndicatorShown(false);
    setColumnWidth(0, kIndicatorWidth);
    // A header click orders the rows; it must not select a column, which would
    // move the current record to the first visible row.
    disconnect(head, &QHeaderView::sectionPressed, this, nullptr);
    disconnect(head, &QHeaderView::sectionEntered, this, nullptr);
    connect(head, &QHeaderView::sectionClicked, this, [this](int column) {
        guardCommand(this, [this, column]() { DBAdvGrid1ClickCell(0, column); });
    });

    setContextMenuPolicy(Qt::CustomContextMenu);
    connect(this, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& pos) { Q_EMIT RightClickCell(viewport()->mapToGlobal(pos)); });
    head->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(head, &QWidget::customContextMenuRequested, this,
            [this, head](const QPoint& pos) { Q_EMIT RightClickCell(head->mapToGlobal(pos)); });

    const QString active = table->indexName();
    for (int c = 1; c < AddressGridModel::kColumns; ++c)
        if (AddressGridModel::indexOfColumn(c) == active)
            m_model->setMarkedColumn(c);

    connect(selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) { onCurrentRowChanged(current); });
    connect(table, &AddressTable::currentChanged, this, [this](int row) { followCurrent(row); });
    followCurrent(table->currentRow());
}

void TDBAdvGrid::followCurrent(int row) {
    const QScopedValueRollback following(m_following, true);
    if (row < 0 || row >= m_model->rowCount()) {
        selectionModel()->clearCurrentIndex();
        return;
    }
    const int column = qMax(1, currentIndex().column());
    const QModelIndex target = m_model->index(row, column);
    if (currentIndex() != target)
        selectionModel()->setCurrentIndex(target, QItemSelectionModel::ClearAndSelect);
    scrollTo(target);
}

void TDBAdvGrid::onCurrentRowChanged(const QModelIndex& current) {
    if (m_following || !current.isValid() || !m_table)
        return;
    if (current.row() == m_table->currentRow())
        return;
    const int row = current.row();
    guardCommand(this, [this, row]() { m_table->moveToRow(row); });
    // Whatever happened (a failed save keeps the record), show the table's record.
    if (currentIndex().row() != m_table->currentRow())
        followCurrent(m_table->currentRow());
}

void TDBAdvGrid::ReadHeaders(const TMultilanguage& engine) {
    for (int n = 1; n < AddressGridModel::kColumns; ++n) {
        if (n == 11)
            continue;
        m_model->setHeaderData(n, Qt::Horizontal,
                               engine.GetString(QStringLiteral("DBAdvGrid1.Columns[") +
                                                QString::number(n) + QStringLiteral("].Header")));
    }
}

void TDBAdvGrid::setUserFieldHeader(const QString& definably) {
    QString header = definably;
    header.remove(u':');
    m_model->setHeaderData(11, Qt::Horizontal, header);
}

void TDBAdvGrid::loadColumnWidths(const QString& iniPath) {
    const IniFile ini(iniPath);
    for (int c = 0; c < AddressGridModel::kColumns; ++c) {
        const int current = columnWidth(c);
        const int width = ini.readInteger(kSection, colKey(c), current);
        // A width below one pixel would hide the column for good.
        if (width >= 1 && width != current)
            setColumnWidth(c, width);
    }
}

void TDBAdvGrid::saveColumnWidths(const QString& iniPath) const {
    IniFile ini(iniPath);
    for (int c = 0; c < AddressGridModel::kColumns; ++c)
        ini.writeInteger(kSection, colKey(c), columnWidth(c));
}

void TDBAdvGrid::DBAdvGrid1ClickCell(int row, int column) {
    if (row != 0 || !m_table)
        return;
    const QString index = AddressGridModel::indexOfColumn(column);
    if (index.isEmpty())
        return;
    commitEdit();
    const int previous = m_model->markedColumn();
    m_model->setMarkedColumn(column);
    try {
        m_table->setIndexName(index);
    } catch (...) {
        // The marking shows the order the rows really have.
        m_model->setMarkedColumn(previous);
        throw;
    }
}

QString TDBAdvGrid::cellHint(const QModelIndex& index) const {
    if (!index.isValid() || index.column() == 0)
        return {};
    const QString text = index.data(Qt::DisplayRole).toString();
    if (text.isEmpty())
        return {};
    QFont f = font();
    if (index == currentIndex())
        f.setBold(true);
    const int margin = style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, this) + 1;
    const int needed = QFontMetrics(f).horizontalAdvance(text) + 2 * margin;
    return needed > columnWidth(index.column()) ? text : QString();
}

bool TDBAdvGrid::viewportEvent(QEvent* event) {
    if (event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        const QModelIndex index = indexAt(help->pos());
        const QString hint = cellHint(index);
        if (hint.isEmpty())
            QToolTip::hideText();
        else
            QToolTip::showText(help->globalPos(), hint, viewport(), visualRect(index));
        return true;
    }
    return QTableView::viewportEvent(event);
}

void TDBAdvGrid::commitEdit() {
    m_delegate->commitOpenEditor();
}

// ---------------------------------------------------------------------------

TGridPanel::TGridPanel(AddressTable* table, QWidget* parent)
    : QWidget(parent), m_grid(new TDBAdvGrid(table, this)) {
    setObjectName(QStringLiteral("GridPanel"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_grid, 1);
    auto* row = new QHBoxLayout;
    const std::array<std::pair<int, const char*>, 4> buttons = {
        {{1, "Erster Datensatz"}, {3, "zurück"}, {2, "vor"}, {4, "Letzter Datensatz"}}};
    for (const auto& [n, caption] : buttons) {
        auto* b = new QPushButton(QString::fromUtf8(caption), this);
        b->setObjectName(QStringLiteral("Button") + QString::number(n));
        m_buttons[size_t(n)] = b;
        row->addWidget(b);
    }
    row->addStretch(1);
    layout->addLayout(row);
}

QPushButton* TGridPanel::button(int n) const {
    return n >= 1 && n <= 4 ? m_buttons[size_t(n)] : nullptr;
}

} // namespace kalvendo
