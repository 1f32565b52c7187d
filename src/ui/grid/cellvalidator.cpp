#include "ui/grid/cellvalidator.h"

#include "bomdata/gridmodel.h"

#include <algorithm>

namespace torvel {

CellValidator::CellValidator(QObject *parent)
    : QValidator(parent)
{
}

void CellValidator::setNumber(double minimum, double maximum, int decimals)
{
    m_number = true;
    m_minimum = std::min(minimum, maximum);
    m_maximum = std::max(minimum, maximum);
    m_decimals = std::max(0, decimals);
}

void CellValidator::fixup(QString &input) const
{
    int pos = 0;
    validate(input, pos);
}

QValidator::State CellValidator::validate(QString &input, int &pos) const
{
    if (!m_swallowed.isEmpty()) {
        QString kept;
        kept.reserve(input.size());
        int newPos = pos;
        for (int i = 0; i < input.size(); ++i) {
            if (m_swallowed.contains(input.at(i))) {
                if (i < pos)
                    --newPos;
            } else {
                kept.append(input.at(i));
            }
        }
        if (kept.size() != input.size()) {
            input = kept;
            pos = std::clamp(newPos, 0, int(input.size()));
        }
    }
    if (!m_number || input.isEmpty())
        return Acceptable;

    int i = 0;
    const int n = int(input.size());
    if (input.at(0) == QLatin1Char('-')) {
        if (m_minimum >= 0)
            return Invalid;
        ++i;
    }
    int intDigits = 0, fracDigits = 0;
    bool point = false;
    for (; i < n; ++i) {
        const QChar c = input.at(i);
        if (c >= QLatin1Char('0') && c <= QLatin1Char('9')) {
            (point ? fracDigits : intDigits)++;
        } else if (c == QLatin1Char('.') && !point && m_decimals > 0) {
            point = true;
        } else {
            return Invalid;
        }
    }
    if (fracDigits > m_decimals)
        return Invalid;
    if (intDigits + fracDigits == 0)
        return Intermediate;   // "-", "." or "-." on the way to a number
    QString digits = input;
    if (digits.endsWith(QLatin1Char('.')))
        digits.chop(1);
    const auto value = GridModel::parseNumber(digits);
    if (!value)
        return Invalid;
    // Appending digits moves a value away from zero, so past the bound on
    // its own side of zero it can never come back.
    if (*value > m_maximum)
        return *value > 0 ? Invalid : Intermediate;
    if (*value < m_minimum)
        return *value < 0 ? Invalid : Intermediate;
    return Acceptable;
}

} // namespace torvel
