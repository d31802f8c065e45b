#pragma once
// Status codes of the record-set layer. Every operation returns one of these;
// 0 is success, anything else is failure.

inline constexpr int XQ_OK = 0;
// No record, or the end of the hits for Next, Prev and Jump.
inline constexpr int XQ_NOTFOUND = 4;
// A write or delete was refused: database busy or locked past the timeout, a
// duplicate key, or a connection that may not write.
inline constexpr int XQ_LOCKED = 12;
// Database or table not available (not open, unreadable, newer schema).
inline constexpr int XQ_NODB = 14;
// Reading the next record of a query failed.
inline constexpr int XQ_READERR = 18;

// Match modes of GetByK1, GetByK2 and CQTb::GetByKuerzel.
inline constexpr int XQ_MATCH_EQUAL = 0;    // key equal to the key fields
inline constexpr int XQ_MATCH_GE = 1;       // from the first key >= the key fields on
inline constexpr int XQ_MATCH_FIELDS = 2;   // every non-empty key field equal
inline constexpr int XQ_MATCH_GREATER = 3;  // from the next greater key on
inline constexpr int XQ_MATCH_KUERZEL = 4;  // CQTb::GetByKuerzel without part word
inline constexpr int XQ_MATCH_SMALLER = 5;  // from the next smaller key on, descending
