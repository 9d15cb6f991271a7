#pragma once

#include "store/Field.h"

#include <QVariant>

struct sqlite3_stmt;

// Conversions between SQLite column values and the values data sets hold.
QVariant readColumn(sqlite3_stmt *stmt, int column);
void bindValue(sqlite3_stmt *stmt, int index, const QVariant &value, TFieldType type);
