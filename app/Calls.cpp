#include "app/Calls.h"

#include <functional>
#include <map>
#include <ostream>

#include "app/ModuleLibrary.h"
#include "host/base/Cp1252.h"
#include "host/db/Ops.h"
#include "host/db/Records.h"
#include "host/db/Tsv.h"
#include "host/db/XQDatabase.h"
#include "host/dlg/XQControls.h"
#include "q7txtbst/Q7TbExport.h"

namespace {

// What a call needs: the module, the parent window, its arguments already in
// Windows-1252, and where its results go.
struct CallContext {
    const ModuleLibrary& module;
    CWnd* parent;
    std::vector<CString> args;
    std::ostream& out;

    const CString& Arg(size_t i) const { return args[i]; }
    void Print(const char* name, const CString& value) const {
        out << name << ": " << PrintedValue(value) << '\n';
    }
    void PrintResult(int result) const { out << "result: " << result << '\n'; }
};

// A memo target: a host memo control holding the given text (lines separated
// by LF), caret at the end.
void FillMemo(CXQLMemoX& memo, const CString& text) {
    memo.SetText(text);
    memo.SetSel(-1, -1);
}

struct CallSpec {
    size_t argumentCount;
    // Calls the function; false when the module does not export it.
    std::function<bool(CallContext&)> run;
    // Optional: the German reason (UTF-8) why the arguments do not fit, or
    // empty when they do.
    std::function<std::string(const CallContext&)> check;
};

template <class Function>
Function Lookup(const CallContext& call, const char* name) {
    return call.module.FindAs<Function>(name);
}

CallSpec SearchingMemo(const char* name) {
    return {3, [name](CallContext& call) {
                auto function = Lookup<decltype(&DoTbEntryXQL)>(call, name);
                if (!function) return false;
                CXQLMemoX memo;
                FillMemo(memo, call.Arg(0));
                CQTbEntry lines(dbDatabase);
                function(call.parent, &memo, &lines, call.Arg(1), call.Arg(2));
                call.Print("memo", memo.GetText());
                return true;
            }};
}

CallSpec SilentMemo(const char* name) {
    return {1, [name](CallContext& call) {
                auto function = Lookup<decltype(&DoTbEntryXQL_NoSearch)>(call, name);
                if (!function) return false;
                CXQLMemoX memo;
                FillMemo(memo, call.Arg(0));
                CQTbEntry lines(dbDatabase);
                const int result = function(call.parent, &memo, &lines);
                call.PrintResult(result);
                call.Print("memo", memo.GetText());
                return true;
            }};
}

void PrintCodeResult(const CallContext& call, bool result, const CString& code,
                     const CString& addition) {
    call.PrintResult(result ? 1 : 0);
    call.Print("code", code);
    call.Print("addition", addition);
}

// The procedure search's field set, one line per column of the "ops" data.
void PrintOpsFields(const CallContext& call, const CQOps_Fields& fields) {
    call.Print("ops.code", fields.Code);
    call.Print("ops.chapter", fields.Kapitel);
    call.Print("ops.group", fields.Gruppe);
    call.Print("ops.category", fields.Kategorie);
    call.Print("ops.snz", fields.SNZ);
    call.Print("ops.side", fields.Seite);
    call.Print("ops.extended", fields.Erweitert);
}

// Every exported function of the module the host calls: the text block, the
// diagnosis and the procedure families.
const std::map<std::string, CallSpec>& ModuleCalls() {
    static const std::map<std::string, CallSpec> calls = {
        {"DoTbEntryXQL", SearchingMemo("DoTbEntryXQL")},
        {"DoTbEntryXQ", SearchingMemo("DoTbEntryXQ")},
        {"DoTbEntryXQL_NoSearch", SilentMemo("DoTbEntryXQL_NoSearch")},
        {"DoTbEntryXQ_NoSearch", SilentMemo("DoTbEntryXQ_NoSearch")},
        {"DoTbEntryXQL2",
         {3,
          [](CallContext& call) {
              auto function = Lookup<decltype(&DoTbEntryXQL2)>(call, "DoTbEntryXQL2");
              if (!function) return false;
              CXQLEditX edit;
              edit.SetText(call.Arg(0));
              edit.SetSel(-1, -1);
              CQTbEntry lines(dbDatabase);
              function(call.parent, &edit, &lines, call.Arg(1), call.Arg(2));
              call.Print("edit", edit.GetText());
              return true;
          }}},
        {"DoTbEntryString",
         {3,
          [](CallContext& call) {
              auto function = Lookup<decltype(&DoTbEntryString)>(call, "DoTbEntryString");
              if (!function) return false;
              CString text = call.Arg(0);
              CQTbEntry lines(dbDatabase);
              function(call.parent, &text, &lines, call.Arg(1), call.Arg(2));
              call.Print("text", text);
              return true;
          }}},
        {"DoTbEntryString_NoSearch",
         {1,
          [](CallContext& call) {
              auto function =
                  Lookup<decltype(&DoTbEntryString_NoSearch)>(call, "DoTbEntryString_NoSearch");
              if (!function) return false;
              CString text = call.Arg(0);
              CQTbEntry lines(dbDatabase);
              const int result = function(call.parent, &text, &lines);
              call.PrintResult(result);
              call.Print("text", text);
              return true;
          }}},
        {"Q7SuchTB",
         {3,
          [](CallContext& call) {
              auto function = Lookup<decltype(&Q7SuchTB)>(call, "Q7SuchTB");
              if (!function) return false;
              CString kuerzel = call.Arg(0);
              const int result = function(&kuerzel, call.Arg(1), call.Arg(2), call.parent);
              call.PrintResult(result);
              call.Print("kuerzel", kuerzel);
              return true;
          }}},
        {"Q7SuchTBBeschreibung",
         {2,
          [](CallContext& call) {
              auto function = Lookup<decltype(&Q7SuchTBBeschreibung)>(call, "Q7SuchTBBeschreibung");
              if (!function) return false;
              CString description;
              const int result = function(&description, call.Arg(0), call.Arg(1), call.parent);
              call.PrintResult(result);
              call.Print("description", description);
              return true;
          }}},
        {"Q7SuchIcd",
         {5,
          [](CallContext& call) {
              auto function = Lookup<decltype(&Q7SuchIcd)>(call, "Q7SuchIcd");
              if (!function) return false;
              CString code = call.Arg(3), addition = call.Arg(4);
              const bool result = function(call.Arg(0) == "1", call.Arg(1) == "1", call.Arg(2),
                                           call.parent, &code, &addition);
              PrintCodeResult(call, result, code, addition);
              return true;
          }}},
        {"Q7SuchIcdSekundaerCode",
         {3,
          [](CallContext& call) {
              auto function =
                  Lookup<decltype(&Q7SuchIcdSekundaerCode)>(call, "Q7SuchIcdSekundaerCode");
              if (!function) return false;
              CString code, addition;
              const bool result = function(call.Arg(0) == "1", call.Arg(1), call.Arg(2),
                                           call.parent, &code, &addition);
              PrintCodeResult(call, result, code, addition);
              return true;
          }}},
        {"Q7SuchIcdZahnmedizinAU",
         {3,
          [](CallContext& call) {
              auto function =
                  Lookup<decltype(&Q7SuchIcdZahnmedizinAU)>(call, "Q7SuchIcdZahnmedizinAU");
              if (!function) return false;
              CString code = call.Arg(1), addition = call.Arg(2);
              const bool result = function(call.Arg(0) == "1", call.parent, &code, &addition);
              PrintCodeResult(call, result, code, addition);
              return true;
          }}},
        {"Q7SuchIcdFreitextdiagnosenKZBV",
         {1,
          [](CallContext& call) {
              auto function = Lookup<decltype(&Q7SuchIcdFreitextdiagnosenKZBV)>(
                  call, "Q7SuchIcdFreitextdiagnosenKZBV");
              if (!function) return false;
              CString code1, zusatz1, text1, code2, zusatz2, text2;
              const bool result = function(call.parent, call.Arg(0) == "1", &code1, &zusatz1,
                                           &text1, &code2, &zusatz2, &text2);
              call.PrintResult(result ? 1 : 0);
              call.Print("code1", code1);
              call.Print("addition1", zusatz1);
              call.Print("text1", text1);
              call.Print("code2", code2);
              call.Print("addition2", zusatz2);
              call.Print("text2", text2);
              return true;
          }}},
        {"Q7SuchOPS",
         {2,
          [](CallContext& call) {
              auto function = Lookup<decltype(&Q7SuchOPS)>(call, "Q7SuchOPS");
              if (!function) return false;
              CQOps_Fields fields;
              const int result = function(call.Arg(0) == "1", call.Arg(1), call.parent, &fields);
              call.PrintResult(result);
              PrintOpsFields(call, fields);
              return true;
          },
          [](const CallContext& call) { return TreatmentDateProblem(call.Arg(1).str()); }}},
        {"Q7VAStammView",
         {1,
          [](CallContext& call) {
              auto function = Lookup<decltype(&Q7VAStammView)>(call, "Q7VAStammView");
              if (!function) return false;
              call.PrintResult(function(call.Arg(0), call.parent));
              return true;
          }}},
    };
    return calls;
}

std::string MissingFunction(const std::string& name) {
    return "Die Funktion „" + name + "“ ist in diesem Modul nicht vorhanden.";
}

}  // namespace

