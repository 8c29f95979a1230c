#pragma once

#include "output/report/PdfExport.h"
#include "output/report/ReportProject.h"

#include <QString>

#include <functional>
#include <memory>

namespace kalvendo {

class ReportDocument;
class ReportRows;

// Looks a named string up in the current language.
using NamedStrings = std::function<QString(const QString& key)>;

// Sets the report variables of report number 0 .. 3 on the project from the
// named strings, in a fixed order: the heading `ueberschrift`, the column
// captions, then the page footer's `labelsite` and `labelof`. Any other number
// sets nothing. Returns whether the number was one of 0 .. 3.
bool setravevariablen(RvProject& project, int number, const NamedStrings& getString);

// Laying out and drawing need fonts, that is a QGuiApplication; a program that
// made only a QCoreApplication gets EReportError instead of Qt's abort.
void requireFonts();

// The report project file below the application folder (ending in '/'):
// daten/velmora.rav, for printing and PDF export alike.
QString reportProjectPath(const QString& applicationPath);

enum class ReportDestination { Preview, File };

// What the preview window takes over from the report system when it opens.
struct PreviewSettings {
    int windowWidth = 782;
    int windowHeight = 520;
    bool maximized = false;
    double zoomFactor = 100;
    double zoomStep = 10;
    int pageStep = 1;
};

// The report system's settings that the print and export commands set before
// a run and that stay set afterwards, as on the main window's component.
struct ReportSystem {
    QString previewTitle;
    QString statusTitle;
    // Status texts while pages are laid out and printed; %p is the page number.
    QString generatingFormat = QStringLiteral("Generating page %p");
    QString printingFormat = QStringLiteral("Printing page %p");
    QString jobTitle = QStringLiteral("Kalvendo 2007");
    // How long a run may take before its status window (with its cancel
    // button) shows, in milliseconds.
    int statusDelay = 500;

    ReportDestination destination = ReportDestination::Preview;
    QString outputFileName; // with File: the PDF written
    PdfInfo pdf;

    PreviewSettings preview;
    bool modalPreview = true;

    // The pages of the last run, handed to the preview.
    std::shared_ptr<const ReportDocument> output;
};

// A status text with its "%p" replaced by the page number.
QString statusText(const QString& format, int page);

// One PDF export without windows, as the command line runs it: opens the
// project file, sets report `number`'s variables, lays the rows out and writes
// the PDF. Returns false, writing nothing, for a number outside 0 .. 3. Throws
// EReportProjectError, EPdfError, EWriteError.
bool exportReportPdf(const QString& projectPath, int number, const NamedStrings& getString,
                     const ReportRows& rows, const QString& pdfPath, const PdfInfo& info);

} // namespace kalvendo
