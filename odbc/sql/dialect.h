// The few places where the SQL differs between the engines behind a
// connection, chosen by the DBMS name the driver reports.
#pragma once

#include "afx/dbcore.h"
#include "odbcbase/engine.h"

#include <string>
#include <vector>

using DbEngine = odbcbase::Engine;

DbEngine EngineOf(const CDatabase& db);
using odbcbase::EngineName;

// An object name as a caller gives it ("T", "dbo.T", "[dbo].[T]") quoted
// part by part for the engine. On PostgreSQL bare and bracketed parts fold
// to lower case (the Kelm tables are created unquoted), double-quoted ones
// keep their case, and the schema dbo is public.
std::string QuoteObjectName(const CDatabase& db, const std::string& name);
// The query for the largest size in bytes of a column's values: the stored
// bytes, never a compressed or on-disk size.
std::string MaxDataLengthQuery(const CDatabase& db, const std::string& table, const std::string& field);
// The text between open and close, each close inside it doubled.
std::string Enclose(const std::string& text, char open, char close);
// One identifier quoted exactly as given (roles, users): "name".
std::string QuoteIdentifier(const std::string& name);
// A text literal with its quotes doubled.
std::string QuoteLiteral(const std::string& text);

// Runs a query whose parameters are texts and reads the first column of
// its first row as text. False when there is no row; a NULL gives "".
bool QueryFirstValue(CDatabase& db, const std::string& sql, const std::vector<std::string>& params,
                     std::string& out, bool* isNull = nullptr);

// The column that takes generated keys in a table (identity or serial on
// PostgreSQL, the rowid alias on SQLite); empty when there is none.
std::string IdentityColumnOf(CDatabase& db, const std::string& table);

// SQL Server's xml column type, which its driver reports with size 0.
#ifndef SQL_SS_XML
constexpr SQLSMALLINT SQL_SS_XML = -152;
#endif

// True when the statement's last error says the driver does not know the
// attribute or option asked for (HY091, HY092, HYC00).
bool IsUnsupportedAttribute(HSTMT hstmt);

// The names of the data types an object tree lists: those the users
// defined, or the system's own. Empty where the engine has no such list.
std::string DataTypeNamesQuery(const CDatabase& db, bool userDefined);
// The query that reads, on the same connection, the key the engine generated
// for this session's last INSERT into table: the table's own sequence on
// PostgreSQL (lastval() would give a key a trigger drew for another table),
// last_insert_rowid() on SQLite. Empty where the engine or the table has none.
std::string LastKeyQuery(CDatabase& db, const std::string& table);
// PostgreSQL: name and kind ('p' procedure, 'f' function, ...) of every
// routine of the schema `owner`.
std::string RoutineKindsQuery(const std::string& owner);
