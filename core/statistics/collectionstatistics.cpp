#include "core/statistics/collectionstatistics.h"

#include <algorithm>

namespace {

/// A power of two from 2^10 on as a number and a binary unit: 2^13 is 8 KiB.
QString binarySize(int exponent, bool withUnit)
{
    static const char* const units[] = { "KiB", "MiB", "GiB", "TiB" };
    const int unit = exponent / 10 - 1;
    const QString number = QString::number(1u << (exponent % 10));
    return withUnit ? number + QLatin1Char(' ') + QLatin1String(units[unit]) : number;
}

} // namespace

std::uint64_t sizeClassStart(int sizeClass)
{
    if (sizeClass <= 1) {
        return static_cast<std::uint64_t>(sizeClass);
    }
    return std::uint64_t { 1 } << (sizeClass + 8);
}

QString sizeClassName(int sizeClass)
{
    if (sizeClass == 0) {
        return QStringLiteral("0 bytes");
    }
    if (sizeClass == 1) {
        return QStringLiteral("1 byte - 1 KiB");
    }
    const int low = sizeClass + 8;
    const int high = low + 1;
    const bool sameUnit = low / 10 == high / 10;
    return binarySize(low, !sameUnit) + QStringLiteral(" - ") + binarySize(high, true);
}

QString extensionLabel(const QString& extension) { return extension.isEmpty() ? QStringLiteral("(none)") : extension; }

std::vector<ChartPart> topExtensions(const CollectionStatistics& figures, int count, FileMeasure measure)
{
    std::vector<const ExtensionFigures*> order;
    order.reserve(figures.extensions.size());
    for (const ExtensionFigures& extension : figures.extensions) {
        order.push_back(&extension);
    }
    std::stable_sort(order.begin(), order.end(), [measure](const ExtensionFigures* a, const ExtensionFigures* b) {
        const std::uint64_t left = measured(a->count, measure);
        const std::uint64_t right = measured(b->count, measure);
        return left != right ? left > right : a->extension < b->extension;
    });
    std::vector<ChartPart> parts;
    std::uint64_t rest = 0;
    for (std::size_t i = 0; i < order.size(); ++i) {
        const std::uint64_t value = measured(order[i]->count, measure);
        if (i < static_cast<std::size_t>(count)) {
            parts.push_back({ extensionLabel(order[i]->extension), value });
        } else {
            rest += value;
        }
    }
    if (order.size() > static_cast<std::size_t>(count)) {
        parts.push_back({ QStringLiteral("Other"), rest });
    }
    return parts;
}
