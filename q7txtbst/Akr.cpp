#include "q7txtbst/Akr.h"

#include <vector>

#include "host/base/HostContext.h"
#include "host/base/XQFile.h"
#include "host/dlg/XQMessages.h"
#include "q7txtbst/Krw.h"

namespace {

// The introduction phase ended with 2011; from then on the AKR applies
// wherever its region's date has come.
constexpr unsigned kEndeEinfuehrung = 20111231;
constexpr unsigned kAktiviert = 99999999;
constexpr unsigned kNieErinnern = 88888888;

const char kAkrDatei[] = "AkrG.Dat";
const char kAntwortDatei[] = "AkrG_Einf\xFChrung.Dat";
const char kTitel[] = "Einf\xFChrungsphase des Ambulanten Kodierregelwerks";
// The standard question-mark icon of the host's string module.
constexpr int kFrageIcon = 32514;

// Set once the answer file was written in this process: a user who put the
// question off today is not asked again before the next start.
bool s_geschrieben = false;

CString Zeilen(std::initializer_list<const char*> zeilen) {
    CString text;
    bool erste = true;
    for (const char* zeile : zeilen) {
        if (!erste) text += '\n';
        text += zeile;
        erste = false;
    }
    return text;
}

CString Einfuehrungstext() {
    return Zeilen({
        "Mit der Einf\xFChrung des AKR haben die Partner der Bundesmantelvertr\xE4ge entschieden",
        "es Ihnen zu \xFC"
        "berlassen, ob Sie die neuen Funktionalit\xE4ten des AKR aktivieren",
        "m\xF6"
        "chten.",
        "",
        "Sie haben aber auch nach der Aktivierung jederzeit die M\xF6glichkeit, das AKR wieder",
        "zu deaktivieren. In diesem Fall bleiben von Ihnen als anamnestisch gekennzeichnete",
        "Diagnosen so erhalten. Anamnestische Diagnosen werden nicht auf den Abrechnungsdaten-",
        "tr\xE4ger \xFC"
        "bertragen.",
        "",
        "Mit dem Aktivierungsprozess des AKR wird zun\xE4"
        "chst die Initialisierung der Dauer-",
        "diagnosen gestartet, indem diese als behandlungsrelevant gekennzeichnet werden, d.h.",
        "es gibt zuerst einmal keinen Unterschied zwischen Aktivierung und Nicht-Aktivierung",
        "des AKR.",
        "",
        "Allerdings werden bei Aktivierung des AKR vorgegebene Regeln eines sog. Kodierregel-",
        "werks (KRW) sowohl bei der Behandlungserfassung als auch der Abrechnung gepr\xFC"
        "ft,",
        "wodurch Behandlungsf\xE4lle denkbar sind, die ohne Korrektur nicht abrechenbar sind.",
    });
}

CString Erinnerungstext() {
    return Zeilen({
        "Sie haben sich f\xFCr eine kleine Pause entschieden...",
        "",
        "Wann m\xF6"
        "chten Sie wieder an die Einf\xFChrung des AKR erinnert werden?",
        "",
        "A Morgen",
        "",
        "B In einer Woche",
        "",
        "C In einem Monat",
        "",
        "D niemals",
        "",
        "Wenn Sie sich hier nicht f\xFCr eine der genannten Alternativen erw\xE4rmen k\xF6nnen, "
        "erfolgt die n\xE4"
        "chste",
        "Erinnerung beim n\xE4"
        "chsten Aufruf der Behandlungserfassung.",
    });
}

unsigned Monatslaenge(unsigned monat) {
    switch (monat) {
        case 2:
            return 28;
        case 4:
        case 6:
        case 9:
        case 11:
            return 30;
        default:
            return 31;
    }
}

// The region's date from which the AKR applies, when it has come by today.
bool AkrDatum(const CString& ordner, unsigned region, unsigned heute, unsigned& datum) {
    CXQFile datei;
    if (!datei.Open(ordner + kAkrDatei)) return false;
    const unsigned gesucht = MapKvRegion(region);
    CString zeile;
    while (CKrw::ReadLine(datei, zeile)) {
        int pos = 0;
        unsigned zeilenRegion = 0, zeilenDatum = 0;
        if (!CKrw::ParseNumber(zeile, pos, zeilenRegion)) continue;
        ++pos;  // the separator, whatever it is
        if (pos >= zeile.GetLength() || !CKrw::ParseNumber(zeile, pos, zeilenDatum)) continue;
        if (MapKvRegion(zeilenRegion) == gesucht && zeilenDatum <= heute) {
            datum = zeilenDatum;
            return true;
        }
    }
    return false;
}

// The stored answer; false when there is none that can be read.
bool LiesAntwort(const CString& pfad, unsigned& wert) {
    CXQFile datei;
    CString zeile;
    int pos = 0;
    return datei.Open(pfad) && CKrw::ReadLine(datei, zeile) && CKrw::ParseNumber(zeile, pos, wert);
}

// A failed write is not the user's concern: the answer holds for this call
// and the question simply comes again.
void SchreibAntwort(const CString& pfad, unsigned wert) {
    CXQFile datei;
    if (datei.Open(pfad, true) && CKrw::WriteLine(datei, FormatString("%u", wert)) && datei.Close())
        s_geschrieben = true;
}

// The question and, when the user does not activate, the reminder choice.
// Returns whether the AKR is activated now; wert gets the answer to store.
bool Fragen(unsigned heute, unsigned& wert) {
    if (XQMsgBox(kTitel, Einfuehrungstext(),
                 {"Jetzt das AKR aktivieren", "Nein, ich brauche noch Bedenkzeit"},
                 kFrageIcon) == 10 &&
        SollIch("Frage",
                "M\xF6"
                "chten Sie die Aktivierung jetzt wirklich durchf\xFChren?") == XQ_IDYES) {
        wert = kAktiviert;
        return true;
    }
    switch (XQMsgBox(kTitel, Erinnerungstext(), {"A", "B", "C", "D", "Ich wei\xDF nicht"},
                     kFrageIcon)) {
        case 10:
            wert = AkrDatumPlus(heute, 1);
            break;
        case 11:
            wert = AkrDatumPlus(heute, 7);
            break;
        case 12:
            wert = AkrDatumPlus(heute, 100);
            break;
        case 13:
            wert = kNieErinnern;
            break;
        default:
            // Asked again at the next start, or tomorrow.
            wert = heute;
            break;
    }
    return false;
}

}  // namespace

