// Builds a zip package (the letter templates) from readable sources at build
// time: kalvendo-mkpackage OUTPUT SOURCEDIR ENTRY...
// Entries go in in the order given; "mimetype" is stored, everything else
// deflated. XML parts are checked for well-formedness, so a typo in a template
// source fails the build instead of the letter.
#include "common/Exception.h"
#include "output/package/Package.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QXmlStreamReader>

#include <cstdio>

using namespace kalvendo;

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 4) {
        std::fputs("usage: kalvendo-mkpackage OUTPUT SOURCEDIR ENTRY...\n", stderr);
        return 2;
    }
    const QString output = args[1];
    const QDir source(args[2]);
    // A fixed time keeps the build reproducible.
    const QDateTime when(QDate(2024, 1, 1), QTime(0, 0));
    try {
        PackageWriter w;
        for (qsizetype i = 3; i < args.size(); ++i) {
            const QString entry = args[i];
            QFile f(source.filePath(entry));
            if (!f.open(QIODevice::ReadOnly))
                throw EInOutError(QStringLiteral("%1 kann nicht gelesen werden").arg(f.fileName()));
            const QByteArray bytes = f.readAll();
            if (entry.endsWith(QStringLiteral(".xml")) || entry.endsWith(QStringLiteral(".rels"))) {
                QXmlStreamReader r(bytes);
                while (!r.atEnd())
                    r.readNext();
                if (r.hasError())
                    throw EInOutError(QStringLiteral("%1:%2: %3")
                                          .arg(f.fileName())
                                          .arg(r.lineNumber())
                                          .arg(r.errorString()));
            }
            w.add(entry, bytes,
                  entry == QStringLiteral("mimetype") ? PackageCompression::Stored
                                                      : PackageCompression::Deflated,
                  when);
        }
        QDir().mkpath(QFileInfo(output).absolutePath());
        w.save(output);
    } catch (const Exception& e) {
        std::fprintf(stderr, "kalvendo-mkpackage: %s\n", e.what());
        return 1;
    }
    return 0;
}
