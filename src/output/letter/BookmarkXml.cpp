#include "output/letter/BookmarkXml.h"

#include "output/letter/LetterDocument.h"

#include <QList>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>
#include <algorithm>
#include <memory>

namespace kalvendo {

namespace {

const QString kWordNs =
    QStringLiteral("http://schemas.openxmlformats.org/wordprocessingml/2006/main");
const QString kTextNs = QStringLiteral("urn:oasis:names:tc:opendocument:xmlns:text:1.0");

// One token of the reader, kept so that it can be written later or dropped.
struct Token {
    QXmlStreamReader::TokenType type = QXmlStreamReader::NoToken;
    QString namespaceUri;
    QString name;
    QXmlStreamAttributes attributes;
    QXmlStreamNamespaceDeclarations namespaces;
    QString text;
    QString data;
    bool flag = false; // CDATA for characters, standalone for the document start

    bool is(const QString& ns, QStringView local) const {
        return namespaceUri == ns && name == local;
    }
};

// Streams one part from reader to writer, token by token, knowing the open
// elements.
class PartStream {
public:
    PartStream(const QByteArray& xml, const QString& part) : m_reader(xml), m_part(part) {
        m_out.reserve(xml.size() + 4096);
        m_writer = std::make_unique<QXmlStreamWriter>(&m_out);
        m_writer->setAutoFormatting(false);
    }

    bool next(Token& t) {
        if (m_reader.atEnd())
            return false;
        m_reader.readNext();
        if (m_reader.hasError())
            throw ELetterTemplateError(QStringLiteral("%1 ist kein lesbares XML (Zeile %2: %3)")
                                           .arg(m_part)
                                           .arg(m_reader.lineNumber())
                                           .arg(m_reader.errorString()));
        t = Token();
        t.type = m_reader.tokenType();
        switch (t.type) {
        case QXmlStreamReader::StartDocument:
            t.text = m_reader.documentVersion().toString();
            t.flag = m_reader.isStandaloneDocument();
            break;
        case QXmlStreamReader::StartElement:
            t.namespaceUri = m_reader.namespaceUri().toString();
            t.name = m_reader.name().toString();
            t.attributes = m_reader.attributes();
            t.namespaces = m_reader.namespaceDeclarations();
            break;
        case QXmlStreamReader::EndElement:
            t.namespaceUri = m_reader.namespaceUri().toString();
            t.name = m_reader.name().toString();
            break;
        case QXmlStreamReader::Characters:
            t.text = m_reader.text().toString();
            t.flag = m_reader.isCDATA();
            break;
        case QXmlStreamReader::Comment:
        case QXmlStreamReader::DTD:
            t.text = m_reader.text().toString();
            break;
        case QXmlStreamReader::EntityReference:
            t.name = m_reader.name().toString();
            break;
        case QXmlStreamReader::ProcessingInstruction:
            t.text = m_reader.processingInstructionTarget().toString();
            t.data = m_reader.processingInstructionData().toString();
            break;
        default:
            break;
        }
        return true;
    }

    void write(const Token& t) {
        QXmlStreamWriter& w = *m_writer;
        switch (t.type) {
        case QXmlStreamReader::StartDocument:
            // Without a declaration in the part, none is written.
            if (t.text.isEmpty())
                break;
            if (t.flag)
                w.writeStartDocument(t.text, true);
            else
                w.writeStartDocument(t.text);
            break;
        case QXmlStreamReader::EndDocument:
            w.writeEndDocument();
            break;
        case QXmlStreamReader::StartElement:
            // Declared before the element, so the writer keeps the part's own
            // prefixes (mc:Ignorable names them in plain text).
            for (const QXmlStreamNamespaceDeclaration& d : t.namespaces) {
                if (d.prefix().isEmpty())
                    w.writeDefaultNamespace(d.namespaceUri().toString());
                else
                    w.writeNamespace(d.namespaceUri().toString(), d.prefix().toString());
            }
            if (t.namespaceUri.isEmpty())
                w.writeStartElement(t.name);
            else
                w.writeStartElement(t.namespaceUri, t.name);
            w.writeAttributes(t.attributes);
            m_open.append(t);
            break;
        case QXmlStreamReader::EndElement:
            w.writeEndElement();
            m_open.removeLast();
            break;
        case QXmlStreamReader::Characters:
            if (t.flag)
                w.writeCDATA(t.text);
            else
                w.writeCharacters(t.text);
            break;
        case QXmlStreamReader::Comment:
            w.writeComment(t.text);
            break;
        case QXmlStreamReader::DTD:
            w.writeDTD(t.text);
            break;
        case QXmlStreamReader::EntityReference:
            w.writeEntityReference(t.name);
            break;
        case QXmlStreamReader::ProcessingInstruction:
            w.writeProcessingInstruction(t.text, t.data);
            break;
        default:
            break;
        }
    }

