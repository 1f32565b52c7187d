#pragma once

// The SQL Server text the library is written in, as every part that reads a
// statement sees it: one scanner for blanks, words, quoted text, comments and
// numbers, shared by the connection, the dialects and the filter parsers, and
// the rewrite every other database needs before it can parse the text.

#include <QString>
#include <QStringList>
#include <QStringView>

namespace torvel::sqltext {

// A word as SQL Server reads one: it starts with a letter, '_', '@' or '#'
// and goes on with letters, digits, '_', '@', '#' and '$'.
bool isWordStart(QChar c);
bool isWordChar(QChar c);
// An ASCII digit: other scripts' digits are no part of a number.
inline bool isDigit(QChar c)
{
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

// The first position at or after i that is not a blank.
qsizetype skipSpace(QStringView text, qsizetype i);
// The end of the word that starts at i (i itself when none does).
qsizetype wordEnd(QStringView text, qsizetype i);
// The statement's first word ("SELECT", "INSERT", ...), blanks skipped.
QStringView firstWord(QStringView text);
// Whether the word is the keyword, in any case.
bool isWord(QStringView word, const char *keyword);

// Past the quoted text or name that opens at i ('...', "...", `...`, [...]):
// a doubled quote just closes and reopens, so the scan stays right. An
// unclosed quote runs to the end.
qsizetype quotedEnd(QStringView text, qsizetype i);
// Past the comment that opens at i ("-- ... line end", "/* ... */"); i
// itself when none opens there.
qsizetype commentEnd(QStringView text, qsizetype i);
// Reads the quoted text that opens at i ('...', doubled quotes for one):
// fills its value and returns the position past the closing quote, or -1
// when the quote never closes.
qsizetype readQuoted(QStringView text, qsizetype i, QString *value);
// Past the number that starts at i: digits, a decimal part, an exponent
// ("12", "1.5", ".5", "1e-3"); hexadecimal "0x1F" as a whole.
qsizetype numberEnd(QStringView text, qsizetype i);

// The SQL Server text rewritten where the other databases cannot parse it,
// and only there: "INSERT name(" gains its INTO, and a number glued to the
// word after it ("FReplaceClassID=3Order By") gets a blank. A text that needs
// neither comes back as it was, without a copy.
QString rewriteServerText(const QString &text);

// A script of statements cut at every ';' that ends a line outside a
// $$-quoted body; comment lines outside bodies are dropped.
QStringList splitScript(const QString &script);

// The text as a LIKE pattern that matches it anywhere ('%text%'), with '\',
// '%' and '_' escaped by '\'; pair it with ESCAPE '\'.
QString containsPattern(const QString &text);

} // namespace torvel::sqltext
