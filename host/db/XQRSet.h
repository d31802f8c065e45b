#pragma once
// Record-set base of the host's record classes. A record object stands for one
// table: its public CString members are the fields of the current record. The
// caller sets key fields, runs a query, and then walks the hits.
//
// A query keeps only the row ids of its hits, in key order, and reads them a
// page at a time as the walk reaches them; moving loads the one current row.
// The number of hits is counted only when asked for. A row deleted meanwhile
// (by this or another process) is skipped when it would become current; rows
// this record set writes during a query do not join its hits.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "host/base/CString.h"
#include "host/base/Export.h"
#include "host/db/XQDatabase.h"
#include "host/db/XQStatus.h"

struct XQTableDef;
struct XQValue;

class Q7HOST_API CXQRSet {
  public:
    virtual ~CXQRSet();
    CXQRSet(const CXQRSet&) = delete;
    CXQRSet& operator=(const CXQRSet&) = delete;

    // End the previous query; empty the key fields (ClearKey) or all fields.
    int ClearKey();
    int ClearAll();
    // Key (1, 2, ...) and direction for the next GetAll and for queries of that
    // key. 14 for a key the table does not have.
    int SetKey(int keyNr, bool ascending = true);

    // Query by key 1 or 2 with a match mode (XQ_MATCH_*) and position on the
    // first hit: 0 found, 4 no hit, 14 table not readable.
    int GetByK1(int matchMode);
    int GetByK2(int matchMode);
    // All records in the order of the current key.
    int GetAll();

    // Moving among the hits: 0 moved, 4 outside the hits (stays put),
    // 18 the record could not be read.
    int Next();
    int Prev();
    int First();
    int Jump(int count);
    int SeekIndex(int index);
    int AnzHits() const;
    // Position in the hits, -1 without a current record.
    int CurrentIndex() const { return m_index; }

    // Insert the fields as a new record (12 on a duplicate key), store them
    // into the current record (4 without one), delete the current record:
    // 0 and standing on the next hit, 4 deleted and no hit after it (or no
    // current record), 12 refused.
    int Write(const CString& text = "");
    int Rewrite(const CString& text = "");
    int Delete();

    // Open modes. Read-only refuses Write, Rewrite and Delete with 12;
    // forward-only and the open type are accepted for compatibility and do not
    // change what the record set does.
    void SetForwardOnly(bool forwardOnly) { m_forwardOnly = forwardOnly; }
    void SetReadOnly(bool readOnly) { m_readOnly = readOnly; }
    void SetOpenType(int openType) { m_openType = openType; }

    CXQDatabase* Database() const { return m_db; }
    int KeyNr() const { return m_keyNr; }

  protected:
    // fields: pointers to the derived class's members in column order.
    CXQRSet(CXQDatabase* db, const XQTableDef& table, std::vector<CString*> fields);

    const XQTableDef& Table() const { return m_table; }
    // Runs a prepared SELECT of row ids with the values bound in order, makes
    // its rows the hits and positions on the first. "SELECT <id> FROM ...
    // ORDER BY <columns> [ASC|DESC]" (one direction, plain ? parameters) is
    // read in pages; any other statement is read whole.
    int QueryIds(const std::string& sql, const std::vector<XQValue>& values);
    int QueryByKey(int keyNr, int matchMode);
    // Makes ids the hits, in that order, and positions on the first: 0, 4
    // for no ids, 18 when the first could not be read (then no hits).
    int SetHits(std::vector<int64_t> ids);
    // Called after each row is read into the fields, with its row id.
    virtual void RowLoaded(int64_t /*id*/) {}
    void EndQuery();
    // The connection writes go to, or null (then 12).
    CXQDatabase* Writer() const;
    bool IsAscending(int keyNr) const;
    bool HasCurrent() const { return m_index >= 0 && static_cast<size_t>(m_index) < m_hits.size(); }
    int64_t CurrentId() const { return m_hits[static_cast<size_t>(m_index)]; }

  private:
    struct Query;
    int LoadAt(int index, int step);
    int LoadRow(int64_t id, bool& gone);
    int LoadRowAhead(size_t index, bool& gone);
    // The row of id among the rows read ahead, while they may serve: true
    // with status (and gone for a row missing from them) when it did.
    bool FromAhead(int64_t id, int& status, bool& gone);
    // Makes row (the fields in column order) the current record's.
    void TakeRow(int64_t id, std::vector<CString> row);
    int LoadIds(int index);
    int LoadPage(int64_t want);
    void ForgetHit(size_t index);

    // The running query while not all its row ids are read, else null.
    std::unique_ptr<Query> m_query;
    // On the server: the rows of the next hits, read in one round trip.
    struct ReadAhead;
    std::unique_ptr<ReadAhead> m_ahead;
    bool m_rowsFromQuery = false;  // the load right after a query's first page

    CXQDatabase* m_db;
    const XQTableDef& m_table;
    std::vector<CString*> m_fields;
    std::vector<int64_t> m_hits;
    int m_index = -1;
    int m_keyNr = 1;
    std::vector<bool> m_ascending;
    bool m_forwardOnly = false;
    bool m_readOnly = false;
    int m_openType = 0;
};
