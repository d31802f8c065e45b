#include "host/db/XQPgConnection.h"

#include <libpq-fe.h>

#include <string>

#include "host/base/Cp1252.h"
#include "host/base/Helpers.h"
#include "host/base/XQGuard.h"
#include "host/db/XQStatus.h"
#include "host/db/internal/XQInternal.h"
#include "host/db/internal/XQPg.h"

struct CXQPgConnection::Impl {
    PGconn* conn = nullptr;
    ~Impl() {
        if (conn) PQfinish(conn);
    }
};

namespace {

using xq::De;

// libpq's text of a failure, one line, as Windows-1252.
CString Detail(const char* text) {
    std::string s = text ? text : "";
    while (!s.empty() && (s.back() == '\n' || s.back() == ' ')) s.pop_back();
    for (char& c : s)
        if (c == '\n' || c == '\t') c = ' ';
    return Utf8ToCp1252(s);
}

bool Has(const std::string& text, const char* part) {
    return text.find(part) != std::string::npos;
}

// The option of a parsed connection string, or empty.
std::string Option(PQconninfoOption* options, const char* name) {
    for (PQconninfoOption* o = options; o && o->keyword; ++o)
        if (std::string(o->keyword) == name && o->val) return o->val;
    return {};
}

// Why the server could not be reached or refused the login, in words the
// user can act on; the server's own text stays in the detail.
CString Reason(const std::string& message, const std::string& user, const std::string& database) {
    const CString detail = Detail(message.c_str());
    if (Has(message, "password authentication failed") || Has(message, "no password supplied") ||
        Has(message, "Passwort-Authentifizierung"))
        return De("Der Datenbankserver hat die Anmeldung von „") + Utf8ToCp1252(user) +
               De("“ abgelehnt: Passwort falsch oder nicht angegeben (.pgpass oder "
                  "PGPASSWORD) (") +
               detail + ")";
    if ((Has(message, "database \"") && Has(message, "does not exist")) ||
        Has(message, "existiert nicht"))
        return De("Die Datenbank „") + Utf8ToCp1252(database) +
               De("“ gibt es auf dem Datenbankserver nicht (") + detail + ")";
    if (Has(message, "no pg_hba.conf entry"))
        return De("Der Datenbankserver lässt die Anmeldung von „") + Utf8ToCp1252(user) +
               De("“ von diesem Arbeitsplatz aus nicht zu (pg_hba.conf des Servers) (") + detail +
               ")";
    if (Has(message, "role \"") && Has(message, "does not exist"))
        return De("Den Benutzer „") + Utf8ToCp1252(user) +
               De("“ kennt der Datenbankserver nicht (") + detail + ")";
    return De("Der Datenbankserver ist nicht erreichbar: ") + detail;
}

}  // namespace

CXQPgConnection::CXQPgConnection() : m_impl(std::make_unique<Impl>()) {}

CXQPgConnection::~CXQPgConnection() = default;

int CXQPgConnection::Open(const CString& url, int minVersion) {
    Close();
    m_error.Empty();
    const std::string info = Cp1252ToUtf8(url.str());
    char* parseError = nullptr;
    PQconninfoOption* options = PQconninfoParse(info.c_str(), &parseError);
    if (!options) {
        m_error = De("Die Verbindungsangabe „") + url + De("“ ist ungültig: ") +
                  Detail(parseError ? parseError : "kein Speicher");
        PQfreemem(parseError);
        XQLog("Datenbankserver", m_error);
        return XQ_NODB;
    }
    const bool password = !Option(options, "password").empty();
    std::string user = Option(options, "user");
    std::string database = Option(options, "dbname");
    PQconninfoFree(options);
    if (password) {
        // The url is not repeated: it holds the password.
        m_error =
            De("Die Verbindungsangabe enthält ein Passwort. Das Passwort gehört in die Datei "
               ".pgpass des Benutzers oder in die Variable PGPASSWORD, nicht in die Angabe.");
        XQLog("Datenbankserver", m_error);
        return XQ_NODB;
    }
    // A server that does not answer, or a network cut, ends in a message
    // within seconds instead of the system's minutes; the url may say
    // otherwise, as its settings come after these.
    const char* const keys[] = {"connect_timeout",  "keepalives_idle", "keepalives_interval",
                                "keepalives_count", "dbname",          nullptr};
    const char* const values[] = {"5", "10", "5", "3", info.c_str(), nullptr};
    m_impl->conn = PQconnectdbParams(keys, values, 1);
    if (!m_impl->conn) {
        m_error = De("Der Datenbankserver ist nicht erreichbar: kein Speicher");
        XQLog("Datenbankserver", m_error);
        return XQ_NODB;
    }
    if (PQstatus(m_impl->conn) != CONNECTION_OK) {
        if (user.empty()) user = PQuser(m_impl->conn) ? PQuser(m_impl->conn) : "";
        if (database.empty()) database = PQdb(m_impl->conn) ? PQdb(m_impl->conn) : "";
        const std::string message = PQerrorMessage(m_impl->conn);
        // Some values (a port that is no number) libpq checks only here.
        if (Has(message, "for connection option") || Has(message, "invalid port number"))
            m_error = De("Die Verbindungsangabe „") + url + De("“ ist ungültig: ") +
                      Detail(message.c_str());
        else
            m_error = Reason(message, user, database);
        Close();
        XQLog("Datenbankserver", m_error);
        return XQ_NODB;
    }
    const int version = PQserverVersion(m_impl->conn);
    if (version < minVersion) {
        m_error = De("Der Datenbankserver hat die Version ") + itoc(version / 10000) + "." +
                  itoc(version % 10000) + De("; die Praxis braucht mindestens Version ") +
                  itoc(minVersion / 10000) + ".";
        Close();
        XQLog("Datenbankserver", m_error);
        return XQ_NODB;
    }
    // Texts travel as UTF-8 whatever the server's default; the host converts
    // at its edge.
    if (PQsetClientEncoding(m_impl->conn, "UTF8") != 0) {
        m_error = De("Der Datenbankserver nimmt die Zeichenkodierung UTF-8 nicht an: ") +
                  Detail(PQerrorMessage(m_impl->conn));
        Close();
        XQLog("Datenbankserver", m_error);
        return XQ_NODB;
    }
    return XQ_OK;
}

void CXQPgConnection::Close() {
    if (m_impl->conn) PQfinish(m_impl->conn);
    m_impl->conn = nullptr;
}

bool CXQPgConnection::IsOpen() const {
    return m_impl->conn && PQstatus(m_impl->conn) == CONNECTION_OK;
}

int CXQPgConnection::ServerVersion() const {
    return IsOpen() ? PQserverVersion(m_impl->conn) : 0;
}

struct CXQPgConnectionAccess {
    static PGconn* Of(CXQPgConnection& connection) { return connection.m_impl->conn; }
};

PGconn* xq::PgHandle(CXQPgConnection& connection) {
    return CXQPgConnectionAccess::Of(connection);
}
