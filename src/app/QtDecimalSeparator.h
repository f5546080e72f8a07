#pragma once
// The window's numbers follow the toolkit's locale (QLocale(), which tests and the
// operator's environment set), not the C library's, which lacks locales a system has not
// generated.

namespace tarvio {

// Makes decimalSeparator() answer from QLocale() from now on.
void useQtDecimalSeparator();

} // namespace tarvio
