#pragma once

#include <ostream>
#include <span>
#include <string_view>

#include "viewer.h"

// Every program of the build with its settings row, in add_visualiser order;
// the build writes the table from its list of programs.
struct ProgramRow {
    const char* name;
    const ViewerSettings* settings;
};

extern const std::span<const ProgramRow> programRows;

inline std::ostream& operator<<(std::ostream& out, const ProgramRow& row) {
    return out << row.name;
}

// The row of the program called `name`; null when the build has none.
inline const ViewerSettings* rowNamed(std::string_view name) {
    for (const ProgramRow& row : programRows) {
        if (name == row.name) return row.settings;
    }
    return nullptr;
}
