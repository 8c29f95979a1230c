#pragma once

#include <QString>

#include <exception>

namespace kalvendo {

// Base of every error the program raises itself. The class name is what the
// error log records, so each concrete error names itself.
class Exception : public std::exception {
public:
    explicit Exception(QString message);

    const QString& message() const noexcept { return m_message; }
    virtual const char* className() const noexcept { return "Exception"; }
    const char* what() const noexcept override { return m_utf8.constData(); }

private:
    QString m_message;
    QByteArray m_utf8;
};

} // namespace kalvendo

// Declares an error class whose log name is its own identifier.
#define KALVENDO_DECLARE_EXCEPTION(Name, Base)                                                     \
    class Name : public Base {                                                                     \
    public:                                                                                        \
        using Base::Base;                                                                          \
        const char* className() const noexcept override { return #Name; }                          \
    };

namespace kalvendo {
KALVENDO_DECLARE_EXCEPTION(EInOutError, Exception)
// A file that cannot be opened: "Datei %s kann nicht geöffnet werden. %s".
KALVENDO_DECLARE_EXCEPTION(EFOpenError, EInOutError)
// An index outside a list (status panels, collections of the language engine).
KALVENDO_DECLARE_EXCEPTION(EListError, Exception)
} // namespace kalvendo
