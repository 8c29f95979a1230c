#include "output/report/PdfExport.h"

#include "common/SaveFile.h"
#include "output/report/ReportLayout.h"

#include <QBuffer>
#include <QPainter>
#include <QPdfWriter>

#include <qpdf/Pipeline.hh>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFObjectHandle.hh>
#include <qpdf/QPDFWriter.hh>

namespace kalvendo {

QString pdfProducer() {
    return QStringLiteral("Kalvendo (https://kalvendo.example.org/)");
}

namespace {

[[noreturn]] void failPdf(const QString& de, const QString& en) {
    throw EPdfError(de + QStringLiteral(" / ") + en);
}

QByteArray drawPdf(const ReportDocument& doc, const PdfInfo& info) {
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    {
        QPdfWriter writer(&buffer);
        writer.setTitle(info.title);
        writer.setCreator(info.creator);
        writer.setPageLayout(QPageLayout(doc.pageSize(), doc.orientation(), QMarginsF()));
        const double scale = writer.resolution() / 72.0;
        const QRectF paper = writer.pageLayout().fullRect(QPageLayout::Point);
        const QRectF target(0, 0, paper.width() * scale, paper.height() * scale);
        QPainter painter;
        if (!painter.begin(&writer))
            failPdf(QStringLiteral("Das PDF kann nicht angelegt werden"),
                    QStringLiteral("the PDF cannot be started"));
        for (int i = 0; i < doc.pageCount(); ++i) {
            if (i > 0 && !writer.newPage())
                failPdf(QStringLiteral("Das PDF kann keine weitere Seite anlegen"),
                        QStringLiteral("the PDF cannot take another page"));
            doc.drawPage(painter, i, target);
        }
        if (!painter.end())
            failPdf(QStringLiteral("Das PDF kann nicht abgeschlossen werden"),
                    QStringLiteral("the PDF cannot be finished"));
    }
    return buffer.data();
}

// Hands qpdf's output straight to the file being saved.
class SaveFilePipeline final : public Pipeline {
public:
    explicit SaveFilePipeline(SaveFile& file)
        : Pipeline("kalvendo save file", nullptr), m_file(file) {}
    void write(unsigned char const* data, size_t len) override {
        m_file.write(QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(len)));
    }
    void finish() override {}

private:
    SaveFile& m_file;
};

void setInfo(QPDF& pdf, const PdfInfo& info) {
    QPDFObjectHandle trailer = pdf.getTrailer();
    QPDFObjectHandle dict = trailer.getKey("/Info");
    if (!dict.isDictionary()) {
        dict = pdf.makeIndirectObject(QPDFObjectHandle::newDictionary());
        trailer.replaceKey("/Info", dict);
    }
    // newUnicodeString picks PDFDocEncoding or UTF-16 as the text needs, so
    // umlauts and any other script survive in every reader.
    auto set = [&](const char* key, const QString& value) {
        if (value.isEmpty())
            dict.removeKey(key);
        else
            dict.replaceKey(key, QPDFObjectHandle::newUnicodeString(value.toStdString()));
    };
    set("/Title", info.title);
    set("/Author", info.author);
    set("/Creator", info.creator);
    set("/Producer", info.producer);
}

// Reads Qt's PDF back, completes its document information and writes it
// through `configure`'s output.
template <typename Configure>
void completePdf(const QByteArray& drawn, const PdfInfo& info, Configure configure) {
    try {
        QPDF pdf;
        pdf.setSuppressWarnings(true);
        pdf.processMemoryFile("report.pdf", drawn.constData(), size_t(drawn.size()));
        setInfo(pdf, info);
        QPDFWriter writer(pdf);
        // Qt's streams are already compressed; copied as they are.
        writer.setDecodeLevel(qpdf_dl_none);
        configure(writer);
        writer.write();
    } catch (const Exception&) {
        throw;
    } catch (const std::exception& e) {
        failPdf(QStringLiteral("Die Dokumentinformation des PDF kann nicht gesetzt werden: %1")
                    .arg(QString::fromUtf8(e.what())),
                QStringLiteral("the PDF's document information cannot be set: %1")
                    .arg(QString::fromUtf8(e.what())));
    }
}

} // namespace

void writeReportPdf(const ReportDocument& doc, const QString& path, const PdfInfo& info) {
    const QByteArray drawn = drawPdf(doc, info);
    SaveFile file(path);
    SaveFilePipeline pipeline(file);
    completePdf(drawn, info, [&](QPDFWriter& writer) { writer.setOutputPipeline(&pipeline); });
    file.commit();
}

} // namespace kalvendo