    QXmlStreamWriter& writer() { return *m_writer; }
    const QList<Token>& open() const { return m_open; }

    // Whether an open element is `ns`:`local`.
    int openIndex(const QString& ns, QStringView local) const {
        for (qsizetype i = m_open.size() - 1; i >= 0; --i)
            if (m_open[i].is(ns, local))
                return static_cast<int>(i);
        return -1;
    }

    QByteArray finish() {
        if (m_writer->hasError())
            throw ELetterTemplateError(
                QStringLiteral("%1 kann nicht geschrieben werden").arg(m_part));
        return m_out;
    }

    const QString& part() const { return m_part; }

private:
    QXmlStreamReader m_reader;
    QString m_part;
    QByteArray m_out;
    std::unique_ptr<QXmlStreamWriter> m_writer;
    QList<Token> m_open;
};

QString attribute(const Token& t, const QString& ns, const QString& local) {
    return t.attributes.value(ns, local).toString();
}

[[noreturn]] void notInParagraph(const PartStream& s, const QString& name) {
    throw ELetterTemplateError(
        QStringLiteral("%1: Die Textmarke %2 steht nicht in einem Absatz").arg(s.part(), name));
}

// A value as a Word run: text in w:t with its blanks kept, tabs as w:tab,
// line breaks as w:br.
void writeWordRun(QXmlStreamWriter& w, const QString& value) {
    const QString text = xmlSafeText(value);
    if (text.isEmpty())
        return;
    w.writeStartElement(kWordNs, QStringLiteral("r"));
    QString pending;
    const auto flush = [&]() {
        if (pending.isEmpty())
            return;
        w.writeStartElement(kWordNs, QStringLiteral("t"));
        w.writeAttribute(QStringLiteral("http://www.w3.org/XML/1998/namespace"),
                         QStringLiteral("space"), QStringLiteral("preserve"));
        w.writeCharacters(pending);
        w.writeEndElement();
        pending.clear();
    };
    for (const QChar c : text) {
        if (c == u'\t' || c == u'\n') {
            flush();
            w.writeEmptyElement(kWordNs, c == u'\t' ? QStringLiteral("tab") : QStringLiteral("br"));
        } else {
            pending.append(c);
        }
    }
    flush();
    w.writeEndElement();
}

// A value as ODF paragraph content. ODF collapses runs of blanks and ignores
// them at the edges, so every blank that would be lost is a text:s.
void writeOdfText(QXmlStreamWriter& w, const QString& value) {
    const QString text = xmlSafeText(value);
    QString pending;
    const auto flush = [&]() {
        if (!pending.isEmpty())
            w.writeCharacters(pending);
        pending.clear();
    };
    const auto spaces = [&](qsizetype n) {
        if (n <= 0)
            return;
        flush();
        w.writeEmptyElement(kTextNs, QStringLiteral("s"));
        if (n > 1)
            w.writeAttribute(kTextNs, QStringLiteral("c"), QString::number(n));
    };
    bool afterElement = true; // the value's start counts as an edge
    for (qsizetype i = 0; i < text.size();) {
        const QChar c = text[i];
        if (c == u' ') {
            qsizetype n = 0;
            while (i + n < text.size() && text[i + n] == u' ')
                ++n;
            const bool edge = afterElement || i + n == text.size();
            if (edge) {
                spaces(n);
            } else {
                pending.append(u' ');
                spaces(n - 1);
            }
            afterElement = edge;
            i += n;
            continue;
        }
        if (c == u'\t' || c == u'\n') {
            flush();
            w.writeEmptyElement(kTextNs,
                                c == u'\t' ? QStringLiteral("tab") : QStringLiteral("line-break"));
            afterElement = true;
        } else {
            pending.append(c);
            afterElement = false;
        }
        ++i;
    }
    flush();
}

} // namespace

QString xmlSafeText(const QString& text) {
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (c == u'\r') {
            out.append(u'\n');
            if (i + 1 < text.size() && text[i + 1] == u'\n')
                ++i;
        } else if (c == u'\t' || c == u'\n' || (c >= 0x20 && c < 0xD800) ||
                   (c >= 0xE000 && c <= 0xFFFD)) {
            out.append(QChar(c));
        } else if (QChar::isHighSurrogate(c) && i + 1 < text.size() &&
                   text[i + 1].isLowSurrogate()) {
            out.append(QChar(c));
            out.append(text[++i]);
        }
    }
    return out;
}

