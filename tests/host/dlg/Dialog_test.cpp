#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "host/base/HostContext.h"
#include "host/dlg/XQDialog.h"
#include "tests/host/dlg/FakeFrontEnd.h"

namespace {

enum { IDD_TEST = 100, IDC_NAME = 1, IDC_ART = 2, IDC_AKTIV = 3, IDC_HINWEIS = 4, IDC_MEMO = 5 };

XQResourceModule MakeModule(const char* name, const char* caption) {
    XQResourceModule module{name};
    XQDialogTemplate& t = module.templates[IDD_TEST] = {IDD_TEST, caption};
    t.controls = {{.id = IDC_NAME, .label = "&Name:", .mandatory = true, .tabOrder = 2},
                  {.id = IDC_ART, .kind = XQKind::Combo, .label = "&Art:", .tabOrder = 1},
                  {.id = IDC_AKTIV, .kind = XQKind::Check, .label = "Aktiv"},
                  {.id = IDC_HINWEIS, .kind = XQKind::Label, .label = "Hinweis"},
                  {.id = IDC_MEMO, .kind = XQKind::Memo, .label = "Text"}};
    t.toolbar = {{XQTB_EXIT, "ESC - Abbrechen"},       {XQTB_ACCEPT, "\334bernehmen", false},
                 {XQTB_SEARCH, "F5 - Suchen"},         {XQTB_HELP, "F1 - Hilfe"},
                 {XQTB_PRINT, "Drucken", true, false}, {20001, "Eigener Knopf"}};
    module.strings[500] = "Modultext";
    return module;
}

// Records every command it receives.
class TestDialog : public CXQDialog {
  public:
    explicit TestDialog(CWnd* parent = nullptr) : CXQDialog(IDD_TEST, parent) {
        DDX_Control(IDC_NAME, m_name);
        DDX_Control(IDC_ART, m_art);
        DDX_Control(IDC_AKTIV, m_aktiv);
        DDX_Control(99, m_extra);
        SetHelpName("diaTest");
    }
    bool OnInitDialog() override {
        CXQDialog::OnInitDialog();
        if (throwInInit) throw std::runtime_error("init");
        if (endInInit) EndDialog(0);
        return !failInInit;
    }
    void OnExit() override { Log("Exit"), CXQDialog::OnExit(); }
    void OnPrint() override { Log("Print"); }
    void OnSearch() override { Log("Search"); }
    void OnConfig() override { Log("Config"); }
    void OnToolbarButton(int number) override { Log("Button" + std::to_string(number)); }
    void OnCTRL_P() override { Log("CTRL_P"); }
    void OnTimer(int id) override {
        Log("Timer" + std::to_string(id));
        if (killInTimer) KillTimer(id);
    }
    void Log(const std::string& s) { log += (log.empty() ? "" : ",") + s; }
    using CXQDialog::Create;

    CXQLEditX m_name;
    CXQLComboX m_art;
    CXQLCheckX m_aktiv;
    CXQButtonX m_extra;
    std::string log;
    bool throwInInit = false, endInInit = false, failInInit = false, killInTimer = false;
};

class DialogTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(XQRegisterModule(&module));
        XQSetResourceModule(&module);
    }
    void TearDown() override {
        XQSetResourceModule(nullptr);
        XQUnregisterModule(&module);
    }
    XQResourceModule module = MakeModule("testmod", "Testdialog");
    FakeFrontEnd fe;
};

