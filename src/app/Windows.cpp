#include "app/Windows.h"

namespace kalvendo {

namespace {
void setUp(QDialog* w, const char* name, const QString& caption) {
    w->setObjectName(QString::fromLatin1(name));
    w->setWindowTitle(caption);
}
} // namespace

TForm6::TForm6(QWidget* parent) : QDialog(parent) {
    setUp(this, "Form6", QString());
}

} // namespace kalvendo