QByteArray fillWordBookmarks(const QByteArray& xml, const QHash<QString, QString>& values,
                             QSet<QString>& filled, const QString& part) {
    PartStream s(xml, part);
    Token t;
    const QString* pending = nullptr;
    while (s.next(t)) {
        if (t.type == QXmlStreamReader::StartElement && t.is(kWordNs, u"bookmarkStart")) {
            const QString name = attribute(t, kWordNs, QStringLiteral("name")).toLower();
            const auto it = values.constFind(name);
            if (it != values.constEnd()) {
                if (s.openIndex(kWordNs, u"p") < 0)
                    notInParagraph(s, name);
                filled.insert(name);
                pending = &it.value();
            }
        }
        const bool closesBookmark =
            t.type == QXmlStreamReader::EndElement && t.is(kWordNs, u"bookmarkStart");
        s.write(t);
        if (closesBookmark && pending) {
            writeWordRun(s.writer(), *pending);
            pending = nullptr;
        }
    }
    return s.finish();
}

QByteArray fillOdfBookmarks(const QByteArray& xml, const QHash<QString, QString>& values,
                            QSet<QString>& filled, const QString& part) {
    PartStream s(xml, part);
    Token t;
    const auto inParagraph = [&s]() {
        return std::max(s.openIndex(kTextNs, u"p"), s.openIndex(kTextNs, u"h"));
    };
    while (s.next(t)) {
        if (t.type != QXmlStreamReader::StartElement ||
            !(t.is(kTextNs, u"bookmark") || t.is(kTextNs, u"bookmark-start"))) {
            s.write(t);
            continue;
        }
        const QString name = attribute(t, kTextNs, QStringLiteral("name"));
        const auto it = values.constFind(name);
        if (it == values.constEnd()) {
            s.write(t);
            continue;
        }
        const int paragraph = inParagraph();
        if (paragraph < 0)
            notInParagraph(s, name);
        filled.insert(name);
        QXmlStreamWriter& w = s.writer();

        if (t.is(kTextNs, u"bookmark")) {
            // A collapsed bookmark: start and end around the value.
            Token end;
            s.next(end); // its own end tag
            Token start = t;
            start.name = QStringLiteral("bookmark-start");
            s.write(start);
            s.write(end);
            writeOdfText(w, it.value());
            w.writeEmptyElement(kTextNs, QStringLiteral("bookmark-end"));
            w.writeAttribute(kTextNs, QStringLiteral("name"), name);
            continue;
        }

        // bookmark-start ... bookmark-end: the anchor text between them goes.
        s.write(t);
        Token startEnd;
        s.next(startEnd);
        s.write(startEnd);
        writeOdfText(w, it.value());

        QList<Token> anchor;
        const qsizetype depth = s.open().size();
        qsizetype level = 0; // relative to the bookmark's parent
        for (;;) {
            Token a;
            if (!s.next(a))
                throw ELetterTemplateError(
                    QStringLiteral("%1: Die Textmarke %2 endet nicht").arg(part, name));
            if (a.type == QXmlStreamReader::StartElement && a.is(kTextNs, u"bookmark-end") &&
                attribute(a, kTextNs, QStringLiteral("name")) == name) {
                t = a;
                break;
            }
            if (a.type == QXmlStreamReader::StartElement)
                ++level;
            if (a.type == QXmlStreamReader::EndElement && --level < 0 && depth + level <= paragraph)
                throw ELetterTemplateError(
                    QStringLiteral("%1: Die Textmarke %2 reicht über ihren Absatz hinaus")
                        .arg(part, name));
            anchor.append(a);
        }
        // Of the anchor keep only the tags that enclose its end (they close
        // elements opened before it or open those the end sits in) and other
        // bookmarks; text and whole elements inside it are replaced.
        QList<bool> keep(anchor.size(), false);
        QList<qsizetype> starts;
        for (qsizetype i = 0; i < anchor.size(); ++i) {
            const Token& a = anchor[i];
            if (a.type == QXmlStreamReader::StartElement) {
                starts.append(i);
            } else if (a.type == QXmlStreamReader::EndElement) {
                if (starts.isEmpty()) {
                    keep[i] = true;
                } else {
                    const qsizetype open = starts.takeLast();
                    const bool bookmark =
                        a.namespaceUri == kTextNs && a.name.startsWith(QStringLiteral("bookmark"));
                    keep[open] = keep[i] = bookmark;
                }
            }
        }
        for (const qsizetype open : starts)
            keep[open] = true;
        for (qsizetype i = 0; i < anchor.size(); ++i)
            if (keep[i])
                s.write(anchor[i]);
        s.write(t);
    }
    return s.finish();
}

} // namespace kalvendo
