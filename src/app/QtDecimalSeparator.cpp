#include "app/QtDecimalSeparator.h"

#include "settings/NumberFormat.h"

#include <QLocale>
#include <QString>

namespace tarvio {

namespace {

char qtDecimalSeparator() {
    const QString point = QLocale().decimalPoint();
    if (point.size() == 1 && point[0].unicode() < 0x80)
        return static_cast<char>(point[0].unicode());
    return '.';
}

} // namespace

void useQtDecimalSeparator() {
    setDecimalSeparatorSource(&qtDecimalSeparator);
}

} // namespace tarvio
