#pragma once

#include "settings/Preferences.h"

#include <QDialog>
#include <QUrl>

class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace kalvendo {

class TMultilanguage;

// "Suche im Internet": opens a directory service's search for a name and town,
// or the reverse search for a number, from the address templates of ab.ini.
class TForm3 : public QDialog {
    Q_OBJECT
public:
    // abIniPath: the preferences file, read once here for the last unknown
    // caller and at every search for the templates.
    explicit TForm3(QString abIniPath, QWidget* parent = nullptr);

    TMultilanguage* engine() const { return Multilanguage1; }

    void Button1Click();
    void Button2Click();

    // The template with each placeholder replaced by its value, percent-encoded,
    // so that umlauts and blanks reach the service intact.
    static QUrl fillTemplate(const QString& pattern,
                             const QList<std::pair<QString, QString>>& values);

    // Which characters the name fields and the number field accept when typed.
    static bool isNameKey(QChar c);
    static bool isNumberKey(QChar c);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

private:
    void clearFields();
    void search(const StringRead& templateKey, const QList<std::pair<QString, QString>>& values);

    QString m_abIni;
    TMultilanguage* Multilanguage1 = nullptr;
    QGroupBox* GroupBox1 = nullptr;
    QGroupBox* GroupBox2 = nullptr;
    QLineEdit* Edit1 = nullptr;
    QLineEdit* Edit2 = nullptr;
    QLineEdit* Edit3 = nullptr;
    QPushButton* Button1 = nullptr;
    QPushButton* Button2 = nullptr;
};

} // namespace kalvendo
