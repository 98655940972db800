#include "StepTable.h"

ListEntries stepEntries(std::span<const StepRow> rows, IncrementMode mode,
                        QString (*format)(const char *))
{
    const auto text = [format](const char *t) { return format ? format(t) : QString::fromLatin1(t); };
    ListEntries entries;
    for (const StepRow &row : rows) {
        entries.push_back({text(row.whole), row.code});
        if (mode == IncrementMode::HalfStop) {
            if (row.plus4)
                entries.push_back({text(row.plus4), row.code + 4});
        } else {
            if (row.plus3)
                entries.push_back({text(row.plus3), row.code + 3});
            if (row.plus5)
                entries.push_back({text(row.plus5), row.plus5Code ? row.plus5Code : row.code + 5});
        }
    }
    return entries;
}

QString cameraDurationText(const char *duration)
{
    QString text = QString::fromLatin1(duration);
    if (!text.endsWith(QLatin1String(" s")))
        return text;
    text.chop(2);
    // The camera writes the seconds mark where the decimal point would be.
    if (text.contains(QLatin1Char('.')))
        return text.replace(QLatin1Char('.'), QLatin1Char('"'));
    return text + QLatin1Char('"');
}
