#pragma once
// The AKR introduction: whether the ambulatory coding rules are active for
// the practice, and, up to the end of 2011, the question whether to activate
// them now, with reminders. The answer lives in the KBV folder's
// "AkrG_Einführung.Dat".
#include "host/base/CString.h"

// KV regions that the AKR dates treat as one: 47 to 50 as 51, 55 and 60 to
// 62 as 52.
unsigned MapKvRegion(unsigned region);
// True when the AKR is active for the practice of KV region text (its leading
// digits); datum gets the date from which it applies there ("AkrG.Dat").
bool CheckAkrActivation(const CString& region, unsigned& datum);
// yyyymmdd plus 1, 7 or 100 (a month) as the introduction counts: a month
// beyond December rolls into the next year, a day beyond the month's length
// into the next month; February has 28 days.
unsigned AkrDatumPlus(unsigned datum, unsigned plus);
// Forgets that the answer was written in this process (for tests: a new
// process).
void ResetAkrProzessFlag();
