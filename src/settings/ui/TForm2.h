#pragma once

#include <QDialog>
#include <QStringList>

#include <array>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QToolButton;

namespace kalvendo {

class DirectoryEdit;
class SettingsHost;
class TMultilanguage;
class TMultilanguageSync;

// The settings dialog. Created once at start-up, where it reads ab.ini and
// applies the stored interface language to every window; afterwards it is only
// shown (not modal) and hidden. Every close stores all settings and the group
// list. It has no OK or Cancel button.
class TForm2 : public QDialog {
    Q_OBJECT
public:
    explicit TForm2(SettingsHost& host, QWidget* parent = nullptr);
    ~TForm2() override;

    TMultilanguage* engine() const { return lng; }
    TMultilanguageSync* languageSync() const { return sync; }

    // Page buttons; the "Programm" page also refills its displayed-group list.
    void SpeedButton1Click();
    void SpeedButton2Click();
    void SpeedButton3Click();
    void SpeedButton4Click();
    // Group editor: add Edit21's text, remove the selected group.
    void Button1Click();
    void Button2Click();
    // The language list.
    void updatelanguages();
    void ComboBox1Change();
    void lngTranslate();
    void ReadOEMANSI();

protected:
    // Every way of closing (title bar, Escape) ends here.
    void done(int result) override;

private:
    void buildPages();
    QGroupBox* newPage(const char* name);
    void FormCreate();
    void FormClose();
    void showPage(int index);
    void fillDisplayedGroups(const QStringList& groups);
    void CheckBox3Click(bool checked);
    void CheckBox4Click(bool checked);
    void CheckBox5Click(bool checked);
    QString caption(int pageButton) const;
    QString groupFile() const;

    SettingsHost& m_host;
    TMultilanguage* lng = nullptr;
    TMultilanguageSync* sync = nullptr;
    // False while group.txt could not be read: the close then leaves the file
    // alone instead of replacing it with an empty list.
    bool m_groupsLoaded = false;

    std::array<QToolButton*, 4> m_pageButtons{};
    std::array<QGroupBox*, 4> m_pages{};
    std::array<QLineEdit*, 21> m_edits{}; // Edit1 .. Edit21
    QComboBox* ComboBox1 = nullptr;       // language
    QComboBox* ComboBox2 = nullptr;       // displayed group
    QComboBox* ComboBox3 = nullptr;       // word processor
    QComboBox* ComboBox4 = nullptr;       // export format
    QComboBox* ComboBox5 = nullptr;       // report
    QLabel* Label24 = nullptr;
    QLabel* Label25 = nullptr;
    QLabel* Label30 = nullptr;
    DirectoryEdit* AdvDirectoryEdit1 = nullptr;
    DirectoryEdit* AdvDirectoryEdit2 = nullptr;
    QCheckBox* CheckBox1 = nullptr;
    QCheckBox* CheckBox2 = nullptr;
    QCheckBox* CheckBox3 = nullptr; // ISDN
    QCheckBox* CheckBox4 = nullptr; // call log
    QCheckBox* CheckBox5 = nullptr; // offer unknown numbers to the search
    QListWidget* ListBox1 = nullptr;
    QPushButton* Button1 = nullptr;
    QPushButton* Button2 = nullptr;
};

} // namespace kalvendo
