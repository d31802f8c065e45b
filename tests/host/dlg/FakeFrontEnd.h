#pragma once
// A front end for the dialog tests: boxes are answered from queues filled
// ahead of time (an empty queue answers like a closed box), dialogs run the
// actions queued for them, and everything shown is recorded.
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "host/dlg/XQDialog.h"
#include "host/dlg/XQFrontEnd.h"

class FakeFrontEnd : public IXQFrontEnd {
  public:
    struct Shown {
        XQMsgKind kind;
        std::string title, text;
    };

    FakeFrontEnd() { XQSetFrontEnd(this); }
    ~FakeFrontEnd() override { XQSetFrontEnd(nullptr); }

    void RunModal(CXQDialog& dialog) override {
        if (actions.empty()) return;
        auto action = std::move(actions.front());
        actions.pop_front();
        action(dialog);
    }
    int MessageBox(XQMsgKind kind, const CString& title, const CString& text,
                   const std::vector<CString>&) override {
        shown.push_back({kind, title.str(), text.str()});
        if (buttonAnswers.empty()) return -1;
        int answer = buttonAnswers.front();
        buttonAnswers.pop_front();
        return answer;
    }
    // Each answer: the values typed in field order; an empty queue cancels.
    bool ParamBox(const CString&, std::vector<XQParamField>& fields) override {
        offered.push_back(fields);
        if (paramAnswers.empty()) return false;
        std::vector<std::string> values = paramAnswers.front();
        paramAnswers.pop_front();
        for (size_t i = 0; i < values.size() && i < fields.size(); ++i)
            fields[i].value = values[i].c_str();
        return true;
    }
    bool FileDialog(bool, const CString&, const CString&, const CString&, CString& path) override {
        if (fileAnswers.empty()) {
            path = "garbage";  // a cancelled dialog must not leak this
            return false;
        }
        path = fileAnswers.front().c_str();
        fileAnswers.pop_front();
        return true;
    }
    void ProgressOpen(const CString& text, int) override { events.push_back("open " + text.str()); }
    bool ProgressUpdate(int value, const CString&) override {
        events.push_back("update " + std::to_string(value));
        return value < cancelProgressAt;
    }
    void ProgressClose() override { events.push_back("close"); }
    void Open(const CString& url) override { events.push_back("open " + url.str()); }
    void Print(const CString& path) override { events.push_back("print " + path.str()); }
    void Beep() override { ++beeps; }
    void WaitCursor(bool on) override { events.push_back(on ? "wait on" : "wait off"); }

    std::deque<std::function<void(CXQDialog&)>> actions;
    std::deque<int> buttonAnswers;
    std::deque<std::vector<std::string>> paramAnswers;
    std::deque<std::string> fileAnswers;
    std::vector<Shown> shown;
    std::vector<std::vector<XQParamField>> offered;
    std::vector<std::string> events;
    int cancelProgressAt = 1 << 30;
    int beeps = 0;
};
