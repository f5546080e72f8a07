#pragma once
// Switches the default QLocale (and with it the decimal separator of the number helpers)
// for one test.

#include <QLocale>

namespace tarvio::test {

class ScopedLocale {
public:
    explicit ScopedLocale(const QLocale& locale) { QLocale::setDefault(locale); }
    ~ScopedLocale() { QLocale::setDefault(saved_); }
    ScopedLocale(const ScopedLocale&) = delete;
    ScopedLocale& operator=(const ScopedLocale&) = delete;

    static QLocale point() { return QLocale(QLocale::English, QLocale::UnitedStates); }
    static QLocale comma() { return QLocale(QLocale::German, QLocale::Germany); }

private:
    QLocale saved_;
};

} // namespace tarvio::test
