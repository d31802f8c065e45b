#pragma once
// A connection to a practice database on a PostgreSQL server, through
// libpq. The practice names its server with a connection string; every
// failure to reach it becomes a German reason the user can act on.
#include <memory>

#include "host/base/CString.h"
#include "host/base/Export.h"

class Q7HOST_API CXQPgConnection {
  public:
    // The oldest server the practice database runs on (PostgreSQL numbering).
    static constexpr int kMinServerVersion = 120000;

    CXQPgConnection();
    ~CXQPgConnection();
    CXQPgConnection(const CXQPgConnection&) = delete;
    CXQPgConnection& operator=(const CXQPgConnection&) = delete;

    // Connects to url: "postgresql://user@host[:port]/database" (a socket
    // folder as host written with %2F for "/") or libpq's "key=value" form.
    // The password comes from the user's .pgpass or PGPASSWORD: a url that
    // carries one is refused, so that it never stands on a command line or in
    // a log. A server older than minVersion is refused. Returns XQ_OK, or
    // XQ_NODB with the German reason in ErrorText and the connection closed.
    int Open(const CString& url, int minVersion = kMinServerVersion);
    void Close();
    bool IsOpen() const;
    // The server's version as PostgreSQL numbers it (150018); 0 when closed.
    int ServerVersion() const;
    const CString& ErrorText() const { return m_error; }

  private:
    friend struct CXQPgConnectionAccess;
    struct Impl;
    std::unique_ptr<Impl> m_impl;
    CString m_error;
};