unsigned MapKvRegion(unsigned region) {
    switch (region) {
        case 47:
        case 48:
        case 49:
        case 50:
            return 51;
        case 55:
        case 60:
        case 61:
        case 62:
            return 52;
        default:
            return region;
    }
}

unsigned AkrDatumPlus(unsigned datum, unsigned plus) {
    unsigned d = datum + plus;
    unsigned jahr = d / 10000, monat = d / 100 % 100, tag = d % 100;
    if (monat > 12) {
        ++jahr;
        monat = 1;
    }
    if (tag > Monatslaenge(monat)) {
        tag -= Monatslaenge(monat);
        if (++monat > 12) {
            ++jahr;
            monat = 1;
        }
    }
    return jahr * 10000 + monat * 100 + tag;
}

void ResetAkrProzessFlag() {
    s_geschrieben = false;
}

bool CheckAkrActivation(const CString& region, unsigned& datum) {
    unsigned heute = 0, kvRegion = 0;
    int pos = 0;
    CKrw::ParseNumber(GetXQDate(), pos, heute);
    pos = 0;
    CKrw::ParseNumber(region, pos, kvRegion);

    CString ordner;
    if (!CKrw::GetKbvPath(ordner) || !AkrDatum(ordner, kvRegion, heute, datum)) return false;
    if (heute > kEndeEinfuehrung) return true;

    const CString pfad = ordner + kAntwortDatei;
    unsigned wert = 0;
    bool aktiv = false;
    if (!LiesAntwort(pfad, wert) || wert < heute || (wert == heute && !s_geschrieben))
        aktiv = Fragen(heute, wert);
    else
        aktiv = wert == kAktiviert;
    SchreibAntwort(pfad, wert);
    return aktiv;
}
