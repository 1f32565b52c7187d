# The include rules between the layers, checked over the sources:
#   src/bomdata, src/state and src/services include nothing from src/ui;
#   src/services includes nothing above it (state, bomdata, ui, entry);
#   host/ reaches the library only through the shared runtime and the
#   public interface (services/..., torvel/...), never its private headers.
# Run as: cmake -DROOT=<source dir> -P layering.cmake
set(rules
    "src/bomdata|#include \"(ui|entry)/"
    "src/state|#include \"(ui|entry|bomdata)/"
    "src/services|#include \"(ui|entry|bomdata|state|profile)/"
    "host|#include \"(ui|entry|bomdata|state|profile)/")
set(broken "")
foreach(rule IN LISTS rules)
    string(FIND "${rule}" "|" bar)
    string(SUBSTRING "${rule}" 0 ${bar} folder)
    math(EXPR from "${bar} + 1")
    string(SUBSTRING "${rule}" ${from} -1 pattern)
    file(GLOB_RECURSE files "${ROOT}/${folder}/*.h" "${ROOT}/${folder}/*.cpp")
    foreach(f IN LISTS files)
        file(STRINGS "${f}" hits REGEX "${pattern}")
        foreach(hit IN LISTS hits)
            file(RELATIVE_PATH rel "${ROOT}" "${f}")
            string(APPEND broken "  ${rel}: ${hit}\n")
        endforeach()
    endforeach()
endforeach()
if(broken)
    message(FATAL_ERROR "Includes that cross the layers the wrong way:\n${broken}")
endif()
