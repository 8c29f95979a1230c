#pragma once

#include <QMainWindow>
#include <QString>

#include <memory>

class QAction;
class QComboBox;
class QLabel;
class QLineEdit;
class QMenu;
class QToolBar;
class QToolButton;
class QWidget;

namespace kalvendo {

class AddressTable;
class TCapiInfo;
class TCapiMonitor;
class TMultilanguage;
class TStatusBar;
class TFieldsPanel;
class TGridPanel;
class TDBAdvGrid;
class RecordController;

// The main window: a frame that owns the program's shared state (application
// folder, address table) and wires each command to the code that carries it out.
class TForm1 : public QMainWindow {
    Q_OBJECT
public:
    struct Options {
        QString exeDir;    // the executable's folder
        QString appDirArg; // --appdir, empty when not given
    };

    explicit TForm1(Options options, QWidget* parent = nullptr);
    ~TForm1() override;

    QString getApplicationPath() const;
    const QString& applicationPath() const { return ApplicationPath; }
    QString dataPath(const QString& name) const;

    AddressTable* table() const { return AdsTable1; }
    TMultilanguage* engine() const { return lng; }
    TCapiInfo* capiInfo() const { return info; }
    TCapiMonitor* monitor() const { return CapiMonitor1; }
    TFieldsPanel* fieldsPanel() const { return m_fields; }
    QComboBox* searchFieldList() const { return ComboBox1; }
    TDBAdvGrid* grid() const { return DBAdvGrid1; }
    RecordController* records() const { return m_records; }
    TStatusBar* statusPanels() const { return m_panels; }
    bool firstShow() const { return FirstShow; }

    QAction* action(const QString& name) const;
    QToolButton* toolButton(const QString& name) const;

    // Commands whose code exists are enabled; everything else stays disabled so
    // the menu never pretends.
    void setCommandAvailable(const QString& actionName, bool available);

    void Beenden1Click();
    void CapiMonitor1IncomingCall(const QString& CallingPartyNumber,
                                  const QString& CalledPartyNumber, quint16 CipValue,
                                  const QString& CipValueString);
    void Nummernaufbereiten1Click();
    void DBEdit8Exit();
    void DBEdit9Exit();
    void isdnnumbers();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void buildMenu();
    void buildToolBar();
    void buildCentralArea();
    void buildStatusBar();
    QAction* addMenuAction(QMenu* menu, const char* name, const QString& caption,
                           const QKeySequence& shortcut, QToolButton* button = nullptr);
    QToolButton* addToolButton(QToolBar* bar, const char* name, const QString& hint,
                               int standardIcon);

    void FormCreate();
    void FormShow();
    void FormClose();
    void ReadHeaders();
    void startupActivateMonitor();
    void writePreparedNumber(int source, int prepared);

    Options m_options;
    QString ApplicationPath;
    bool FirstShow = false;

    AddressTable* AdsTable1 = nullptr;
    TMultilanguage* lng = nullptr;
    TCapiInfo* info = nullptr;
    TCapiMonitor* CapiMonitor1 = nullptr;
    TStatusBar* m_panels = nullptr;
    QToolBar* ToolBar1 = nullptr;
    QLineEdit* Edit1 = nullptr;
    QComboBox* ComboBox1 = nullptr;
    TFieldsPanel* m_fields = nullptr;
    TGridPanel* m_gridPanel = nullptr;
    TDBAdvGrid* DBAdvGrid1 = nullptr;
    RecordController* m_records = nullptr;
};

} // namespace kalvendo
