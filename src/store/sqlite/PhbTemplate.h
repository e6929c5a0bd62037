#pragma once

// The build's template of phjz.mdb, built into the program: the SQL the build tool makes the
// empty database from, so that files the program makes or completes match it.

#include <QByteArray>

namespace sorvane::store {

// The whole template; empty if it is missing from the program.
QByteArray templateSql();

// Its history block: table phb_history, its index and triggers.
QByteArray historySql();

}  // namespace sorvane::store
