#pragma once
// Sets the decimal separator of the number helpers for one test, whatever locales the
// machine has generated.

#include "settings/NumberFormat.h"

namespace tarvio::test {

class ScopedSeparator {
public:
    explicit ScopedSeparator(char separator) {
        current() = separator;
        setDecimalSeparatorSource([] { return current(); });
    }
    ~ScopedSeparator() { setDecimalSeparatorSource(nullptr); }
    ScopedSeparator(const ScopedSeparator&) = delete;
    ScopedSeparator& operator=(const ScopedSeparator&) = delete;

    static ScopedSeparator point() { return ScopedSeparator('.'); }
    static ScopedSeparator comma() { return ScopedSeparator(','); }

private:
    static char& current() {
        static char separator = '.';
        return separator;
    }
};

} // namespace tarvio::test