TEST_F(DialogTest, TemplatesAndClassesAreFoundCurrentModuleFirstThenInRegistrationOrder) {
    XQResourceModule second = MakeModule("zweit", "Zweiter");
    second.classes.push_back({"CdiaTest", [](const std::vector<CString>&, CWnd* parent) {
                                  return std::unique_ptr<CXQDialog>(new TestDialog(parent));
                              }});
    second.strings[500] = "Zweittext";
    ASSERT_TRUE(XQRegisterModule(&second));
    XQResourceModule clash = MakeModule("zweit", "Doppelt");
    EXPECT_FALSE(XQRegisterModule(&clash));
    EXPECT_EQ(XQFindModule("zweit"), &second);

    auto found = [] { return XQFindTemplate(IDD_TEST)->caption + "|" + XQLoadString(500); };
    EXPECT_EQ(found(), "Testdialog|Modultext");
    XQSetResourceModule(&second);
    EXPECT_EQ(found(), "Zweiter|Zweittext");
    XQSetResourceModule(nullptr);
    EXPECT_EQ(found(), "Testdialog|Modultext");  // registered first

    const XQRuntimeClass* cls = XQFindRuntimeClass("CdiaTest");
    ASSERT_NE(cls, nullptr);
    EXPECT_EQ(cls->create({}, nullptr)->TemplateNumber(), IDD_TEST);
    EXPECT_EQ(XQFindRuntimeClass("CdiaFehlt"), nullptr);

    XQSetResourceModule(&second);
    XQUnregisterModule(&second);
    EXPECT_EQ(XQGetResourceModule(), nullptr);
    EXPECT_EQ(XQFindRuntimeClass("CdiaTest"), nullptr);
}

TEST_F(DialogTest, BindsMembersOwnsTheRestAndOrdersTabs) {
    TestDialog dlg;
    ASSERT_TRUE(dlg.Create());
    auto* memo = dynamic_cast<CXQLMemoX*>(dlg.GetDlgItem(IDC_MEMO));
    ASSERT_NE(memo, nullptr);
    std::vector<CWnd*> expected = {
        &dlg.m_art, &dlg.m_name, &dlg.m_aktiv, dlg.GetDlgItem(IDC_HINWEIS), memo, &dlg.m_extra};
    EXPECT_EQ(dlg.Controls(), expected);
}

TEST_F(DialogTest, DoModalResults) {
    XQSetResourceModule(nullptr);
    XQUnregisterModule(&module);
    EXPECT_EQ(TestDialog().DoModal(), -1);  // no template anywhere
    ASSERT_TRUE(XQRegisterModule(&module));

    for (bool TestDialog::*flag :
         {&TestDialog::throwInInit, &TestDialog::failInInit, &TestDialog::endInInit}) {
        TestDialog dlg;
        dlg.*flag = true;
        EXPECT_EQ(dlg.DoModal(), flag == &TestDialog::endInInit ? 0 : -1);
    }

    TestDialog dlg;
    bool listed = false;
    fe.actions.push_back([&](CXQDialog& d) {
        listed = CXQDialog::RunningDialogs().back() == &d && d.IsRunning();
        d.ClickToolbarButton(XQTB_ACCEPT);  // hidden: nothing
        EXPECT_FALSE(d.IsEnded());
        d.ShowToolbarButton(XQTB_ACCEPT, true);
        d.ClickToolbarButton(XQTB_ACCEPT);
    });
    EXPECT_EQ(dlg.DoModal(), 1);
    EXPECT_TRUE(listed);
    EXPECT_TRUE(CXQDialog::RunningDialogs().empty());
    EXPECT_EQ(dlg.GetFocus(), &dlg.m_art);  // first input in tab order

    // A front end that returns without ending: cancelled; without a front
    // end the dialog leaves through its exit command.
    EXPECT_EQ(TestDialog().DoModal(), 2);
    XQSetFrontEnd(nullptr);
    TestDialog silent;
    EXPECT_EQ(silent.DoModal(), 2);
    EXPECT_EQ(silent.log, "Exit");
}

