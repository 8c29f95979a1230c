#pragma once

#include <QDialog>
#include <QLabel>
#include <QPixmap>
#include <QUrl>

class QPushButton;

namespace kalvendo {

class TMultilanguage;

// The product's and the maker's web pages.
QUrl productWebAddress();
QUrl makerWebAddress();
QString makerName();
// The program's logo, 64 by 64 pixels.
QPixmap programLogo();

// A label that reports clicks and the mouse entering and leaving it.
class LinkLabel : public QLabel {
    Q_OBJECT
public:
    explicit LinkLabel(QWidget* parent = nullptr);

Q_SIGNALS:
    void clicked();
    void entered();
    void left();

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
};

// The about box: name, version, maker and credits. Created once at start-up,
// after the settings dialog has applied the language; its caption keeps that
// language for the whole run.
class TForm5 : public QDialog {
    Q_OBJECT
public:
    explicit TForm5(TMultilanguage* mainEngine, QWidget* parent = nullptr);

    void Button1Click();
    void Label1Click();
    void Image1Click();
    void Label2Click();
    void Label2MouseEnter();
    void Label2MouseLeave();

private:
    void FormCreate(TMultilanguage* mainEngine);

    LinkLabel* Image1;
    LinkLabel* Label1;
    LinkLabel* Label2;
    QLabel* Label7;
    QLabel* HTMLabel2;
    QPushButton* Button1;
};

} // namespace kalvendo
