#pragma once

#include <QString>
#include <QValidator>

namespace torvel {

// The rules a grid cell editor applies to every change of its text, typed,
// pasted or composed by an input method alike (QLineEdit runs the validator
// on each of them):
// - characters of the form's swallow list are removed, wherever they come;
// - a number cell takes only plain decimal text (digits, one point, a minus
//   only when the minimum is below zero) with at most its decimals, and
//   refuses every change that leaves a value which further typing could no
//   longer bring back within the bounds. A value still below a positive
//   minimum is Intermediate; the view refuses to store it.
class CellValidator : public QValidator
{
    Q_OBJECT

public:
    explicit CellValidator(QObject *parent = nullptr);

    void setSwallowedCharacters(const QString &chars) { m_swallowed = chars; }
    QString swallowedCharacters() const { return m_swallowed; }
    void setNumber(double minimum, double maximum, int decimals);
    void setText() { m_number = false; }
    bool isNumber() const { return m_number; }

    State validate(QString &input, int &pos) const override;
    void fixup(QString &input) const override;

private:
    QString m_swallowed;
    bool m_number = false;
    double m_minimum = 0;
    double m_maximum = 0;
    int m_decimals = 0;
};

} // namespace torvel