TEST_F(DialogTest, ToolbarNumbersAndKeysReachTheirCommands) {
    TestDialog dlg;
    // The standard buttons are driven by the module's dialog tests.
    dlg.ClickToolbarButton(XQTB_PRINT);  // disabled in the template
    dlg.ClickToolbarButton(20001);
    dlg.EnableToolbarButton(XQTB_PRINT, true);
    dlg.ClickToolbarButton(XQTB_PRINT);
    EXPECT_EQ(dlg.log, "Button20001,Print");
    EXPECT_FALSE(dlg.HasToolbarButton(4711));

    dlg.log.clear();
    dlg.PressKey({XQKey::F5}, nullptr);
    dlg.PressKey({XQKey::F6}, nullptr);
    dlg.PressKey({XQKey::Ctrl, 'p'}, nullptr);
    dlg.PressKey({XQKey::F1}, nullptr);
    EXPECT_EQ(dlg.log, "Search,Config,CTRL_P");
    EXPECT_EQ(fe.events.back(), "open help:diaTest");

    int returns = 0;
    dlg.m_name.onReturn = [&] { ++returns; };
    dlg.PressKey({XQKey::Return}, &dlg.m_name);
    EXPECT_EQ(returns, 1);
    dlg.m_name.onKeyDown = [](const XQKeyEvent& k) { return k.key == XQKey::Escape; };
    dlg.PressKey({XQKey::Escape}, &dlg.m_name);  // swallowed by the field
    EXPECT_FALSE(dlg.IsEnded());
    dlg.PressKey({XQKey::Escape}, &dlg.m_art);
    EXPECT_TRUE(dlg.IsEnded());
    EXPECT_EQ(dlg.GetResult(), 2);
}

TEST_F(DialogTest, SavedStateAndMandatoryFields) {
    TestDialog dlg;
    ASSERT_TRUE(dlg.Create());
    auto* memo = dynamic_cast<CXQLMemoX*>(dlg.GetDlgItem(IDC_MEMO));
    for (const char* art : {"a", "b"}) dlg.m_art.AddString(art);
    dlg.m_name.SetText("Alt");
    memo->SetText("eins\r\nzwei");
    EXPECT_EQ(dlg.CheckAllFields(1), 0);
    EXPECT_EQ(dlg.CheckAllFields(0), 0);

    dlg.m_name.SetText("Neu");
    dlg.m_aktiv.UserClick();
    dlg.m_art.SetCurSel(1);
    memo->GetLines().Add("drei");
    EXPECT_EQ(dlg.CheckAllFields(0), 4);
    dlg.m_name.SetText("Alt");
    dlg.m_aktiv.SetCheck(false);
    std::vector<CWnd*> changed = {&dlg.m_art, memo};
    EXPECT_EQ(dlg.ChangedFields(), changed);

    CWnd* missing = nullptr;
    EXPECT_EQ(dlg.CheckMussFelder(&missing), 0);
    dlg.m_name.SetText("  ");
    EXPECT_EQ(dlg.CheckMussFelder(&missing), XQMSG_MUSSFELD);
    EXPECT_EQ(missing, &dlg.m_name);
    dlg.m_name.ShowWindow(false);
    EXPECT_EQ(dlg.CheckMussFelder(), 0);
}

TEST_F(DialogTest, TimersFireOnTheHostClock) {
    TestDialog dlg;
    const long long start = Q7HostMillis();
    dlg.SetTimer(1, 250);
    dlg.SetTimer(2, 1000);
    EXPECT_EQ(dlg.FireDueTimers(start + 249), 0);
    Q7AdvanceHostMillis(1000);
    // Each due timer fires once, however long it waited.
    EXPECT_EQ(dlg.FireDueTimers(Q7HostMillis()), 2);
    EXPECT_EQ(dlg.log, "Timer1,Timer2");
    EXPECT_EQ(dlg.FireDueTimers(Q7HostMillis()), 0);
    EXPECT_EQ(dlg.FireDueTimers(Q7HostMillis() + 250), 1);

    dlg.killInTimer = true;
    EXPECT_EQ(dlg.FireDueTimers(Q7HostMillis() + 1000), 2);
    EXPECT_FALSE(dlg.HasTimers());
}

}  // namespace
