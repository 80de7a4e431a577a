#pragma once
// Entry points the host resolves by name in the loaded module library.
#include <QVariant>

extern "C" {
// Package entry points of the host's loader.
using InitializeFn = void (*)();
using FinalizeFn = void (*)();
struct PackageInfoEntry {
    const char* unitName;
    int flags;
};
struct PackageInfoTable {
    int unitCount;
    const PackageInfoEntry* units;
};
using GetPackageInfoTableFn = const PackageInfoTable* (*)();

// Opens the survey: a null variant from the host menu, or a list of at least
// three values (branch code, patient code, patient name) from another module.
using IniProcFn = void (*)(const QVariant& param);
}
