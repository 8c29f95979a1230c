#include "output/report/ReportSystem.h"

#include "common/AppPaths.h"
#include "output/report/ReportLayout.h"

#include <QGuiApplication>

namespace kalvendo {

namespace {

struct Variable {
    const char* name;
    const char* key;
};

constexpr Variable kName{"name", "repname"};
constexpr Variable kFname{"fname", "repfname"};
constexpr Variable kStreet{"street", "repstreet"};
constexpr Variable kNo{"no", "repno"};
constexpr Variable kZip{"zip", "repzip"};
constexpr Variable kCity{"city", "repcity"};
constexpr Variable kTelephone{"telephone", "reptelephone"};
constexpr Variable kMobile{"mobile", "repmobile"};
constexpr Variable kMail{"mail", "repmail"};
constexpr Variable kBirthday{"birthday", "repbirthday"};
constexpr Variable kWebsite{"website", "repwebsite"};

} // namespace

bool setravevariablen(RvProject& project, int number, const NamedStrings& getString) {
    static const std::initializer_list<Variable> captions[kReportCount] = {
        {kName, kFname, kStreet, kNo, kZip, kCity, kTelephone},
        {kName, kFname, kStreet, kNo, kZip, kCity, kTelephone, kMobile, kMail},
        {kName, kFname, kTelephone, kMobile, kMail, kBirthday},
        {kName, kFname, kMail, kWebsite},
    };
    if (number < 0 || number >= kReportCount)
        return false;
    auto set = [&](const QString& name, const QString& key) {
        project.SetParam(name, getString(key));
    };
    set(QStringLiteral("ueberschrift"), QStringLiteral("rep%1headline").arg(number));
    for (const Variable& v : captions[number])
        set(QString::fromLatin1(v.name), QString::fromLatin1(v.key));
    set(QStringLiteral("labelsite"), QStringLiteral("labelsite"));
    set(QStringLiteral("labelof"), QStringLiteral("labelof"));
    return true;
}

void requireFonts() {
    // Without it Qt aborts the program at the first font it is asked for.
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        throw EReportError(QStringLiteral(
            "Für Berichte fehlt die grafische Anwendung (QGuiApplication, auch ohne Bildschirm mit "
            "QT_QPA_PLATFORM=offscreen) / reports need a QGuiApplication (the offscreen platform "
            "will do without a display)"));
}

QString reportProjectPath(const QString& applicationPath) {
    return AppPaths(applicationPath).reportProject();
}

QString statusText(const QString& format, int page) {
    QString s = format;
    return s.replace(QStringLiteral("%p"), QString::number(page));
}

bool exportReportPdf(const QString& projectPath, int number, const NamedStrings& getString,
                     const ReportRows& rows, const QString& pdfPath, const PdfInfo& info) {
    requireFonts();
    RvProject project;
    project.ProjectFile = projectPath;
    project.Open();
    RvProjectCloser closer(project);
    if (!setravevariablen(project, number, getString))
        return false;
    const ReportDefinition* def = project.findReport(reportName(number));
    if (!def)
        return false;
    const std::optional<ReportDocument> doc = layoutReport(*def, project.params(), rows);
    writeReportPdf(*doc, pdfPath, info);
    return true;
}

} // namespace kalvendo
