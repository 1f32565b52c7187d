#pragma once

// Between the object model and the C interface: objects handed to a host as
// TvDispatch, objects from a host used as DispatchObject, and variants both
// ways. Used by the exported entry points (capi.cpp) and by tests.

#include "services/com/dispatch.h"

#include "torvel/torvel.h"

namespace torvel::capi {

// A new reference (count 1) to the object as a dispatch interface.
TvDispatch *exportObject(ObjectPtr object);
// The object behind an interface: the library's own, or a wrapper that calls
// a host's object through its table (it holds one reference).
ObjectPtr importDispatch(TvDispatch *dispatch);

// Throws ComError for a tag it does not know.
Variant fromC(const TvVariant &value);
// The variant as a C value the caller owns (strings copied, objects referenced).
void toC(const Variant &value, TvVariant *out);

// Objects, factories and locks alive now; DllCanUnloadNow answers from it.
long liveCount();

} // namespace torvel::capi
