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

} // namespace vocabulary
