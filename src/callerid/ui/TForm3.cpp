#include "callerid/ui/TForm3.h"

#include "common/CommandGuard.h"
#include "common/IniFile.h"
#include "common/Launcher.h"
#include "lang/Multilanguage.h"
#include "lang/Scripts.h"
#include "settings/Preferences.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace kalvendo {

namespace {
template <typename T> T* named(QWidget* parent, const char* name) {
    auto* w = new T(parent);
    w->setObjectName(QString::fromLatin1(name));
    return w;
}
} // namespace

TForm3::TForm3(QString abIniPath, QWidget* parent)
    : QDialog(parent), m_abIni(std::move(abIniPath)) {
    setObjectName(QStringLiteral("Form3"));
    setWindowTitle(QStringLiteral("Suche im Internet"));

    auto* layout = new QVBoxLayout(this);

    GroupBox1 = named<QGroupBox>(this, "GroupBox1");
    GroupBox1->setTitle(QStringLiteral("Nummernsuche"));
    auto* g1 = new QGridLayout(GroupBox1);
    auto* label1 = named<QLabel>(GroupBox1, "Label1");
    label1->setText(QStringLiteral("Name:"));
    Edit1 = named<QLineEdit>(GroupBox1, "Edit1");
    auto* label2 = named<QLabel>(GroupBox1, "Label2");
    label2->setText(QStringLiteral("Wohnort:"));
    Edit2 = named<QLineEdit>(GroupBox1, "Edit2");
    Button1 = named<QPushButton>(GroupBox1, "Button1");
    Button1->setText(QStringLiteral("Suchen"));
    Button1->setAutoDefault(false);
    g1->addWidget(label1, 0, 0);
    g1->addWidget(Edit1, 0, 1);
    g1->addWidget(label2, 1, 0);
    g1->addWidget(Edit2, 1, 1);
    g1->addWidget(Button1, 2, 1, Qt::AlignRight);

    GroupBox2 = named<QGroupBox>(this, "GroupBox2");
    GroupBox2->setTitle(QStringLiteral("Inverssuche"));
    auto* g2 = new QGridLayout(GroupBox2);
    auto* label3 = named<QLabel>(GroupBox2, "Label3");
    label3->setText(QStringLiteral("Nummer:"));
    Edit3 = named<QLineEdit>(GroupBox2, "Edit3");
    Button2 = named<QPushButton>(GroupBox2, "Button2");
    Button2->setText(QStringLiteral("Suchen"));
    Button2->setAutoDefault(false);
    g2->addWidget(label3, 0, 0);
    g2->addWidget(Edit3, 0, 1);
    g2->addWidget(Button2, 1, 1, Qt::AlignRight);

    layout->addWidget(GroupBox1);
    layout->addWidget(GroupBox2);

    for (QLineEdit* e : {Edit1, Edit2, Edit3})
        e->installEventFilter(this);
    connectCommand(Button1, &QPushButton::clicked, this, [this]() { Button1Click(); });
    connectCommand(Button2, &QPushButton::clicked, this, [this]() { Button2Click(); });

    // Fixed size, as laid out.
    setFixedSize(sizeHint().expandedTo(QSize(340, 0)));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    Multilanguage1 = new TMultilanguage(this, QStringLiteral("Multilanguage1"));
    Multilanguage1->setScript(scriptForm3());
    Multilanguage1->Loaded();

    const IniFile ab(m_abIni);
    if (readPref(ab, prefs::numberSearch::isdncp)) {
        const QString last = readPref(ab, prefs::numberSearch::isdncpn);
        if (!last.isEmpty())
            Edit3->setText(last);
    }
}

bool TForm3::isNameKey(QChar c) {
    const char16_t u = c.unicode();
    return (u >= u'A' && u <= u'Z') || (u >= u'a' && u <= u'z') || (u >= u'0' && u <= u'9') ||
           QStringView(u"ÄÖÜäöü").contains(c) || u == 8 || u == 13;
}

bool TForm3::isNumberKey(QChar c) {
    const char16_t u = c.unicode();
    return (u >= u'0' && u <= u'9') || u == 8 || u == 13;
}

bool TForm3::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress)
        return QDialog::eventFilter(watched, event);
    auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
        (watched == Edit3 ? Button2 : Button1)->click();
        return true;
    }
    // Characters are filtered; editing and clipboard shortcuts (no printable
    // text) keep working.
    const QString text = key->text();
    if (text.isEmpty() || text.at(0).unicode() < 0x20 || key->key() == Qt::Key_Backspace)
        return false;
    const bool ok = watched == Edit3 ? isNumberKey(text.at(0)) : isNameKey(text.at(0));
    return !ok;
}

QUrl TForm3::fillTemplate(const QString& pattern,
                          const QList<std::pair<QString, QString>>& values) {
    QString text = pattern;
    for (const auto& [placeholder, value] : values)
        text.replace(placeholder, QString::fromLatin1(QUrl::toPercentEncoding(value)));
    return QUrl(text, QUrl::TolerantMode);
}

void TForm3::search(const StringRead& templateKey,
                    const QList<std::pair<QString, QString>>& values) {
    const IniFile ab(m_abIni);
    const QString pattern = readPref(ab, templateKey);
    if (pattern.isEmpty())
        return; // no template: nothing useful to open
    openExternal(fillTemplate(pattern, values));
}

void TForm3::Button1Click() {
    search(prefs::numberSearch::number, {{QStringLiteral("%variable:name%"), Edit1->text()},
                                         {QStringLiteral("%variable:wohnort%"), Edit2->text()}});
}

void TForm3::Button2Click() {
    search(prefs::numberSearch::invers, {{QStringLiteral("%variable:nummer%"), Edit3->text()}});
}

void TForm3::clearFields() {
    Edit1->clear();
    Edit2->clear();
    Edit3->clear();
}

void TForm3::closeEvent(QCloseEvent* event) {
    clearFields();
    QDialog::closeEvent(event);
}

void TForm3::reject() {
    clearFields();
    QDialog::reject();
}

} // namespace kalvendo
