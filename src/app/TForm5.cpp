#include "app/TForm5.h"

#include "common/AppPaths.h"

#include "common/Launcher.h"
#include "lang/Multilanguage.h"

#include <QMouseEvent>
#include <QPushButton>

// Resources of a static library are only linked in when something refers to them.
static void initIconResources() {
    Q_INIT_RESOURCE(icons);
}

namespace kalvendo {

QUrl productWebAddress() {
    return QUrl(QStringLiteral("https://kalvendo.example.org/"));
}

QUrl makerWebAddress() {
    return QUrl(QStringLiteral("https://kalvendo.example.org/team/"));
}

QString makerName() {
    return QStringLiteral("Kalvendo-Team");
}

QPixmap programLogo() {
    static const bool initialised = (initIconResources(), true);
    Q_UNUSED(initialised);
    return QPixmap(QStringLiteral(":/icons/kalvendo-64.png"));
}

LinkLabel::LinkLabel(QWidget* parent) : QLabel(parent) {
    setCursor(Qt::PointingHandCursor);
}

void LinkLabel::mouseReleaseEvent(QMouseEvent* event) {
    QLabel::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        Q_EMIT clicked();
}

void LinkLabel::enterEvent(QEnterEvent* event) {
    QLabel::enterEvent(event);
    Q_EMIT entered();
}

void LinkLabel::leaveEvent(QEvent* event) {
    QLabel::leaveEvent(event);
    Q_EMIT left();
}

namespace {

// Five beta testers, one translator, then the tools the program is built with.
QString credits() {
    const auto link = [](const char* name, const char* url) -> QString {
        return QString::fromUtf8(name) + QStringLiteral(" (<a href=\"") + QString::fromUtf8(url) +
               QStringLiteral("\">") + QString::fromUtf8(url) + QStringLiteral("</a>)");
    };
    const QStringList lines = {
        QStringLiteral("Sabine Kranz (Betatest)"), QStringLiteral("Thomas Feldmann (Betatest)"),
        QStringLiteral("Jana Wolters (Betatest)"), QStringLiteral("Michael Brandt (Betatest)"),
        QStringLiteral("Elena Rossi (Betatest)"),  QStringLiteral("Claire Dubois (Übersetzung)"),
        link("Qt", "https://www.qt.io"),           link("SQLite", "https://sqlite.org"),
        link("CMake", "https://cmake.org"),
    };
    return lines.join(QStringLiteral("<br>"));
}

void setLinkLook(QLabel* label, bool on) {
    QFont f = label->font();
    f.setUnderline(on);
    label->setFont(f);
    QPalette p = label->palette();
    p.setColor(QPalette::WindowText, on ? QColor(Qt::blue) : QColor(Qt::black));
    label->setPalette(p);
}

} // namespace

TForm5::TForm5(TMultilanguage* mainEngine, QWidget* parent)
    : QDialog(parent), Image1(new LinkLabel(this)), Label1(new LinkLabel(this)),
      Label2(new LinkLabel(this)), Label7(new QLabel(this)), HTMLabel2(new QLabel(this)),
      Button1(new QPushButton(this)) {
    setObjectName(QStringLiteral("Form5"));
    setWindowTitle(QStringLiteral("Info"));
    // Fixed size, only a close button in the title bar.
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    setModal(false);
    setFixedSize(420, 300);
    setFont(QFont(QStringLiteral("Tahoma"), 8));
    QPalette white = palette();
    white.setColor(QPalette::Window, Qt::white);
    white.setColor(QPalette::WindowText, Qt::black);
    setPalette(white);
    setAutoFillBackground(true);

    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setGeometry(12, 12, 64, 64);
    Image1->setPixmap(programLogo());

    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setText(productName());
    QFont title(QStringLiteral("Verdana"), 16);
    title.setBold(true);
    Label1->setFont(title);
    Label1->setGeometry(92, 14, 316, 30);

    Label2->setObjectName(QStringLiteral("Label2"));
    Label2->setText(makerName());
    Label2->setFont(QFont(QStringLiteral("Verdana"), 8));
    Label2->setGeometry(92, 48, 316, 18);
    setLinkLook(Label2, false);

    Label7->setObjectName(QStringLiteral("Label7"));
    Label7->setText(QStringLiteral("Besonderen Dank an:"));
    Label7->setGeometry(92, 82, 316, 16);

    HTMLabel2->setObjectName(QStringLiteral("HTMLabel2"));
    HTMLabel2->setTextFormat(Qt::RichText);
    HTMLabel2->setText(credits());
    HTMLabel2->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    HTMLabel2->setOpenExternalLinks(false);
    HTMLabel2->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
    HTMLabel2->setGeometry(92, 102, 316, 150);

    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setText(QStringLiteral("OK"));
    Button1->setGeometry(333, 263, 75, 25);
    Button1->setDefault(true);

    connect(Button1, &QPushButton::clicked, this, [this]() { Button1Click(); });
    connect(Label1, &LinkLabel::clicked, this, [this]() { Label1Click(); });
    connect(Image1, &LinkLabel::clicked, this, [this]() { Image1Click(); });
    connect(Label2, &LinkLabel::clicked, this, [this]() { Label2Click(); });
    connect(Label2, &LinkLabel::entered, this, [this]() { Label2MouseEnter(); });
    connect(Label2, &LinkLabel::left, this, [this]() { Label2MouseLeave(); });
    connect(HTMLabel2, &QLabel::linkActivated, this,
            [](const QString& link) { openExternal(QUrl(link)); });

    FormCreate(mainEngine);
}

void TForm5::FormCreate(TMultilanguage* mainEngine) {
    const QString info =
        mainEngine ? mainEngine->GetString(QStringLiteral("Info1.Caption")) : QString();
    setWindowTitle(info + QStringLiteral(" - Version: 6.1"));
}

void TForm5::Button1Click() {
    close();
}

void TForm5::Label1Click() {
    openExternal(productWebAddress());
}

void TForm5::Image1Click() {
    openExternal(productWebAddress());
}

void TForm5::Label2Click() {
    openExternal(makerWebAddress());
}

void TForm5::Label2MouseEnter() {
    setLinkLook(Label2, true);
}

void TForm5::Label2MouseLeave() {
    setLinkLook(Label2, false);
}

} // namespace kalvendo
