#include "vocabulary/products.h"

namespace vocabulary {

const Product &product(int index)
{
    if (index < 0 || index >= ProductCount)
        return Products[std::size_t(DefaultProductIndex)];
    return Products[std::size_t(index)];
}

int productForSettingsValue(int value)
{
    for (int i = 0; i < ProductCount; ++i) {
        if (Products[std::size_t(i)].settingsValue == value)
            return i;
    }
    return -1;
}

QString productName(int index)
{
    return QString::fromLatin1(product(index).caption).simplified();
}

QString productCaption(int index)
{
    return index >= 0 && index < ProductCount ? QString::fromLatin1(Products[std::size_t(index)].caption)
                                              : QString();
}

bool showsIcons(int index)
{
    return index >= 0 && index < ProductCount && Products[std::size_t(index)].sendsIconByte;
}

QString iconProducts()
{
    QStringList shown;
    for (int p = 0; p < ProductCount; ++p) {
        if (showsIcons(p))
            shown << QStringLiteral("%1 (%2)").arg(p).arg(productCaption(p));
    }
    return shown.join(QStringLiteral(", "));
}

QList<int> productsSentAlike(bool iconByte)
{
    QList<int> alike;
    for (int p = 0; p < ProductCount; ++p) {
        if (Products[std::size_t(p)].sendsIconByte == iconByte)
            alike << p;
    }
    return alike;
}

QString productNumbers(const QList<int> &products, const QString &conjunction)
{
    QStringList numbers;
    for (int p : products)
        numbers << QString::number(p);
    const QString last = numbers.isEmpty() ? QString() : numbers.takeLast();
    return numbers.isEmpty() ? last
                             : numbers.join(QStringLiteral(", ")) + QLatin1Char(' ') + conjunction +
                                   QLatin1Char(' ') + last;
}

} // namespace vocabulary
