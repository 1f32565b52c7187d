// libtorvel.so: the C interface (torvel/torvel.h) over the library's layers.
// The entry points live in capi.cpp and typelib.cpp, linked whole from
// torvel_capi; torvel.map keeps every other symbol inside the library.
