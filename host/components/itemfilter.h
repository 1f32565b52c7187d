#pragma once

#include <QString>

namespace torvel::host {

// The extra condition a caller hands to ItemLookup, such as " X2.FIsBOM=1 "
// or " X2.FReplaceClassID=7": comparisons of item columns (COM_Item, alias
// X2) with a number or a quoted text, joined by AND / OR, with parentheses.
// The text is parsed and rebuilt from its parts, never spliced as given, so a
// caller's text cannot reach the database as anything but such a condition.
// Returns the rebuilt condition, or the empty text for a blank filter; throws
// ComError (InvalidFilter) naming the filter when it cannot be applied, such
// as " X2.FReplaceClassID=" with no value.
QString buildItemFilter(const QString &filter, const QString &source);

} // namespace torvel::host
