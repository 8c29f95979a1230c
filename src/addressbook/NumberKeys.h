#pragma once

#include <QString>

namespace kalvendo {

// Brings telephone numbers into one comparable form for the number index of
// the store. Supplied from outside (caller identification), so that the store
// does not depend on a number library; the store calls it for every telephone
// and mobile number it writes or indexes, and for the number looked up.
class NumberKeys {
public:
    struct Forms {
        // The comparable form; empty when the text is no number that can be
        // compared this way (then it is found only by the exact look-ups).
        QString number;
        // For a switchboard number written with the extension "-0": the form of
        // the number without that extension, so that callers from any
        // extension of the same line are found. Empty otherwise.
        QString switchboard;
    };

    virtual ~NumberKeys() = default;

    // Changes whenever the forms would change (the rules, the number data, the
    // home country or area code). An index built under another identity is rebuilt.
    virtual QString identity() const = 0;
    virtual Forms forms(const QString& number) const = 0;
};

} // namespace kalvendo
