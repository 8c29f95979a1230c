#include "output/export/OutStream.h"

#include "common/SaveFile.h"

namespace kalvendo {

void OutStream::putText(QStringView text) {
    const qsizetype used = m_buffer.size();
    m_buffer.resize(used + text.size() * 3);
    char* end = m_utf8.appendToBuffer(m_buffer.data() + used, text);
    m_buffer.truncate(end - m_buffer.constData());
    spill();
}

void OutStream::finish() {
    if (m_buffer.isEmpty())
        return;
    if (m_device.write(m_buffer) != m_buffer.size())
        throw EWriteError(QStringLiteral("Schreiben fehlgeschlagen / write failed: %1")
                              .arg(m_device.errorString()));
    m_buffer.clear();
}

void OutStream::putXml(QStringView text) {
    appendXmlText(m_buffer, text);
    spill();
}

void appendXmlText(QByteArray& out, QStringView text) {
    QStringEncoder utf8(QStringEncoder::Utf8, QStringEncoder::Flag::Stateless);
    qsizetype start = 0;
    const auto flush = [&](qsizetype upTo) {
        if (upTo <= start)
            return;
        const qsizetype used = out.size();
        out.resize(used + (upTo - start) * 3);
        char* end = utf8.appendToBuffer(out.data() + used, text.sliced(start, upTo - start));
        out.truncate(end - out.constData());
    };
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        const char* ref = nullptr;
        switch (c) {
        case u'&':
            ref = "&amp;";
            break;
        case u'<':
            ref = "&lt;";
            break;
        case u'>':
            ref = "&gt;";
            break;
        case u'"':
            ref = "&quot;";
            break;
        case u'\r':
            ref = "&#13;";
            break;
        default:
            if (c >= 0xD800 && c <= 0xDFFF) {
                // Fine in pairs; a lone half cannot be encoded.
                const bool paired = c < 0xDC00 ? i + 1 < text.size() && text[i + 1].isLowSurrogate()
                                               : i > 0 && text[i - 1].isHighSurrogate();
                if (paired)
                    continue;
            } else if (isXmlChar(c)) {
                continue;
            }
            break;
        }
        flush(i);
        if (ref)
            out.append(ref);
        start = i + 1;
    }
    flush(text.size());
}

qsizetype xmlTextLength(QStringView text) {
    qsizetype n = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (c < 0x80) {
            switch (c) {
            case u'&':
            case u'\r':
                n += 5;
                break;
            case u'<':
            case u'>':
                n += 4;
                break;
            case u'"':
                n += 6;
                break;
            default:
                n += isXmlChar(c) ? 1 : 0;
            }
        } else if (c < 0x800) {
            n += 2;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            // A pair is four bytes, two per half; a lone half is dropped.
            const bool paired = c < 0xDC00 ? i + 1 < text.size() && text[i + 1].isLowSurrogate()
                                           : i > 0 && text[i - 1].isHighSurrogate();
            n += paired ? 2 : 0;
        } else {
            n += isXmlChar(c) ? 3 : 0;
        }
    }
    return n;
}

} // namespace kalvendo