std::string TreatmentDateProblem(const std::string& date) {
    if (IsValidDate(date)) return std::string();
    return "Das Behandlungsdatum muss ein Tag in der Form JJJJMMTT sein, nicht „" +
           Cp1252ToUtf8(date) + "“.";
}

std::string PrintedValue(const CString& text) {
    return XQEscapeField(Cp1252ToUtf8(text.str()));
}

ExitStatus RunCall(const ModuleLibrary& module, const std::vector<std::string>& words,
                   CWnd* mainWindow, std::ostream& out, std::string& error) {
    if (words.empty()) {
        error = "Beim Befehl „call“ fehlt der Name der Funktion.";
        return ExitStatus::BadCommandLine;
    }
    const std::string& name = words[0];
    const auto& calls = ModuleCalls();
    const auto spec = calls.find(name);
    if (spec == calls.end()) {
        error = "Unbekannte Funktion „" + name + "“.";
        return ExitStatus::BadCommandLine;
    }
    const size_t given = words.size() - 1;
    if (given > spec->second.argumentCount) {
        error = "Die Funktion „" + name + "“ nimmt höchstens " +
                std::to_string(spec->second.argumentCount) + " Argumente, nicht " +
                std::to_string(given) + ".";
        return ExitStatus::BadCommandLine;
    }
    CallContext call{module, mainWindow, {}, out};
    for (size_t i = 1; i < words.size(); ++i) {
        if (!IsValidUtf8(words[i])) {
            error = "Argument " + std::to_string(i) + " ist kein gültiger UTF-8-Text.";
            return ExitStatus::BadCommandLine;
        }
        call.args.push_back(Utf8ToCp1252(words[i]));
    }
    call.args.resize(spec->second.argumentCount);
    if (spec->second.check) {
        error = spec->second.check(call);
        if (!error.empty()) return ExitStatus::BadCommandLine;
    }
    if (!spec->second.run(call)) {
        error = MissingFunction(name);
        return ExitStatus::Other;
    }
    return ExitStatus::Done;
}
