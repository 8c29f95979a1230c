#pragma once

#include "app/TForm5.h"
#include "callerid/ui/TForm3.h"
#include "settings/ui/TForm2.h"

#include <QDialog>

namespace kalvendo {

// The program's secondary windows. Each is created once at start-up and only
// shown and hidden afterwards; their content is built by their own subsystems.
// The settings dialog TForm2 and the about box TForm5 have headers of their own;
// the print preview TForm4 is made anew for each run by the report controller.
class TForm6 : public QDialog {
    Q_OBJECT
public:
    explicit TForm6(QWidget* parent = nullptr);
};

} // namespace kalvendo
